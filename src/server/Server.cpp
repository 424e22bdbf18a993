#include "server/Server.h"

#include "base/common/LineFraming.h"
#include "server/ServerLog.h"

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>

namespace vantrell::server {

namespace {

using Clock = std::chrono::steady_clock;

std::string ipv4Text(const asio::ip::address& address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
    return address.to_string();
}

} // namespace

Server::Server(asio::io_context& io, ServerOptions options)
    : m_io(io),
      m_options(std::move(options)), m_limits{m_options.maxPendingOutput, m_options.floodLines,
                                              toDuration(m_options.floodWindow),
                                              toDuration(m_options.loginTimeout)},
      m_acceptor(io), m_acceptRetry(io), m_userListTimer(io), m_timedListTimer(io),
      m_readBuffer(64 * 1024)
{
}

Server::~Server() = default;

Result<void> Server::start()
{
    ErrorCode error;
    const auto address = asio::ip::make_address(m_options.address, error);
    if (error)
        return Error{"bad listen address \"" + m_options.address + "\""};
    const asio::ip::tcp::endpoint endpoint(address, m_options.port);
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
        return Error{"cannot listen on " + m_options.address + " port " +
                     std::to_string(m_options.port) + ": " + error.message()};
    const auto local = m_acceptor.local_endpoint(error);
    logLine("listening on " + local.address().to_string() + ":" + std::to_string(local.port()));
    if (!m_options.httpAddress.empty()) {
        m_http = std::make_unique<HttpServer>(
            m_io, [this](std::string_view path) { return page(path); }, m_metrics);
        if (auto started = m_http->start(m_options.httpAddress, m_options.httpPort); !started)
            return started;
    }
    accept();
    scheduleTimedUserList();
    return {};
}

void Server::stop(const std::string& why)
{
    if (m_stopping)
        return;
    m_stopping = true;
    logLine("stopping: " + why + "; closing " + std::to_string(m_connections.size()) +
            " connections");
    ErrorCode ignored;
    m_acceptor.close(ignored);
    m_acceptRetry.cancel();
    m_userListTimer.cancel();
    m_timedListTimer.cancel();
    if (m_http)
        m_http->stop();
    // Closing reports back through connectionClosed, which posts the removal; the posted
    // handlers run and then the loop has no more work.
    std::vector<std::shared_ptr<Connection>> all;
    all.reserve(m_connections.size());
    for (const auto& entry : m_connections)
        all.push_back(entry.second);
    for (const auto& connection : all)
        connection->close("server stopping");
}

void Server::accept()
{
    m_acceptor.async_accept([this](const ErrorCode& error, asio::ip::tcp::socket socket) {
        onAccepted(error, std::move(socket));
    });
}

void Server::onAccepted(const ErrorCode& error, asio::ip::tcp::socket socket)
{
    if (m_stopping || error == asio::error::operation_aborted)
        return;
    if (error) {
        // Out of descriptors or memory for the moment: try again shortly rather than spin.
        logLine("accept failed: " + error.message());
        m_acceptRetry.expires_after(std::chrono::milliseconds(100));
        m_acceptRetry.async_wait([this](const ErrorCode& e) {
            if (!e && !m_stopping)
                accept();
        });
        return;
    }
    accept();

    ErrorCode endpointError;
    const auto peer = socket.remote_endpoint(endpointError);
    if (endpointError)
        return; // gone before we could look at it
    const std::string address = ipv4Text(peer.address());
    const std::string peerText = address + ":" + std::to_string(peer.port());

    std::string refusal;
    if (m_denyList.denies(peer.address())) {
        refusal = "address on the ban list";
        m_metrics.refused(Refusal::Denied);
    } else if (m_connections.size() >= m_options.maxClients) {
        refusal = "server full (" + std::to_string(m_options.maxClients) + " clients)";
        m_metrics.refused(Refusal::TotalLimit);
    } else if (m_options.maxClientsPerAddress > 0 &&
               m_perAddress[address] >= m_options.maxClientsPerAddress) {
        refusal = "too many clients from " + address + " (" +
                  std::to_string(m_options.maxClientsPerAddress) + ")";
        m_metrics.refused(Refusal::PerAddressLimit);
    }
    if (!refusal.empty()) {
        if (m_perAddress[address] == 0)
            m_perAddress.erase(address);
        logLine("refused " + peerText + ": " + refusal);
        ErrorCode ignored;
        socket.close(ignored);
        return;
    }

    const ClientId id = m_nextClientId++;
    auto connection = std::make_shared<Connection>(std::move(socket), id, address, peerText,
                                                   m_limits, *this, m_metrics);
    m_connections.emplace(id, connection);
    ++m_perAddress[address];
    logLine("connect #" + std::to_string(id) + " " + peerText);
    connection->start();
}

void Server::connectionClosed(Connection& connection, const std::string& reason)
{
    // The connection may be closing in the middle of a broadcast over the registry, so the
    // bookkeeping waits for the current handler to finish.
    asio::post(m_io, [this, id = connection.id(), reason] { removeConnection(id, reason); });
}

void Server::removeConnection(ClientId id, const std::string& reason)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    const auto connection = it->second;
    m_connections.erase(it);
    if (--m_perAddress[connection->peerAddress()] == 0)
        m_perAddress.erase(connection->peerAddress());

