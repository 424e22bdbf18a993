#include "core/roomhost/RoomConnection.h"

#include "core/common/Timing.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace vantrell::core {

using namespace std::chrono_literals;

namespace {
// A healthy link is never silent much past the probe's 5 s, so a break shorter than 10 s
// stays well inside the limit, and a lasting one is given up within 30 s of its start.
constexpr auto kSilenceCheckPeriod = 2500ms;
constexpr auto kSilenceBeforeProbe = 5000ms;
constexpr auto kSilenceLimit = 25000ms;
// What the socket takes in for us before we read it.
constexpr qint64 kReadBufferBytes = 64 * 1024;
// Output queued for a peer that does not read. Far more than a peer that reads ever has
// waiting (the longest line is 16 KiB); past it the connection is dropped rather than the
// output kept without end.
constexpr qint64 kMaxPendingOutput = 1024 * 1024;

QString plainAddress(const QHostAddress& address)
{
    // A dual-stack listener reports IPv4 peers as ::ffff:a.b.c.d; members and the launch
    // need the dotted form.
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}
} // namespace

RoomConnection::RoomConnection(QTcpSocket* socket, QObject* parent)
    : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    m_remoteAddress = plainAddress(m_socket->peerAddress());
    m_remotePort = m_socket->peerPort();
    m_socket->setReadBufferSize(kReadBufferBytes);
    connect(m_socket, &QTcpSocket::readyRead, this, &RoomConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &RoomConnection::onDisconnected);
}

RoomConnection::~RoomConnection()
{
    // Going away without the closed() signal: whoever deletes us knows.
    m_socket->disconnect(this);
    m_socket->abort();
}

void RoomConnection::sendLine(std::string_view text)
{
    if (m_closing || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    const std::string wire = encodeLine(text);
    if (m_socket->bytesToWrite() + static_cast<qint64>(wire.size()) > kMaxPendingOutput) {
        // Not from here: the caller may be walking the list of connections.
        m_closing = true;
        QMetaObject::invokeMethod(this, &RoomConnection::abort, Qt::QueuedConnection);
        return;
    }
    m_socket->write(wire.data(), static_cast<qint64>(wire.size()));
}

void RoomConnection::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
}

void RoomConnection::abort()
{
    m_closing = true;
    m_socket->abort();
    onDisconnected();
}

void RoomConnection::watchSilence(const Timing& timing, std::string probeLine)
{
    m_timing = &timing;
    m_probeLine = std::move(probeLine);
    m_lastHeard = timing.now();
    timing.setInterval(m_silenceCheck, kSilenceCheckPeriod);
    connect(&m_silenceCheck, &QTimer::timeout, this, &RoomConnection::checkSilence,
            Qt::UniqueConnection);
    m_silenceCheck.start();
}

void RoomConnection::checkSilence()
{
    if (m_closing) {
        m_silenceCheck.stop();
        return;
    }
    const auto silence = m_timing->designedElapsed(m_lastHeard, m_timing->now());
    if (silence >= kSilenceLimit)
        abort();
    else if (silence >= kSilenceBeforeProbe) {
        sendLine(m_probeLine);
        emit probeSent();
    }
}

void RoomConnection::holdLines()
{
    ++m_holds;
}

void RoomConnection::releaseLines()
{
    if (m_holds > 0)
        --m_holds;
    if (m_holds == 0)
        onReadyRead();
}

void RoomConnection::onReadyRead()
{
    // A handler may hold, close or send; a nested delivery would reorder lines.
    if (m_timing)
        m_lastHeard = m_timing->now();
    if (m_delivering)
        return;
    for (;;) {
        deliverLines();
        // Read on only once every whole line read so far is handled: while lines are held
        // the bytes wait in the socket, which stops reading when its buffer is full, so a
        // member that sends faster than the host handles its lines is slowed down by TCP
        // instead of piling up in the host's memory.
        if (m_holds > 0 || m_closing || m_socket->bytesAvailable() <= 0)
            return;
        const QByteArray bytes = m_socket->read(kReadBufferBytes);
        m_reader.feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    }
}

void RoomConnection::deliverLines()
{
    m_delivering = true;
    while (m_holds == 0 && !m_closing) {
        auto line = m_reader.nextLine();
        if (!line)
            break;
        emit lineReceived(*line);
    }
    m_delivering = false;
    if (m_reader.failed() && !m_closing) {
        // Too long a line: nothing sensible can follow on this stream.
        abort();
    }
}

void RoomConnection::onDisconnected()
{
    m_closing = true;
    m_silenceCheck.stop();
    if (m_closedEmitted)
        return;
    m_closedEmitted = true;
    emit closed();
}

} // namespace vantrell::core
