#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrell::app {

// What the command line asks of one run. Only the program's own options are read here; the
// rest (Qt's "-platform" and the like) is left to the application object.
struct CommandLine
{
    // `--server HOST[:PORT]`, checked: the main server for this run only; empty: none.
    std::string server;
    // Set when the program must end before it starts (`--help`: 0, a bad option: 2), after
    // printing `output` (to the error stream when the code is not 0).
    std::optional<int> exitCode;
    std::string output;
};

// The arguments after the program's name.
CommandLine readCommandLine(const std::vector<std::string>& arguments);

} // namespace vantrell::app
