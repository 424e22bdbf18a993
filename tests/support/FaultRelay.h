#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

// A TCP relay on loopback to put between two programs, so that their link can be made slow
// or broken on the test's schedule: latency and a byte rate per direction, a stall of one
// direction, a silent cut of both (nothing passes, nothing closes: held bytes go on once it
// ends, as TCP would resend them), or the close of one direction. Runs on the test's event
// loop; every connection made to port() gets its own connection to the target.
class FaultRelay : public QObject
{
public:
    enum Direction
    {
        ToTarget = 0,  // from the program that connects to the relay
        FromTarget = 1 // back to it
    };
    using Ms = std::chrono::milliseconds;

    FaultRelay(const QHostAddress& target, quint16 targetPort, QObject* parent = nullptr);
    // Listens on the address and port given (0: one the system picks) instead of loopback.
    FaultRelay(const QHostAddress& target, quint16 targetPort, const QHostAddress& listenAddress,
               quint16 listenPort, QObject* parent = nullptr);
    ~FaultRelay() override;

    bool isListening() const;
    quint16 port() const;
    void setTarget(quint16 targetPort) { m_targetPort = targetPort; }
    // The address the relay's own connections to the target leave from, so the target sees
    // the program behind the relay rather than the relay (null: the system chooses).
    void setSourceAddress(const QHostAddress& address) { m_source = address; }

    void setLatency(Direction direction, Ms oneWay) { m_latency[direction] = oneWay; }
    // Bytes per second; 0 is no limit.
    void setRate(Direction direction, qint64 bytesPerSecond) { m_rate[direction] = bytesPerSecond; }
    // Holds every byte of that direction for the time given (from now).
    void stall(Direction direction, Ms duration);
    // Holds both directions for the time given.
    void cut(Ms duration);
    // Ends a stall or cut now.
    void heal();
    // Closes the side that direction writes to, as if that peer had closed its end.
    void closeDirection(Direction direction);
    // Relayed connections still open.
    int openLinks() const;

private:
    struct Chunk
    {
        QByteArray bytes;
        std::chrono::steady_clock::time_point due;
    };
    struct Lane
    {
        QTcpSocket* from = nullptr;
        QTcpSocket* to = nullptr;
        std::deque<Chunk> queue;
        qint64 queued = 0;
        double budget = 0;
        bool ended = false; // the source closed
    };
    struct Link
    {
        Lane lanes[2];
        bool closed = false;
    };

    void onNewConnection();
    void pump();
    void pumpLane(Link& link, int direction, double seconds);
    void closeLink(Link& link);
    bool stalled(int direction) const;

    QTcpServer* m_server;
    QHostAddress m_target;
    quint16 m_targetPort;
    QHostAddress m_source;
    std::vector<std::unique_ptr<Link>> m_links;
    Ms m_latency[2] = {Ms(0), Ms(0)};
    qint64 m_rate[2] = {0, 0};
    std::chrono::steady_clock::time_point m_stalledUntil[2];
    QTimer m_pump;
    QElapsedTimer m_clock;
    qint64 m_lastPump = 0;
};
