#include "base/common/ChatMention.h"

namespace vantrell {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Letters, digits, "_" and every byte of a UTF-8 sequence: what continues a word.
bool wordByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x80 || b == '_' || (b >= '0' && b <= '9') || (lower(c) >= 'a' && lower(c) <= 'z');
}

bool equalAt(std::string_view text, std::size_t at, std::string_view nickname)
{
    for (std::size_t i = 0; i < nickname.size(); ++i) {
        if (lower(text[at + i]) != lower(nickname[i]))
            return false;
    }
    return true;
}

} // namespace

bool mentionsPlayer(std::string_view speaker, std::string_view text, std::string_view nickname)
{
    if (nickname.empty() || speaker == nickname || text.size() < nickname.size())
        return false;
    for (std::size_t at = 0; at + nickname.size() <= text.size(); ++at) {
        const std::size_t end = at + nickname.size();
        // A word edge is only needed where the nickname itself begins or ends with a word
        // character: "[XX]Bob" stands apart from "hi[XX]Bob" already by its bracket.
        const bool openStart = at == 0 || !wordByte(nickname.front()) || !wordByte(text[at - 1]);
        const bool openEnd =
            end == text.size() || !wordByte(nickname.back()) || !wordByte(text[end]);
        if (openStart && openEnd && equalAt(text, at, nickname))
            return true;
    }
    return false;
}

} // namespace vantrell
