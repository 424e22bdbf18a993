#include "server/HttpServer.h"

#include "server/ServerLog.h"

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <optional>

namespace vantrell::server {

namespace beast = boost::beast;
namespace http = boost::beast::http;

// One HTTP connection: requests are read and answered one at a time, so a client that
// pipelines a flood of them gets no further than the kernel's buffers let it.
class HttpServer::Session : public std::enable_shared_from_this<Session>
{
public:
    Session(asio::ip::tcp::socket socket, std::uint64_t id, HttpServer& server)
        : m_stream(std::move(socket)), m_buffer(2 * kMaxHeadBytes), m_id(id), m_server(server)
    {
    }

    void start() { readRequest(); }
    void close()
    {
        ErrorCode ignored;
        m_stream.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        m_stream.close();
    }

private:
    void readRequest()
    {
        m_parser.emplace();
        m_parser->header_limit(kMaxHeadBytes);
        m_parser->body_limit(0);
        // The whole head must arrive within the time-out, however slowly it trickles in.
        m_stream.expires_after(kHeadTimeout);
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = shared_from_this()](const ErrorCode& error, std::size_t) {
                             self->onRequest(error);
                         });
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
        const bool keepAlive = request.keep_alive();
        if (request.method() != http::verb::get && !head) {
            respond(http::status::method_not_allowed, {}, false, keepAlive);
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
        if (page.contentType.empty()) {
            page.contentType = "text/plain; charset=utf-8";
            page.body = std::string(http::obsolete_reason(status)) + "\n";
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
        m_response.content_length(page.body.size());
        if (!head)
            m_response.body() = std::move(page.body);
        m_stream.expires_after(kHeadTimeout);
        http::async_write(
            m_stream, m_response,
            [self = shared_from_this(), keepAlive](const ErrorCode& error, std::size_t) {
                if (!error && keepAlive && !self->m_server.m_stopping)
                    self->readRequest();
                else
                    self->finish();
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
    http::response<http::string_body> m_response;
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
