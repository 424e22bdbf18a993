#include "base/launch/CommandLine.h"

namespace vantrell::launch {

CommandLine& CommandLine::piece()
{
    m_pieces.emplace_back();
    return *this;
}

CommandLine& CommandLine::fixed(std::string_view text)
{
    if (m_pieces.empty())
        m_pieces.emplace_back();
    m_pieces.back().push_back({std::string(text), false});
    return *this;
}

CommandLine& CommandLine::value(std::string_view text)
{
    if (m_pieces.empty())
        m_pieces.emplace_back();
    m_pieces.back().push_back({std::string(text), true});
    return *this;
}

std::string CommandLine::text() const
{
    std::string out;
    for (std::size_t i = 0; i < m_pieces.size(); ++i) {
        if (i > 0)
            out += ' ';
        for (const Part& part : m_pieces[i])
            out += part.text;
    }
    return out;
}

std::vector<std::string> CommandLine::arguments() const
{
    std::vector<std::string> args;
    std::string current;
    bool open = false; // whether `current` holds an argument under way
    const auto endArgument = [&] {
        if (open)
            args.push_back(std::move(current));
        current.clear();
        open = false;
    };
    for (std::size_t i = 0; i < m_pieces.size(); ++i) {
        if (i > 0)
            endArgument(); // the space between pieces
        for (const Part& part : m_pieces[i]) {
            if (part.isValue) {
                if (!part.text.empty()) {
                    current += part.text;
                    open = true;
                }
                continue;
            }
            for (const char c : part.text) {
                if (c == ' ') {
                    endArgument();
                } else {
                    current += c;
                    open = true;
                }
            }
        }
    }
    endArgument();
    return args;
}

} // namespace vantrell::launch
