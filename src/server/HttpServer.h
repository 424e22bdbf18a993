#pragma once

#include "base/common/Result.h"
#include "server/Asio.h"
#include "server/Metrics.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

namespace vantrell::server {

// The read-only status pages (/, /status.json, /metrics) over HTTP, served by Beast on the
// server's own event loop. Every connection is bounded in time and memory and their number
// is capped, so that nothing a web client does can hold up the lobby connections for long.
class HttpServer
{
public:
    static constexpr std::size_t kMaxConnections = 64;
    static constexpr std::size_t kMaxHeadBytes = 8 * 1024;
    static constexpr std::chrono::seconds kHeadTimeout{10};
    // After an answer that leaves part of the request unread, the connection reads and drops
    // at most this much for at most this long before it closes, so that the client is still
    // reading when the close comes and sees the answer instead of a reset.
    static constexpr std::size_t kMaxLingerBytes = 256 * 1024;
    static constexpr std::chrono::seconds kLingerTimeout{2};
    // The shortest time between two requests taken up, over all connections together: at
    // most a thousand answers a second, plenty for people and dashboards.
    static constexpr std::chrono::milliseconds kAnswerGap{1};

    struct Page
    {
        const char* contentType = nullptr;
        // Shared with the server's cache and every response in flight; never changed.
        std::shared_ptr<const std::string> body;
    };
    // The page for a path, or nothing for an unknown path. Called on the event loop.
    using Pages = std::function<std::optional<Page>(std::string_view path)>;

    HttpServer(asio::io_context& io, Pages pages, Metrics& metrics);
    ~HttpServer();

    Result<void> start(const std::string& address, std::uint16_t port);
    void stop();

private:
    class Session;
    friend class Session;

    void accept();
    void finished(std::uint64_t id);

    asio::io_context& m_io;
    Pages m_pages;
    Metrics& m_metrics;
    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_acceptRetry;
    std::unordered_map<std::uint64_t, std::shared_ptr<Session>> m_sessions;
    std::uint64_t m_nextId = 1;
    std::chrono::steady_clock::time_point m_nextTurn{};
    bool m_stopping = false;
};

} // namespace vantrell::server
