#include "base/common/LineFraming.h"

namespace vantrell {

std::string encodeLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        out.push_back('?');
        if (c >= 0xC0) {
            // Skip the continuation bytes of this UTF-8 sequence so it counts as one character.
            while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80)
                ++i;
        }
    }
    out += "\r\n";
    return out;
}

LineReader::LineReader(std::size_t maxLineLength) : m_maxLineLength(maxLineLength) {}

bool LineReader::feed(std::string_view bytes)
{
    if (m_failed)
        return false;
    compact();
    m_buffer.append(bytes);
    return true;
}

std::optional<std::string> LineReader::nextLine()
{
    if (m_failed)
        return std::nullopt;
    const auto lf = m_buffer.find('\n', m_scanFrom);
    if (lf == std::string::npos) {
        // A partial line may still end in the CR of its line end, so allow one extra byte.
        if (m_buffer.size() - m_scanFrom > m_maxLineLength + 1)
            m_failed = true;
        return std::nullopt;
    }
    std::size_t end = lf;
    if (end > m_scanFrom && m_buffer[end - 1] == '\r')
        --end;
    if (end - m_scanFrom > m_maxLineLength) {
        m_failed = true;
        return std::nullopt;
    }
    std::string line = m_buffer.substr(m_scanFrom, end - m_scanFrom);
    m_scanFrom = lf + 1;
    return line;
}

void LineReader::compact()
{
    if (m_scanFrom == 0)
        return;
    m_buffer.erase(0, m_scanFrom);
    m_scanFrom = 0;
}

} // namespace vantrell
