#pragma once

#include "base/common/LineFraming.h"
#include "server/Asio.h"
#include "server/Metrics.h"
#include "server/Registry.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::server {

class Connection;

// What a connection reports to the server that owns it.
class ConnectionOwner
{
public:
    virtual ~ConnectionOwner() = default;
    virtual void handleLine(Connection& connection, std::string_view line) = 0;
    // Called once, when the connection closes for any reason. The owner must not destroy
    // the connection from within this call.
    virtual void connectionClosed(Connection& connection, const std::string& reason) = 0;
    // Output was queued; the owner calls flush() once the current batch of events is done,
    // so that lines queued together leave in one write.
    virtual void requestFlush(Connection& connection) = 0;
    // A scratch buffer for reads, shared by every connection of the (single) event loop.
    virtual std::vector<char>& readBuffer() = 0;
};

// One lobby program's connection: reading and framing lines, the queue of output, and the
// per-connection state of the protocol (version check, registration, flood limit).
class Connection : public std::enable_shared_from_this<Connection>
{
public:
    struct Limits
    {
        std::size_t maxPendingOutput;
        std::size_t floodLines; // 0: no limit
        std::chrono::steady_clock::duration floodWindow;
        std::chrono::steady_clock::duration loginTimeout; // zero: no limit
    };

    Connection(asio::ip::tcp::socket socket, ClientId id, std::string peerAddress,
               std::string peerText, const Limits& limits, ConnectionOwner& owner,
               Metrics& metrics);

    // Sets the socket options, starts reading and the clock for the version check.
    void start();
    // Queues a whole line. A client whose queue would pass the output limit is disconnected.
    void send(const SharedLine& line);
    void flush();
    void close(const std::string& reason);

    ClientId id() const { return m_id; }
    // The peer's IPv4 address (an IPv4-mapped IPv6 address written as plain IPv4).
    const std::string& peerAddress() const { return m_peerAddress; }
    // Address and port, for the log.
    const std::string& peerText() const { return m_peerText; }
    bool isOpen() const { return !m_closed; }

    enum class VersionState
    {
        Unchecked,
        Accepted,
        Refused
    };
    VersionState versionState() const { return m_versionState; }
    void setVersionState(VersionState state);
    bool isRegistered() const { return m_registered; }
    void setRegistered() { m_registered = true; }

    // Counts one chat line against the flood limit. False: drop it (it has been counted).
    bool admitChatLine(std::chrono::steady_clock::time_point now);
    std::uint64_t floodDropped() const { return m_floodDropped; }

    // True the first time it is asked for a given kind, so that a client repeating a refused
    // line cannot fill the log.
    bool firstRefusal(unsigned kind);

private:
    void waitReadable();
    void onReadable(const ErrorCode& error);
    void waitWritable();

    asio::ip::tcp::socket m_socket;
    ClientId m_id;
    std::string m_peerAddress;
    std::string m_peerText;
    const Limits& m_limits;
    ConnectionOwner& m_owner;
    Metrics& m_metrics;
    LineReader m_reader;
    asio::steady_timer m_loginTimer;

    std::vector<SharedLine> m_output;
    std::size_t m_outputHead = 0;   // first line of m_output not yet written whole
    std::size_t m_outputOffset = 0; // bytes of that line already written
    std::size_t m_pendingBytes = 0;
    bool m_flushRequested = false;
    bool m_waitingWritable = false;

    bool m_closed = false;
    VersionState m_versionState = VersionState::Unchecked;
    bool m_registered = false;
    unsigned m_refusalsLogged = 0;

    std::vector<std::chrono::steady_clock::time_point> m_floodRing;
    std::size_t m_floodNext = 0;
    std::uint64_t m_floodDropped = 0;
};

} // namespace vantrell::server
