#include "server/HttpServer.h"

#include "server/ServerLog.h"

#include <algorithm>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace vantrell::server {

namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace {

// A response body that points into one shared page: however many clients fetch it, the page
// is never copied on its way to the kernel.
struct SharedBody
{
    using value_type = std::shared_ptr<const std::string>;

    static std::uint64_t size(const value_type& body) { return body ? body->size() : 0; }

    class writer
    {
    public:
        using const_buffers_type = asio::const_buffer;

        template <bool isRequest, class Fields>
        writer(const http::header<isRequest, Fields>&, const value_type& body) : m_body(body)
        {
        }
        void init(ErrorCode& error) { error = {}; }
        boost::optional<std::pair<const_buffers_type, bool>> get(ErrorCode& error)
        {
            error = {};
            if (!m_body || m_body->empty())
                return boost::none;
            return {{asio::const_buffer(m_body->data(), m_body->size()), false}};
        }

    private:
        const value_type& m_body;
    };
};

} // namespace

// One HTTP connection: requests are read and answered one at a time, so a client that
// pipelines a flood of them gets no further than the kernel's buffers let it.
class HttpServer::Session : public std::enable_shared_from_this<Session>
{
public:
    Session(asio::ip::tcp::socket socket, std::uint64_t id, HttpServer& server)
        : m_stream(std::move(socket)), m_buffer(2 * kMaxHeadBytes), m_turn(m_stream.get_executor()),
          m_id(id), m_server(server)
    {
    }

    void start() { readRequest(); }
    void close()
    {
        m_turn.cancel();
        ErrorCode ignored;
        m_stream.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        m_stream.close();
    }

private:
    // Requests are answered one after another, each in the next free turn of all the
    // sessions together, so that however many clients loop on the pages the lobby
    // connections on the same loop keep most of its time.
    void readRequest()
    {
        const auto now = std::chrono::steady_clock::now();
        const auto turn = std::max(m_server.m_nextTurn, now);
        m_server.m_nextTurn = turn + kAnswerGap;
        if (turn <= now) {
            readRequestNow();
            return;
        }
        m_turn.expires_at(turn);
        m_turn.async_wait([self = shared_from_this()](const ErrorCode& error) {
            if (!error && !self->m_server.m_stopping)
                self->readRequestNow();
            else
                self->finish();
        });
    }

    void readRequestNow()
    {
        m_parser.emplace();
        m_parser->header_limit(kMaxHeadBytes);
        // A body is never read; its length is looked at once the head is in.
        m_parser->body_limit(std::numeric_limits<std::uint64_t>::max());
        m_headBytes = 0;
        // The whole head must arrive within the time-out, however slowly it trickles in.
        m_stream.expires_after(kHeadTimeout);
        readHead();
    }

    void readHead()
    {
        http::async_read_some(m_stream, m_buffer, *m_parser,
                              [self = shared_from_this()](const ErrorCode& error, std::size_t n) {
                                  self->onHeadPart(error, n);
                              });
    }

    // The parser applies its limit to each part it is handed, and forgets the request line
    // and the fields it has already taken; the limit of the whole head is kept here.
    void onHeadPart(const ErrorCode& error, std::size_t consumed)
    {
        m_headBytes += consumed;
        if (!error && m_headBytes > kMaxHeadBytes) {
            respond(http::status::request_header_fields_too_large, {}, false, false);
            return;
        }
        if (!error && !m_parser->is_header_done()) {
            m_parser->header_limit(static_cast<std::uint32_t>(kMaxHeadBytes - m_headBytes));
            readHead();
            return;
        }
        onRequest(error);
    }

    void onRequest(const ErrorCode& error)
    {
        if (error == http::error::header_limit || error == http::error::buffer_overflow) {
            respond(http::status::request_header_fields_too_large, {}, false, false);
            return;
        }
        // A client that goes away or stalls mid-request is not answered, only closed.
        if (error == http::error::end_of_stream || error == http::error::partial_message ||
            error == beast::error::timeout || error == asio::error::operation_aborted ||
            error == asio::error::connection_reset || error == asio::error::eof) {
            finish();
            return;
        }
        if (error) {
            respond(http::status::bad_request, {}, false, false);
            return;
        }
        const auto& request = m_parser->get();
        const bool head = request.method() == http::verb::head;
        // A request with a body leaves the body unread: the connection cannot carry another.
        const bool keepAlive = request.keep_alive() && m_parser->is_done();
        if (request.method() != http::verb::get && !head) {
            respond(http::status::method_not_allowed, {}, false, keepAlive);
            return;
        }
        if (!m_parser->is_done()) {
            respond(http::status::bad_request, {}, false, false);
            return;
        }
        std::string_view path(request.target().data(), request.target().size());
        path = path.substr(0, path.find('?'));
        auto page = m_server.m_pages(path);
        if (!page) {
            respond(http::status::not_found, {}, head, keepAlive);
            return;
        }
        respond(http::status::ok, std::move(*page), head, keepAlive);
    }

