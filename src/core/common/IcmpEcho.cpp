#include "core/common/IcmpEcho.h"

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>
#include <QMetaObject>

namespace vantrell::core {

namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kDataBytes = 32;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kEchoReply = 0;

std::uint16_t checksum(const std::uint8_t* data, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (length % 2)
        sum += static_cast<std::uint32_t>(data[length - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Opens the first kind of ICMP socket the method allows and the system grants.
int openSocket(IcmpMethod method, bool& raw, std::string& failure)
{
    raw = false;
    if (method == IcmpMethod::Automatic || method == IcmpMethod::RawOnly) {
        const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd >= 0) {
            raw = true;
            return fd;
        }
        failure = std::string("raw ICMP socket: ") + std::strerror(errno);
    }
    if (method == IcmpMethod::Automatic || method == IcmpMethod::DatagramOnly) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd >= 0) {
            failure.clear();
            return fd;
        }
        if (!failure.empty())
            failure += "; ";
        failure += std::string("ICMP datagram socket: ") + std::strerror(errno);
    }
    if (method == IcmpMethod::Disabled)
        failure = "ICMP disabled";
    return -1;
}

} // namespace

EchoResult sendIcmpEcho(std::uint32_t ipv4, std::chrono::milliseconds wait, IcmpMethod method,
                        std::uint16_t sequence, int cancelFd)
{
    EchoResult result;
    bool raw = false;
    const Fd sock(openSocket(method, raw, result.failure));
    if (sock.get() < 0)
        return result;

    // The kernel replaces the identifier of a datagram socket's requests with its own, and
    // only hands that socket its own replies; a raw socket sees every ICMP packet, its own
    // request included on loopback, so there the identifier and type tell ours apart.
    static std::atomic<std::uint16_t> counter{0};
    const auto identifier = static_cast<std::uint16_t>((::getpid() & 0xffff) ^ ++counter);

    std::array<std::uint8_t, kHeaderBytes + kDataBytes> packet{};
    packet[0] = kEchoRequest;
    packet[1] = 0;
    packet[4] = static_cast<std::uint8_t>(identifier >> 8);
    packet[5] = static_cast<std::uint8_t>(identifier & 0xff);
    packet[6] = static_cast<std::uint8_t>(sequence >> 8);
    packet[7] = static_cast<std::uint8_t>(sequence & 0xff);
    for (std::size_t i = 0; i < kDataBytes; ++i)
        packet[kHeaderBytes + i] = static_cast<std::uint8_t>('a' + i % 23);
    const auto sum = checksum(packet.data(), packet.size());
    packet[2] = static_cast<std::uint8_t>(sum >> 8);
    packet[3] = static_cast<std::uint8_t>(sum & 0xff);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(ipv4);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto deadline = start + wait;
    if (::sendto(sock.get(), packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0) {
        result.failure = std::string("sending the echo request: ") + std::strerror(errno);
        return result;
    }

    std::array<std::uint8_t, 1500> buffer{};
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline)
            return result;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd fds[2] = {{sock.get(), POLLIN, 0}, {cancelFd, POLLIN, 0}};
        const int ready = ::poll(fds, cancelFd >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return result;
        }
        if (ready == 0)
            return result;
        if (cancelFd >= 0 && (fds[1].revents & POLLIN))
            return result;
        if (!(fds[0].revents & POLLIN))
            continue;

        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const auto got = ::recvfrom(sock.get(), buffer.data(), buffer.size(), 0,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got <= 0)
            continue;
        const auto arrived = Clock::now();
        std::size_t offset = 0;
        if (raw) {
            offset = static_cast<std::size_t>(buffer[0] & 0x0f) * 4;
            if (from.sin_addr.s_addr != to.sin_addr.s_addr)
                continue;
        }
        if (static_cast<std::size_t>(got) < offset + kHeaderBytes)
            continue;
        const std::uint8_t* icmp = buffer.data() + offset;
        const auto replyId = static_cast<std::uint16_t>(icmp[4] << 8 | icmp[5]);
        const auto replySeq = static_cast<std::uint16_t>(icmp[6] << 8 | icmp[7]);
        if (icmp[0] != kEchoReply || replySeq != sequence || (raw && replyId != identifier))
            continue;
        result.answered = true;
        result.roundTrip = std::chrono::duration_cast<std::chrono::milliseconds>(arrived - start);
        return result;
    }
}

IcmpPinger::IcmpPinger(IcmpMethod method, QObject* parent) : QObject(parent), m_method(method)
{
    if (::pipe2(m_cancelPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        m_cancelPipe[0] = m_cancelPipe[1] = -1;
}

IcmpPinger::~IcmpPinger()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_cancelPipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(m_cancelPipe[1], &byte, 1);
    }
    if (m_worker.joinable())
        m_worker.join();
    for (int fd : m_cancelPipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

quint64 IcmpPinger::ping(const QString& address, std::chrono::milliseconds wait)
{
    bool isV4 = false;
    const QHostAddress host(address);
    const quint32 ipv4 = host.toIPv4Address(&isV4);
    std::lock_guard lock(m_mutex);
    const quint64 id = m_nextId++;
    m_queue.push_back({id, isV4, ipv4, wait});
    m_wake.notify_all();
    // The worker starts with the first echo: a program that pings nobody keeps no thread.
    if (!m_worker.joinable())
        m_worker = std::thread([this] { run(); });
    return id;
}

void IcmpPinger::run()
{
    std::uint16_t sequence = 0;
    for (;;) {
        Request request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            request = m_queue.front();
            m_queue.pop_front();
        }
        EchoResult result;
        if (request.valid)
            result =
                sendIcmpEcho(request.ipv4, request.wait, m_method, ++sequence, m_cancelPipe[0]);
        const quint64 id = request.id;
        const bool answered = result.answered;
        const qint64 ms = result.roundTrip.count();
        const bool sent = request.valid && result.failure.empty();
        QMetaObject::invokeMethod(
            this, [this, id, answered, ms, sent] { emit echoFinished(id, answered, ms, sent); },
            Qt::QueuedConnection);
    }
}

} // namespace vantrell::core
