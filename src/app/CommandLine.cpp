#include "app/CommandLine.h"

#include "base/lobby/MainServerAddress.h"

namespace vantrell::app {

namespace {
constexpr const char* kUsage =
    "Usage: vantrell [--server HOST[:PORT]]\n"
    "\n"
    "  --server HOST[:PORT]  connect to this main server for this run only, instead of the\n"
    "                        one set in \"Settings\", \"Multiplayer and Networking\" (nothing\n"
    "                        is saved); HOST is a host name or an IPv4 address, PORT 4444\n"
    "                        unless given\n"
    "  -h, --help            show this help and exit\n";

CommandLine failed(const std::string& message)
{
    return {{}, 2, "vantrell: " + message + "\nTry 'vantrell --help'.\n"};
}
} // namespace

CommandLine readCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h")
            return {{}, 0, kUsage};
        std::string value;
        if (argument == "--server") {
            if (i + 1 == arguments.size())
                return failed("--server needs HOST[:PORT]");
            value = arguments[++i];
        } else if (argument.starts_with("--server=")) {
            value = argument.substr(9);
        } else {
            continue;
        }
        const Result<lobby::MainServerAddress> address = lobby::parseMainServerAddress(value);
        if (!address)
            return failed("--server " + value + ": " + address.error());
        if (address->host.empty())
            return failed("--server needs HOST[:PORT]");
        line.server = std::string(lobby::trimBlanks(value));
    }
    return line;
}

} // namespace vantrell::app