    std::string line =
        "disconnect #" + std::to_string(id) + " " + connection->peerText() + ": " + reason;
    if (connection->floodDropped() > 0)
        line += " (" + std::to_string(connection->floodDropped()) +
                " chat lines dropped by the flood limit)";
    logLine(line);
    if (m_stopping)
        return;
    const std::string roomId = m_registry.removeRoom(id);
    if (!roomId.empty())
        logLine("room " + roomId + " removed: host #" + std::to_string(id) + " disconnected");
    if (m_registry.nickname(id)) {
        m_registry.removeUser(id);
        userListChanged(nullptr);
    }
}

void Server::requestFlush(Connection& connection)
{
    m_flushQueue.push_back(connection.shared_from_this());
    if (m_flushPosted)
        return;
    m_flushPosted = true;
    // Posted behind the handlers already ready, so that every line queued while they run
    // (a burst of chat, a list after a join) goes out in one write per client.
    asio::post(m_io, [this] { flushPending(); });
}

void Server::flushPending()
{
    m_flushPosted = false;
    auto queue = std::move(m_flushQueue);
    m_flushQueue.clear();
    for (const auto& connection : queue)
        connection->flush();
    if (m_flushQueue.empty() && queue.capacity() <= 4096) {
        queue.clear();
        m_flushQueue = std::move(queue); // keep the storage for the next turn
    }
}

void Server::send(Connection& connection, const lobby::ServerMessage& message)
{
    connection.send(
        std::make_shared<const std::string>(encodeLine(lobby::encodeServerMessage(message))));
}

void Server::broadcast(const SharedLine& line)
{
    m_registry.forEachUser([&](ClientId id) {
        const auto it = m_connections.find(id);
        if (it != m_connections.end())
            it->second->send(line);
    });
}

void Server::userListChanged(Connection* newcomer)
{
    m_userListDirty = true;
    if (m_userListPosted)
        return; // a broadcast later in this turn reaches everybody, the newcomer too
    const auto gap = toDuration(m_options.userListMinGap);
    const auto due = m_lastUserListBroadcast + gap;
    if (m_userListTimerArmed || Clock::now() < due) {
        // Joins and leaves come in bursts when many lobbies reconnect at once; sending the
        // whole list to everybody after each of them would be quadratic. Everybody gets one
        // list when the gap has passed; a newcomer gets the current one right away.
        if (newcomer)
            newcomer->send(m_registry.userListLine());
        if (!m_userListTimerArmed) {
            m_userListTimerArmed = true;
            m_userListTimer.expires_at(due);
            m_userListTimer.async_wait([this](const ErrorCode& error) {
                m_userListTimerArmed = false;
                if (!error && !m_stopping)
                    broadcastUserList();
            });
        }
        return;
    }
    m_userListPosted = true;
    asio::post(m_io, [this] {
        m_userListPosted = false;
        if (!m_stopping)
            broadcastUserList();
    });
}

void Server::broadcastUserList()
{
    if (!m_userListDirty)
        return;
    m_userListDirty = false;
    m_lastUserListBroadcast = Clock::now();
    broadcast(m_registry.userListLine());
}

void Server::scheduleTimedUserList()
{
    if (m_options.timedListInterval.count() <= 0)
        return;
    m_timedListTimer.expires_after(toDuration(m_options.timedListInterval));
    m_timedListTimer.async_wait([this](const ErrorCode& error) {
        if (error || m_stopping)
            return;
        broadcast(m_registry.timedUserListLine());
        scheduleTimedUserList();
    });
}

} // namespace vantrell::server