    void respond(http::status status, HttpServer::Page page, bool head, bool keepAlive)
    {
        ++m_server.m_metrics.httpRequests[static_cast<unsigned>(status)];
        if (!page.body) {
            page.contentType = "text/plain; charset=utf-8";
            page.body = std::make_shared<const std::string>(
                std::string(http::obsolete_reason(status)) + "\n");
        }
        m_response = {};
        m_response.version(11);
        m_response.result(status);
        m_response.set(http::field::server, "vantrell-server");
        m_response.set(http::field::content_type, page.contentType);
        m_response.set(http::field::cache_control, "no-store");
        if (status == http::status::method_not_allowed)
            m_response.set(http::field::allow, "GET, HEAD");
        m_response.keep_alive(keepAlive);
        m_response.content_length(page.body->size());
        if (!head)
            m_response.body() = std::move(page.body);
        // An answer given before the whole request was read (a head over the limit, a body).
        const bool linger = !keepAlive && !m_parser->is_done();
        m_stream.expires_after(kHeadTimeout);
        http::async_write(
            m_stream, m_response,
            [self = shared_from_this(), keepAlive, linger](const ErrorCode& error, std::size_t) {
                self->m_response.body().reset();
                if (!error && keepAlive && !self->m_server.m_stopping)
                    self->readRequest();
                else if (!error && linger && !self->m_server.m_stopping)
                    self->lingerThenFinish();
                else
                    self->finish();
            });
    }

    // Closing a socket with unread bytes makes the kernel send a reset, which can reach the
    // client before it has read the answer. The sending side is shut first, and what the
    // client still sends is read and dropped for a moment, within a limit.
    void lingerThenFinish()
    {
        ErrorCode ignored;
        m_stream.socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
        m_lingerLeft = kMaxLingerBytes;
        m_stream.expires_after(kLingerTimeout);
        drain();
    }

    void drain()
    {
        m_buffer.consume(m_buffer.size());
        m_stream.async_read_some(
            m_buffer.prepare(kMaxHeadBytes),
            [self = shared_from_this()](const ErrorCode& error, std::size_t n) {
                if (error || n >= self->m_lingerLeft || self->m_server.m_stopping) {
                    self->finish();
                    return;
                }
                self->m_lingerLeft -= n;
                self->drain();
            });
    }

    void finish()
    {
        close();
        m_server.finished(m_id);
    }

    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::empty_body>> m_parser;
    std::size_t m_headBytes = 0;
    std::size_t m_lingerLeft = 0;
    http::response<SharedBody> m_response;
    asio::steady_timer m_turn;
    std::uint64_t m_id;
    HttpServer& m_server;
};

HttpServer::HttpServer(asio::io_context& io, Pages pages, Metrics& metrics)
    : m_io(io), m_pages(std::move(pages)), m_metrics(metrics), m_acceptor(io), m_acceptRetry(io)
{
}

HttpServer::~HttpServer() = default;

Result<void> HttpServer::start(const std::string& addressText, std::uint16_t port)
{
    ErrorCode error;
    const auto address = asio::ip::make_address(addressText, error);
    if (error)
        return Error{"bad HTTP address \"" + addressText + "\""};
    const asio::ip::tcp::endpoint endpoint(address, port);
    m_acceptor.open(endpoint.protocol(), error);
    if (!error)
        m_acceptor.set_option(asio::socket_base::reuse_address(true), error);
    if (!error && address.is_v6())
        m_acceptor.set_option(asio::ip::v6_only(false), error);
    if (!error)
        m_acceptor.bind(endpoint, error);
    if (!error)
        m_acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error)
        return Error{"cannot serve HTTP on " + addressText + " port " + std::to_string(port) +
                     ": " + error.message()};
    const auto local = m_acceptor.local_endpoint(error);
    logLine("status pages on http://" +
            (local.address().is_v6() ? "[" + local.address().to_string() + "]"
                                     : local.address().to_string()) +
            ":" + std::to_string(local.port()) + "/");
    accept();
    return {};
}

void HttpServer::stop()
{
    m_stopping = true;
    ErrorCode ignored;
    m_acceptor.close(ignored);
    m_acceptRetry.cancel();
    // Closing makes every pending handler finish with an error; the sessions then go.
    for (const auto& entry : m_sessions)
        entry.second->close();
}

void HttpServer::accept()
{
    m_acceptor.async_accept([this](const ErrorCode& error, asio::ip::tcp::socket socket) {
        if (m_stopping || error == asio::error::operation_aborted)
            return;
        if (error) {
            logLine("HTTP accept failed: " + error.message());
            m_acceptRetry.expires_after(std::chrono::milliseconds(100));
            m_acceptRetry.async_wait([this](const ErrorCode& e) {
                if (!e && !m_stopping)
                    accept();
            });
            return;
        }
        accept();
        if (m_sessions.size() >= kMaxConnections) {
            // Closed before anything is read: a flood of connections costs one accept each.
            ErrorCode ignored;
            socket.close(ignored);
            return;
        }
        const std::uint64_t id = m_nextId++;
        auto session = std::make_shared<Session>(std::move(socket), id, *this);
        m_sessions.emplace(id, session);
        session->start();
    });
}

void HttpServer::finished(std::uint64_t id)
{
    // Deferred: the session is still running the handler that reported it finished.
    asio::post(m_io, [this, id] { m_sessions.erase(id); });
}

} // namespace vantrell::server
