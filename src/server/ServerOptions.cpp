#include "server/ServerOptions.h"

#include "base/common/Fields.h"
#include "server/Asio.h"
#include "server/TextFile.h"

#include <charconv>
#include <functional>
#include <limits>
#include <map>

namespace vantrell::server {

namespace {

bool parseSeconds(const std::string& text, Seconds& out)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !(value >= 0) || value > 1e6)
        return false;
    out = Seconds(value);
    return true;
}

bool parseCount(const std::string& text, std::size_t& out)
{
    long long value = 0;
    if (!parseDecimal(text, value) ||
        static_cast<unsigned long long>(value) > std::numeric_limits<std::size_t>::max())
        return false;
    out = static_cast<std::size_t>(value);
    return true;
}

bool parsePort(const std::string& text, std::uint16_t& out)
{
    long long port = 0;
    if (!parseDecimal(text, port) || port > 65535)
        return false;
    out = static_cast<std::uint16_t>(port);
    return true;
}

// Checked here rather than when listening, so that a bad address in the configuration file
// is reported with its line.
bool isAddress(const std::string& text)
{
    ErrorCode error;
    asio::ip::make_address(text, error);
    return !error;
}

} // namespace

std::string serverHelpText()
{
    return "Usage: vantrell-server [options]\n"
           "\n"
           "The main server of Vantrell: users online, global chat and the room list.\n"
           "\n"
           "Options (values may also be given as --option=value):\n"
           "  --address ADDRESS            address to listen on (default 0.0.0.0; \"::\" for\n"
           "                               IPv6 and IPv4)\n"
           "  --port PORT                  TCP port (default 4444; 0 picks a free port, which\n"
           "                               the \"listening on\" log line shows)\n"
           "  --version-token TEXT         the only version token accepted\n"
           "                               (default \"" +
           std::string(lobby::kVersionToken) +
           "\")\n"
           "  --timed-list-interval SECS   how often every user gets the timed user list\n"
           "                               (default 60; 0 never; fractions allowed)\n"
           "  --user-list-min-gap SECS     shortest time between two user-list broadcasts;\n"
           "                               joins and leaves within it are sent together\n"
           "                               (default 1; 0 sends once per event-loop turn)\n"
           "  --max-clients N              connections held at once; more are closed at once\n"
           "                               (default 10000)\n"
           "  --max-clients-per-address N  connections from one address (default 32; 0 no\n"
           "                               limit)\n"
           "  --max-pending-output BYTES   output queued for one client that does not read;\n"
           "                               past it the client is disconnected (default 262144)\n"
           "  --flood-lines N              chat lines one connection may send per flood\n"
           "                               window; more are dropped (default 5; 0 no limit)\n"
           "  --flood-window SECS          length of the flood window (default 10)\n"
           "  --login-timeout SECS         a connection that has not passed the version check\n"
           "                               this long after connecting is closed, so idle\n"
           "                               connections cannot hold slots (default 30; 0 no\n"
           "                               limit)\n"
           "  --http ADDRESS:PORT          serve the status pages over HTTP (default off):\n"
           "                               / (HTML), /status.json and /metrics (Prometheus);\n"
           "                               an IPv6 address goes in brackets, [::1]:8080\n"
           "  --deny-file FILE             addresses and CIDR ranges (IPv4 and IPv6) that may\n"
           "                               not connect, one per line, # starts a comment\n"
           "  --motd FILE                  message of the day: each line of the file is sent\n"
           "                               to every user who registers, as chat from \"Server\"\n"
           "  --config FILE                read options from FILE, one \"option = value\" per\n"
           "                               line with the long option names (port = 4444),\n"
           "                               each at most once; # starts a comment, after a\n"
           "                               value too; options on the command line win\n"
           "  --help                       show this text and exit\n"
           "\n"
           "A connection is served only after its version check passes; a wrong token is\n"
           "answered with WrongVersion and nothing else. Its first AddNickName registers\n"
           "its user; a second one is ignored. Chat and rooms need a registered user.\n"
           "\n"
           "The server raises its open-file limit to the hard limit at start-up. It logs one\n"
           "line per connect, disconnect, registration, room change and refusal to standard\n"
           "output. SIGINT or SIGTERM closes every connection and exits with status 0.\n"
           "SIGHUP reads the configuration file, the ban list and the message of the day\n"
           "again and applies the ban list (closing users it now bans), the message of the\n"
           "day and the flood limits; a file that fails to load keeps its previous contents,\n"
           "and the log says which other options need a restart. A bad option or file at\n"
           "start-up exits with status 2.\n";
}

