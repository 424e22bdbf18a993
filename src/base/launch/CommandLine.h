#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrell::launch {

// A source port's command line, kept two ways at once: the exact argument string (what the
// log and the tests see, spaces and all) and the argument list the process is given.
//
// Pieces are joined by one space. Inside a piece, fixed text is split at runs of blanks,
// while a value that came from a setting, a settings row or a member row (a map name, a
// nickname, a fraglimit, an address, a port) always stays inside the one argument it sits
// in, so no blank in it can make another argument. Text written next to a value without a
// blank between joins its argument ("/y" + "10" is "/y10").
class CommandLine
{
public:
    // Starts a new piece. Every later fixed() and value() adds to it.
    CommandLine& piece();
    CommandLine& fixed(std::string_view text);
    CommandLine& value(std::string_view text);

    // The pieces joined by single spaces.
    std::string text() const;
    // The argument list: fixed text split at blanks, values kept whole. An empty value adds
    // nothing of its own, as in the string.
    std::vector<std::string> arguments() const;

private:
    struct Part
    {
        std::string text;
        bool isValue = false;
    };
    std::vector<std::vector<Part>> m_pieces;
};

} // namespace vantrell::launch
