#pragma once

// Plumbing for the hostile-peer tests: a raw attacking socket that never blocks and never
// buffers in this process, the process's resident memory, and a probe that measures how late
// the event loop runs its timers while an attack goes on.

#include <cstddef>
#include <string>
#include <string_view>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

// A plain non-blocking TCP socket. What the kernel does not take is dropped, so an attack
// never piles up memory on the attacker's side of the test process.
class HostileSocket
{
public:
    // receiveBuffer > 0 shrinks the kernel's receive buffer (set before connecting).
    explicit HostileSocket(quint16 port, const QHostAddress& to = QHostAddress::LocalHost,
                           int receiveBuffer = 0);
    ~HostileSocket();
    HostileSocket(const HostileSocket&) = delete;
    HostileSocket& operator=(const HostileSocket&) = delete;

    bool isConnected() const { return m_fd >= 0 && m_connected; }
    // Bytes the kernel accepted.
    std::size_t sendSome(std::string_view bytes);
    // Sends everything, letting the event loop run while the kernel's buffer is full, for
    // at most timeoutMs. Returns the bytes sent.
    std::size_t sendAll(std::string_view bytes, int timeoutMs);
    // Reads and throws away what arrived; true while the peer has not closed.
    bool drain();
    // A peer that never reads: drain() then only looks for the peer's close (by a reset).
    void stopReading() { m_reading = false; }
    // True once the peer has closed or reset the connection (drains meanwhile).
    bool waitClosedByPeer(int timeoutMs);
    quint16 localPort() const { return m_localPort; }
    std::size_t received() const { return m_received; }

private:
    int m_fd = -1;
    bool m_connected = false;
    bool m_peerClosed = false;
    bool m_reading = true;
    quint16 m_localPort = 0;
    std::size_t m_received = 0;
};

// Under AddressSanitizer freed memory waits in a quarantine, so the resident size says
// nothing about what the code keeps: the plain build checks the memory bounds.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMemoryTellsWhatIsKept = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kResidentMemoryTellsWhatIsKept = false;
#else
inline constexpr bool kResidentMemoryTellsWhatIsKept = true;
#endif
#else
inline constexpr bool kResidentMemoryTellsWhatIsKept = true;
#endif

// Resident set size of this process in KiB (VmRSS), and its peak (VmHWM).
long residentKiB();
long peakResidentKiB();

// Fires every few milliseconds and remembers the worst delay beyond its interval: the
// longest the event loop was busy elsewhere while the probe ran.
class LoopLatencyProbe : public QObject
{
public:
    explicit LoopLatencyProbe(int intervalMs = 5);
    void start();
    void stop();
    qint64 worstLateMs() const { return m_worst; }
    // The longest the thread itself ran between two ticks: a loop held up by the program's
    // own work. On a busy machine the lateness above also counts the time the thread waits
    // for a CPU, often past 100 ms for any process; this does not.
    qint64 worstBusyMs() const { return m_worstBusy; }
    int ticks() const { return m_ticks; }

private:
    void tick();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    qint64 m_worstBusy = 0;
    qint64 m_lastCpuNs = 0;
    int m_intervalMs;
    int m_ticks = 0;
};