Result<ServerOptions> parseServerOptions(const std::vector<std::string>& arguments)
{
    ServerOptions options;
    using Setter = std::function<bool(const std::string&)>;
    const std::map<std::string, Setter> setters{
        {"address",
         [&](const std::string& v) {
             options.address = v;
             return isAddress(v);
         }},
        {"port", [&](const std::string& v) { return parsePort(v, options.port); }},
        {"version-token",
         [&](const std::string& v) {
             options.versionToken = v;
             return true;
         }},
        {"timed-list-interval",
         [&](const std::string& v) { return parseSeconds(v, options.timedListInterval); }},
        {"user-list-min-gap",
         [&](const std::string& v) { return parseSeconds(v, options.userListMinGap); }},
        {"max-clients",
         [&](const std::string& v) {
             return parseCount(v, options.maxClients) && options.maxClients > 0;
         }},
        {"max-clients-per-address",
         [&](const std::string& v) { return parseCount(v, options.maxClientsPerAddress); }},
        {"max-pending-output",
         [&](const std::string& v) {
             return parseCount(v, options.maxPendingOutput) && options.maxPendingOutput > 0;
         }},
        {"flood-lines", [&](const std::string& v) { return parseCount(v, options.floodLines); }},
        {"flood-window",
         [&](const std::string& v) {
             return parseSeconds(v, options.floodWindow) && options.floodWindow.count() > 0;
         }},
        {"login-timeout",
         [&](const std::string& v) { return parseSeconds(v, options.loginTimeout); }},
        {"http",
         [&](const std::string& v) {
             // ADDRESS:PORT, with an IPv6 address in brackets: [::1]:8080
             const auto colon = v.rfind(':');
             if (colon == std::string::npos || colon == 0)
                 return false;
             std::string address = v.substr(0, colon);
             if (address.front() == '[' && address.back() == ']')
                 address = address.substr(1, address.size() - 2);
             options.httpAddress = address;
             return isAddress(address) && parsePort(v.substr(colon + 1), options.httpPort);
         }},
        {"deny-file",
         [&](const std::string& v) {
             options.denyFile = v;
             return !v.empty();
         }},
        {"motd",
         [&](const std::string& v) {
             options.motdFile = v;
             return !v.empty();
         }},
    };

    // The command line first, so that its --config is known; its values are set last.
    std::vector<std::pair<std::string, std::string>> given;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (name == "--help" || name == "-h") {
            options.showHelp = true;
            continue;
        }
        std::string value;
        bool haveValue = false;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            haveValue = true;
        }
        if (name.rfind("--", 0) != 0 || (name != "--config" && !setters.count(name.substr(2))))
            return Error{"unknown option " + name};
        if (!haveValue) {
            if (i + 1 >= arguments.size())
                return Error{"option " + name + " needs a value"};
            value = arguments[++i];
        }
        if (name == "--config")
            options.configFile = value;
        else
            given.emplace_back(name.substr(2), value);
    }

    if (!options.configFile.empty()) {
        const auto text = readTextFile(options.configFile);
        if (!text)
            return Error{text.error()};
        std::map<std::string, std::size_t> firstLine;
        std::string_view rest = *text;
        for (std::size_t lineNumber = 1; !rest.empty(); ++lineNumber) {
            const auto end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
            // "#" starts a comment wherever it stands, after a value too, as in the ban list:
            // "version-token = Vantrex 3829  # default" must not become the token.
            line = trimmed(line.substr(0, line.find('#')));
            if (line.empty())
                continue;
            const std::string where = options.configFile + ":" + std::to_string(lineNumber) + ": ";
            const auto eq = line.find('=');
            if (eq == std::string_view::npos)
                return Error{where + "expected \"option = value\""};
            const std::string name(trimmed(line.substr(0, eq)));
            const std::string value(trimmed(line.substr(eq + 1)));
            const auto setter = setters.find(name);
            if (setter == setters.end())
                return Error{where + "unknown option \"" + name + "\""};
            if (const auto [first, fresh] = firstLine.emplace(name, lineNumber); !fresh)
                return Error{where + name + " given again (first on line " +
                             std::to_string(first->second) + ")"};
            if (value.empty())
                return Error{where + name + " needs a value"};
            if (!setter->second(value))
                return Error{where + "bad value for " + name + ": \"" + value + "\""};
        }
    }

    for (const auto& [name, value] : given) {
        if (value.empty())
            return Error{"option --" + name + " needs a value"};
        if (!setters.at(name)(value))
            return Error{"bad value for --" + name + ": \"" + value + "\""};
    }
    return options;
}

} // namespace vantrell::server
