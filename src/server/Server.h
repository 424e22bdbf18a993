#pragma once

#include "base/common/Result.h"
#include "base/lobby/MainServerCodec.h"
#include "server/Asio.h"
#include "server/Connection.h"
#include "server/DenyList.h"
#include "server/HttpServer.h"
#include "server/Metrics.h"
#include "server/Registry.h"
#include "server/ServerOptions.h"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vantrell::server {

// The main server: accepts lobby connections on one event loop, keeps the users and rooms,
// and answers and relays their lines.
class Server : public ConnectionOwner
{
public:
    Server(asio::io_context& io, ServerOptions options);
    ~Server() override;

    // Reads the ban list and the message of the day; the error names the file and line.
    Result<void> loadFiles();

    // Binds and starts accepting; logs the address and port it listens on.
    Result<void> start();
    // Closes every connection and the listener; the event loop then runs out of work.
    void stop(const std::string& why);
    // Takes what can change while running (ban list, message of the day, flood limits) from
    // freshly read options, and logs what cannot. A file that fails to load leaves its
    // previous contents in force.
    void reload(const ServerOptions& fresh);

    void handleLine(Connection& connection, std::string_view line) override;
    void connectionClosed(Connection& connection, const std::string& reason) override;
    void requestFlush(Connection& connection) override;
    std::vector<char>& readBuffer() override { return m_readBuffer; }

private:
    // Refusals that are logged once per connection, however often the client repeats them.
    enum RefusalKind : unsigned
    {
        BeforeVersionCheck,
        NotRegistered,
        SecondNickname,
        BadNickname,
        FloodLimit,
        BadRoom,
    };

    void accept();
    void onAccepted(const ErrorCode& error, asio::ip::tcp::socket socket);
    void removeConnection(ClientId id, const std::string& reason);
    void flushPending();

    void send(Connection& connection, const lobby::ServerMessage& message);
    void broadcast(const SharedLine& line);
    void userListChanged(Connection* newcomer);
    void broadcastUserList();
    void scheduleTimedUserList();

    void onVersionCheck(Connection& c, const lobby::ClientVersionCheck& m);
    void onAddNickName(Connection& c, const lobby::AddNickName& m);
    void onGlobalChat(Connection& c, const lobby::GlobalChat& m);
    void onAdvertiseRoom(Connection& c, const lobby::AdvertiseRoom& m);
    void onStopAdvertising(Connection& c);
    void refuse(Connection& c, RefusalKind kind, const std::string& what);
    void reloadDenyList(const std::string& path);
    void reloadMotd(const std::string& path);
    std::optional<HttpServer::Page> page(std::string_view path);

    asio::io_context& m_io;
    ServerOptions m_options;
    Connection::Limits m_limits;
    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_acceptRetry;
    asio::steady_timer m_userListTimer;
    asio::steady_timer m_timedListTimer;
    bool m_stopping = false;

    Metrics m_metrics;
    std::unique_ptr<HttpServer> m_http;
    DenyList m_denyList;
    std::vector<SharedLine> m_motd;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    std::array<HttpServer::Page, 3> m_pageCache;
    std::array<std::chrono::steady_clock::time_point, 3> m_pageBuiltAt{};

    Registry m_registry;
    std::unordered_map<ClientId, std::shared_ptr<Connection>> m_connections;
    std::unordered_map<std::string, std::size_t> m_perAddress;
    ClientId m_nextClientId = 1;

    std::vector<char> m_readBuffer;
    std::vector<std::shared_ptr<Connection>> m_flushQueue;
    bool m_flushPosted = false;

    bool m_userListDirty = false;
    bool m_userListPosted = false;
    bool m_userListTimerArmed = false;
    std::chrono::steady_clock::time_point m_lastUserListBroadcast{};
};

} // namespace vantrell::server
