#include "app/CommandLine.h"

#include "base/lobby/MainServerAddress.h"

#include <string_view>

namespace vantrell::app {

namespace {
constexpr const char* kUsage =
    "Usage: vantrell [--server HOST[:PORT]] [Qt options]\n"
    "\n"
    "  --server HOST[:PORT]  connect to this main server for this run only, instead of the\n"
    "                        one set in \"Settings\", \"Multiplayer and Networking\" (nothing\n"
    "                        is saved); HOST is a host name or an IPv4 address, PORT 4444\n"
    "                        unless given\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n";

// The options the application object and its display plugin read themselves (one dash or
// two), so that they are not taken for mistakes: those followed by a value, and those that
// stand alone. Some also carry their value after "=", "-qmljsdebugger" always does.
constexpr std::string_view kQtOptionsWithValue =
    " platform platformpluginpath platformtheme plugin qwindowgeometry geometry qwindowtitle "
    "title qwindowicon icon session display name visual style stylesheet ";
constexpr std::string_view kQtFlags = " reverse widgetcount testability nograb dograb ";

enum class QtOption
{
    None,
    Flag,
    WithValue
};

QtOption qtOption(std::string_view argument)
{
    if (argument.size() < 2 || argument[0] != '-' || argument.starts_with("---"))
        return QtOption::None;
    std::string_view name = argument.substr(argument.starts_with("--") ? 2 : 1);
    if (name.starts_with("qmljsdebugger=") || name.starts_with("style=") ||
        name.starts_with("stylesheet=") || name.starts_with("session="))
        return QtOption::Flag;
    const auto among = [name](std::string_view names) {
        return name.find(' ') == std::string_view::npos &&
               names.find(" " + std::string(name) + " ") != std::string_view::npos;
    };
    if (among(kQtOptionsWithValue))
        return QtOption::WithValue;
    return among(kQtFlags) ? QtOption::Flag : QtOption::None;
}

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
        if (argument == "--version")
            return {{}, 0, std::string("vantrell ") + VANTRELL_VERSION + "\n"};
        std::string value;
        if (argument == "--server") {
            if (i + 1 == arguments.size())
                return failed("--server needs HOST[:PORT]");
            value = arguments[++i];
        } else if (argument.starts_with("--server=")) {
            value = argument.substr(9);
        } else if (const QtOption qt = qtOption(argument); qt != QtOption::None) {
            i += qt == QtOption::WithValue ? 1 : 0;
            continue;
        } else if (argument.starts_with("-")) {
            return failed("unknown option '" + argument + "'");
        } else {
            return failed("unexpected argument '" + argument + "'");
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
