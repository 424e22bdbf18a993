#include "support/FaultRelay.h"

#include <algorithm>
#include <sys/socket.h>

#include <QTcpServer>
#include <QTcpSocket>

namespace {
using Clock = std::chrono::steady_clock;
// What one direction holds before it stops reading, so a stalled or slow link pushes back
// on the sender through TCP as a real one does.
constexpr qint64 kHeldBytes = 256 * 1024;
constexpr int kPumpMs = 5;

// A small kernel buffer on the relay's own sockets, so bytes wait in the sender's queue as
// on a slow path rather than pile up unseen inside the relay.
void limitReceiveBuffer(QTcpSocket* socket)
{
    const int bytes = 64 * 1024;
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &bytes,
                 sizeof bytes);
}
} // namespace

FaultRelay::FaultRelay(const QHostAddress& target, quint16 targetPort, QObject* parent)
    : FaultRelay(target, targetPort, QHostAddress::LocalHost, 0, parent)
{
}

FaultRelay::FaultRelay(const QHostAddress& target, quint16 targetPort,
                       const QHostAddress& listenAddress, quint16 listenPort, QObject* parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_target(target), m_targetPort(targetPort)
{
    connect(m_server, &QTcpServer::newConnection, this, &FaultRelay::onNewConnection);
    m_server->listen(listenAddress, listenPort);
    m_pump.setInterval(kPumpMs);
    connect(&m_pump, &QTimer::timeout, this, &FaultRelay::pump);
    m_pump.start();
    m_clock.start();
}

FaultRelay::~FaultRelay()
{
    for (auto& link : m_links)
        closeLink(*link);
}

bool FaultRelay::isListening() const
{
    return m_server->isListening();
}

quint16 FaultRelay::port() const
{
    return m_server->serverPort();
}

void FaultRelay::stall(Direction direction, Ms duration)
{
    m_stalledUntil[direction] = Clock::now() + duration;
}

void FaultRelay::cut(Ms duration)
{
    stall(ToTarget, duration);
    stall(FromTarget, duration);
}

void FaultRelay::heal()
{
    m_stalledUntil[ToTarget] = m_stalledUntil[FromTarget] = {};
}

bool FaultRelay::stalled(int direction) const
{
    return Clock::now() < m_stalledUntil[direction];
}

void FaultRelay::closeDirection(Direction direction)
{
    for (auto& link : m_links) {
        QTcpSocket* to = link->lanes[direction].to;
        if (!link->closed && to->socketDescriptor() >= 0)
            ::shutdown(static_cast<int>(to->socketDescriptor()), SHUT_WR);
    }
}

int FaultRelay::openLinks() const
{
    return static_cast<int>(std::count_if(m_links.begin(), m_links.end(),
                                          [](const auto& link) { return !link->closed; }));
}

void FaultRelay::onNewConnection()
{
    while (QTcpSocket* client = m_server->nextPendingConnection()) {
        auto link = std::make_unique<Link>();
        auto* target = new QTcpSocket(this);
        client->setParent(this);
        limitReceiveBuffer(client);
        connect(target, &QTcpSocket::connected, this, [target] { limitReceiveBuffer(target); });
        for (QTcpSocket* socket : {client, target}) {
            socket->setReadBufferSize(64 * 1024);
            const int direction = socket == client ? ToTarget : FromTarget;
            Lane* lane = &link->lanes[direction];
            connect(socket, &QTcpSocket::disconnected, this, [lane] { lane->ended = true; });
            connect(socket, &QTcpSocket::errorOccurred, this, [lane] { lane->ended = true; });
        }
        link->lanes[ToTarget].from = link->lanes[FromTarget].to = client;
        link->lanes[FromTarget].from = link->lanes[ToTarget].to = target;
        if (!m_source.isNull())
            target->bind(m_source);
        target->connectToHost(m_target, m_targetPort);
        m_links.push_back(std::move(link));
    }
}

void FaultRelay::pump()
{
    const qint64 now = m_clock.elapsed();
    const double seconds = static_cast<double>(now - m_lastPump) / 1000.0;
    m_lastPump = now;
    for (auto& link : m_links) {
        if (link->closed)
            continue;
        pumpLane(*link, ToTarget, seconds);
        pumpLane(*link, FromTarget, seconds);
        for (int d : {ToTarget, FromTarget}) {
            Lane& lane = link->lanes[d];
            // The source is gone and everything it sent is through: the other end learns.
            if (lane.ended && lane.queue.empty() && !stalled(d)) {
                closeLink(*link);
                break;
            }
        }
    }
}

void FaultRelay::pumpLane(Link& link, int direction, double seconds)
{
    Lane& lane = link.lanes[direction];
    const auto now = Clock::now();
    const qint64 rate = m_rate[direction];
    if (rate > 0) // at most a tenth of a second's worth saved up
        lane.budget = std::min(lane.budget + rate * seconds, std::max(rate / 10.0, 1.0));
    qint64 room = kHeldBytes - lane.queued;
    if (rate > 0)
        room = std::min(room, static_cast<qint64>(lane.budget));
    if (room > 0 && lane.from->bytesAvailable() > 0) {
        QByteArray bytes = lane.from->read(room);
        lane.queued += bytes.size();
        if (rate > 0)
            lane.budget -= static_cast<double>(bytes.size());
        lane.queue.push_back({std::move(bytes), now + m_latency[direction]});
    }
    if (stalled(direction) || lane.to->state() != QAbstractSocket::ConnectedState)
        return;
    while (!lane.queue.empty() && lane.queue.front().due <= now &&
           lane.to->bytesToWrite() < kHeldBytes) {
        lane.to->write(lane.queue.front().bytes);
        lane.queued -= lane.queue.front().bytes.size();
        lane.queue.pop_front();
    }
}

void FaultRelay::closeLink(Link& link)
{
    if (link.closed)
        return;
    link.closed = true;
    for (Lane& lane : link.lanes) {
        lane.from->disconnect(this);
        lane.from->disconnectFromHost(); // what is written still goes out
        lane.from->deleteLater();
    }
}
