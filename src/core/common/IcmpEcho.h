#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <QObject>
#include <QString>

namespace vantrell::core {

// How an echo request may be sent. Automatic tries a raw ICMP socket (needs privileges)
// and then the unprivileged ICMP datagram socket (needs the user's group inside the
// system's net.ipv4.ping_group_range). Disabled sends nothing: every echo is unanswered.
enum class IcmpMethod
{
    Automatic,
    RawOnly,
    DatagramOnly,
    Disabled,
};

struct EchoResult
{
    bool answered = false;
    std::chrono::milliseconds roundTrip{0};
    // Why no request could be sent (empty when one was sent, answered or not).
    std::string failure;
};

// Sends one ICMP echo request with 32 data bytes to an IPv4 address (host byte order) and
// waits up to `wait` for the matching reply. Blocks: call it off the window thread. A
// readable cancelFd ends the wait early, unanswered.
EchoResult sendIcmpEcho(std::uint32_t ipv4, std::chrono::milliseconds wait, IcmpMethod method,
                        std::uint16_t sequence, int cancelFd = -1);

// Runs echo requests one after another on a worker thread of its own (started by the first
// request) and reports each on the thread that owns this object, which alone calls ping().
// Destroying it cancels a wait in progress and joins the worker, so closing a room never waits out
// an unanswered echo.
class IcmpPinger : public QObject
{
    Q_OBJECT

public:
    explicit IcmpPinger(IcmpMethod method, QObject* parent = nullptr);
    ~IcmpPinger() override;

    IcmpMethod method() const { return m_method; }

    // Queues an echo to a dotted IPv4 address; returns the id its echoFinished will carry.
    // An address that is not IPv4 is reported unanswered.
    quint64 ping(const QString& address, std::chrono::milliseconds wait);

signals:
    // `sent` is false when no request could go out at all (no right to send ICMP, no
    // route, not an IPv4 address); the echo then also counts as unanswered.
    void echoFinished(quint64 id, bool answered, qint64 roundTripMs, bool sent);

private:
    struct Request
    {
        quint64 id;
        bool valid;
        std::uint32_t ipv4;
        std::chrono::milliseconds wait;
    };

    void run();

    const IcmpMethod m_method;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Request> m_queue;
    bool m_stopping = false;
    quint64 m_nextId = 1;
    int m_cancelPipe[2] = {-1, -1};
    std::thread m_worker;
};

} // namespace vantrell::core
