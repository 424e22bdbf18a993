#include "server/StatusPages.h"

#include <cstdio>

namespace vantrell::server {

namespace {

constexpr const char* kVersion = VANTRELL_VERSION;

// Names come from the lobbies and may hold anything a line can; what is not printable
// ASCII is shown as "?", as the lobby would show it.
char shown(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u >= 0x7f ? '?' : c;
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += shown(c);
    }
    return out + "\"";
}

std::string html(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += shown(c);
        }
    }
    return out;
}

const char* yesNo(bool value)
{
    return value ? "true" : "false";
}

} // namespace

std::string statusJson(const StatusFacts& facts)
{
    const Registry& registry = facts.registry;
    std::string out = "{\"server\": \"vantrell-server\", \"version\": " + jsonString(kVersion) +
                      ", \"uptimeSeconds\": " + std::to_string(facts.uptimeSeconds) +
                      ", \"clients\": " + std::to_string(registry.userCount()) + ", \"users\": [";
    const char* separator = "";
    registry.forEachNickname([&](const std::string& nickname) {
        out += separator + jsonString(nickname);
        separator = ", ";
    });
    out += "], \"rooms\": [";
    separator = "";
    registry.forEachRoom([&](const lobby::RoomRecord& r) {
        out += separator;
        out += "{\"name\": " + jsonString(r.roomName) + ", \"game\": " + jsonString(r.game) +
               ", \"sourcePort\": " + jsonString(r.sourcePort) +
               ", \"players\": " + jsonString(r.players) + ", \"map\": " + jsonString(r.map) +
               ", \"gameType\": " + jsonString(r.gameType) + ", \"skill\": " + jsonString(r.skill) +
               ", \"inGame\": " + yesNo(r.inGame == "Yes") +
               ", \"private\": " + yesNo(r.isPrivate) + "}";
        separator = ", ";
    });
    return out + "]}\n";
}

std::string statusHtml(const StatusFacts& facts)
{
    const Registry& registry = facts.registry;
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"refresh\" content=\"30\">\n<title>vantrell-server</title>\n"
        "<style>body{font-family:sans-serif}td,th{padding:0 .6em;text-align:left}</style>\n"
        "</head>\n<body>\n<h1>vantrell-server</h1>\n<p>Version " +
        html(kVersion) + ", up " + std::to_string(facts.uptimeSeconds) + " s.</p>\n<h2>" +
        std::to_string(registry.userCount()) + " users online</h2>\n<ul>\n";
    registry.forEachNickname(
        [&](const std::string& nickname) { out += "<li>" + html(nickname) + "</li>\n"; });
    out += "</ul>\n<h2>" + std::to_string(registry.roomCount()) +
           " rooms</h2>\n<table>\n<tr><th>Room</th><th>Game</th><th>Source port</th>"
           "<th>Players</th><th>Map</th><th>Game type</th><th>Skill</th><th>In game</th>"
           "<th>Private</th></tr>\n";
    registry.forEachRoom([&](const lobby::RoomRecord& r) {
        out += "<tr><td>" + html(r.roomName) + "</td><td>" + html(r.game) + "</td><td>" +
               html(r.sourcePort) + "</td><td>" + html(r.players) + "</td><td>" + html(r.map) +
               "</td><td>" + html(r.gameType) + "</td><td>" + html(r.skill) + "</td><td>" +
               (r.inGame == "Yes" ? "yes" : "no") + "</td><td>" + (r.isPrivate ? "yes" : "no") +
               "</td></tr>\n";
    });
    return out + "</table>\n</body>\n</html>\n";
}

std::string metricsText(const StatusFacts& facts)
{
    std::string out;
    const auto metric = [&](const char* name, const char* type, const char* help) {
        out += std::string("# HELP vantrell_") + name + " " + help + "\n# TYPE vantrell_" + name +
               " " + type + "\n";
    };
    const auto value = [&](const std::string& name, std::uint64_t v) {
        out += "vantrell_" + name + " " + std::to_string(v) + "\n";
    };
    const Metrics& m = facts.metrics;
    metric("connections_open", "gauge", "Lobby connections open.");
    value("connections_open", facts.connectionsOpen);
    metric("registered_users", "gauge", "Users registered with a nickname.");
    value("registered_users", facts.registry.userCount());
    metric("rooms", "gauge", "Rooms advertised.");
    value("rooms", facts.registry.roomCount());
    metric("uptime_seconds", "gauge", "Seconds since the server started.");
    value("uptime_seconds", facts.uptimeSeconds);
    metric("lines_received_total", "counter", "Lines received from lobbies.");
    value("lines_received_total", m.linesReceived);
    metric("lines_sent_total", "counter", "Lines written to lobbies.");
    value("lines_sent_total", m.linesSent);
    metric("bytes_sent_total", "counter", "Bytes written to lobbies.");
    value("bytes_sent_total", m.bytesSent);
    metric("refusals_total", "counter", "Connections and lines turned away, by reason.");
    static constexpr const char* reasons[] = {
        "per_address_limit", "total_limit", "flood", "wrong_version",
        "login_timeout",     "long_line",   "denied"};
    static_assert(std::size(reasons) == static_cast<unsigned>(Refusal::Count));
    for (unsigned i = 0; i < std::size(reasons); ++i)
        value(std::string("refusals_total{reason=\"") + reasons[i] + "\"}", m.refusals[i]);
    metric("http_requests_total", "counter", "Requests to the status pages, by status code.");
    for (const auto& [status, count] : m.httpRequests)
        value("http_requests_total{status=\"" + std::to_string(status) + "\"}", count);
    return out;
}

} // namespace vantrell::server
