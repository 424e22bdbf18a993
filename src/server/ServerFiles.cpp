// What the operator gives the server in files (ban list, message of the day), what a reload
// changes, and the status pages.
#include "base/common/LineFraming.h"
#include "server/Server.h"
#include "server/ServerLog.h"
#include "server/StatusPages.h"
#include "server/TextFile.h"

#include <algorithm>

namespace vantrell::server {

namespace {

using Clock = std::chrono::steady_clock;

// The message of the day as the chat lines every new user is sent: one per non-empty line
// of the file, from "Server", each within the line length a lobby reads. A "~" would cut
// the line short on the lobby's side, so it is shown as "-".
Result<std::vector<SharedLine>> loadMotd(const std::string& path, std::size_t maxPendingOutput)
{
    const auto text = readTextFile(path, 64 * 1024);
    if (!text)
        return Error{text.error()};
    std::vector<SharedLine> lines;
    std::size_t bytes = 0;
    std::string_view rest = *text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        for (char& c : line) {
            if (c == '~')
                c = '-';
        }
        std::string encoded =
            encodeLine(lobby::encodeServerMessage(lobby::GlobalChat{"Server", line}));
        if (encoded.size() > kMaxLineLength + 2) {
            encoded.resize(kMaxLineLength);
            encoded += "\r\n";
        }
        bytes += encoded.size();
        lines.push_back(std::make_shared<const std::string>(std::move(encoded)));
    }
    // It all goes to every new user at once, beside the user list, before any of it can be
    // written: past the output a client may have queued, every new user would be dropped as
    // not reading. Short lines grow most, each by its chat framing.
    if (bytes > maxPendingOutput / 2)
        return Error{path + ": " + std::to_string(lines.size()) + " lines that take " +
                     std::to_string(bytes) + " bytes as chat, more than half of " +
                     "max-pending-output (" + std::to_string(maxPendingOutput) +
                     "); make it shorter or raise max-pending-output"};
    return lines;
}

} // namespace

Result<void> Server::loadFiles()
{
    if (!m_options.denyFile.empty()) {
        auto list = DenyList::load(m_options.denyFile);
        if (!list)
            return Error{list.error()};
        m_denyList = std::move(list).value();
        logLine("ban list " + m_options.denyFile + ": " + std::to_string(m_denyList.size()) +
                " entries");
        for (const auto& warning : m_denyList.warnings())
            logLine("warning: " + m_options.denyFile + ": " + warning);
    }
    if (!m_options.motdFile.empty()) {
        auto motd = loadMotd(m_options.motdFile, m_options.maxPendingOutput);
        if (!motd)
            return Error{motd.error()};
        m_motd = std::move(motd).value();
    }
    return {};
}

void Server::reloadDenyList(const std::string& path)
{
    if (path.empty()) {
        if (m_denyList.size() > 0)
            logLine("reload: no ban list any more");
        m_denyList = {};
        return;
    }
    auto list = DenyList::load(path);
    if (!list) {
        logLine("reload: ban list not changed, the previous one stays: " + list.error());
        return;
    }
    m_denyList = std::move(list).value();
    logLine("reload: ban list " + path + ": " + std::to_string(m_denyList.size()) + " entries");
    for (const auto& warning : m_denyList.warnings())
        logLine("reload: warning: " + path + ": " + warning);
    // Users already connected are held to the new list as a new connection would be.
    // Closing only posts the removal, so the map stays as it is during the walk.
    for (const auto& [id, connection] : m_connections) {
        ErrorCode error;
        const auto address = asio::ip::make_address(connection->peerAddress(), error);
        if (!error && connection->isOpen() && m_denyList.denies(address)) {
            m_metrics.refused(Refusal::Denied);
            connection->close("address on the ban list");
        }
    }
}

void Server::reloadMotd(const std::string& path)
{
    if (path.empty()) {
        m_motd.clear();
        return;
    }
    auto motd = loadMotd(path, m_options.maxPendingOutput);
    if (!motd) {
        logLine("reload: message of the day not changed, the previous one stays: " + motd.error());
        return;
    }
    m_motd = std::move(motd).value();
    logLine("reload: message of the day " + path + ": " + std::to_string(m_motd.size()) + " lines");
}

void Server::reload(const ServerOptions& fresh)
{
    reloadDenyList(fresh.denyFile);
    m_options.denyFile = fresh.denyFile;
    reloadMotd(fresh.motdFile);
    m_options.motdFile = fresh.motdFile;
    // Connections read the limits through a reference, so they see the new ones at once.
    m_options.floodLines = fresh.floodLines;
    m_options.floodWindow = fresh.floodWindow;
    m_limits.floodLines = fresh.floodLines;
    m_limits.floodWindow = toDuration(fresh.floodWindow);

    const ServerOptions& o = m_options;
    const std::pair<const char*, bool> fixed[] = {
        {"address", o.address != fresh.address},
        {"port", o.port != fresh.port},
        {"version-token", o.versionToken != fresh.versionToken},
        {"timed-list-interval", o.timedListInterval != fresh.timedListInterval},
        {"user-list-min-gap", o.userListMinGap != fresh.userListMinGap},
        {"max-clients", o.maxClients != fresh.maxClients},
        {"max-clients-per-address", o.maxClientsPerAddress != fresh.maxClientsPerAddress},
        {"max-pending-output", o.maxPendingOutput != fresh.maxPendingOutput},
        {"login-timeout", o.loginTimeout != fresh.loginTimeout},
        {"http", o.httpAddress != fresh.httpAddress || o.httpPort != fresh.httpPort},
    };
    for (const auto& [name, changed] : fixed) {
        if (changed)
            logLine(std::string("reload: ") + name +
                    " cannot change while the server runs; restart it to apply the new value");
    }
}

std::optional<HttpServer::Page> Server::page(std::string_view path)
{
    const std::pair<std::string_view, const char*> pages[] = {
        {"/", "text/html; charset=utf-8"},
        {"/status.json", "application/json"},
        {"/metrics", "text/plain; version=0.0.4; charset=utf-8"}};
    const auto known = std::find_if(std::begin(pages), std::end(pages),
                                    [&](const auto& entry) { return entry.first == path; });
    if (known == std::end(pages))
        return std::nullopt;
    // A page with every user online is large: it is built at most once a second, however
    // often it is asked for, and then shared by every response until the next one replaces
    // it, so a web client polling hard or pipelining requests costs the event loop little.
    const auto index = static_cast<std::size_t>(known - std::begin(pages));
    const auto now = Clock::now();
    auto& cached = m_pageCache[index];
    if (!cached.body || now - m_pageBuiltAt[index] >= std::chrono::seconds(1)) {
        const StatusFacts facts{
            m_registry,
            static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::seconds>(now - m_started).count()),
            m_connections.size(), m_metrics};
        cached.contentType = known->second;
        cached.body =
            std::make_shared<const std::string>(path == "/"              ? statusHtml(facts)
                                                : path == "/status.json" ? statusJson(facts)
                                                                         : metricsText(facts));
        m_pageBuiltAt[index] = now;
    }
    return cached;
}

} // namespace vantrell::server
