#include "support/HostileLab.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QTest>

HostileSocket::HostileSocket(quint16 port, const QHostAddress& to, int receiveBuffer)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return;
    if (receiveBuffer > 0)
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(to.toIPv4Address());
    m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
        m_localPort = ntohs(local.sin_port);
}

HostileSocket::~HostileSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t HostileSocket::sendSome(std::string_view bytes)
{
    if (!isConnected() || bytes.empty())
        return 0;
    const auto n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    // A reset is told here even while unread bytes keep the receiving side looking open.
    if (n < 0 && (errno == EPIPE || errno == ECONNRESET))
        m_peerClosed = true;
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t HostileSocket::sendAll(std::string_view bytes, int timeoutMs)
{
    std::size_t sent = 0;
    QElapsedTimer clock;
    clock.start();
    while (sent < bytes.size() && clock.elapsed() < timeoutMs) {
        const std::size_t n = sendSome(bytes.substr(sent));
        sent += n;
        if (n == 0) {
            drain();
            if (m_peerClosed)
                break;
            QTest::qWait(1);
        }
    }
    return sent;
}

bool HostileSocket::drain()
{
    if (m_fd < 0 || m_peerClosed)
        return false;
    char buffer[65536];
    for (;;) {
        // Not reading: a zero-length peek still reports a reset or an end of stream.
        const auto n = m_reading ? ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT)
                                 : ::recv(m_fd, buffer, 1, MSG_DONTWAIT | MSG_PEEK);
        if (n > 0 && !m_reading)
            break;
        if (n > 0) {
            m_received += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            m_peerClosed = true;
        break;
    }
    return !m_peerClosed;
}

bool HostileSocket::waitClosedByPeer(int timeoutMs)
{
    return QTest::qWaitFor([&] { return !drain(); }, timeoutMs);
}

namespace {
long statusKiB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    }
    return -1;
}
} // namespace

long residentKiB()
{
    return statusKiB("VmRSS");
}

long peakResidentKiB()
{
    return statusKiB("VmHWM");
}

LoopLatencyProbe::LoopLatencyProbe(int intervalMs) : m_intervalMs(intervalMs)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &LoopLatencyProbe::tick);
}

void LoopLatencyProbe::start()
{
    m_worst = 0;
    m_worstBusy = 0;
    m_ticks = 0;
    m_clock.start();
    m_last = 0;
    m_timer.start();
}

void LoopLatencyProbe::stop()
{
    m_timer.stop();
    tick();
}

namespace {
// Nanoseconds this thread has run on a CPU, from the scheduler's statistics.
qint64 threadCpuNs()
{
    QFile stats(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stats.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stats.readAll().split(' ');
    return fields.isEmpty() ? 0 : fields[0].toLongLong();
}
} // namespace

void LoopLatencyProbe::tick()
{
    const qint64 now = m_clock.elapsed();
    const qint64 cpu = threadCpuNs();
    m_worst = std::max(m_worst, now - m_last - m_intervalMs);
    if (m_ticks > 0)
        m_worstBusy = std::max(m_worstBusy, (cpu - m_lastCpuNs) / 1000000);
    m_lastCpuNs = cpu;
    m_last = now;
    ++m_ticks;
}
