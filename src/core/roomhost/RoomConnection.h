#pragma once

#include "base/common/LineFraming.h"

#include <chrono>
#include <string>
#include <string_view>

#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

namespace vantrell::core {

class Timing;

// One member's connection to the room server. It owns the socket, cuts the byte stream
// into lines (a line past the length limit closes the connection), and writes each line
// whole, so lines to one member never interleave. The peer's address and port are taken
// when the connection opens and stay readable after it closes: the port is the member's
// identity in the room.
class RoomConnection : public QObject
{
    Q_OBJECT

public:
    // Takes over the socket (reparents it).
    RoomConnection(QTcpSocket* socket, QObject* parent);
    ~RoomConnection() override;

    const QString& remoteAddress() const { return m_remoteAddress; }
    quint16 remotePort() const { return m_remotePort; }
    QString remotePortText() const { return QString::number(m_remotePort); }

    // Writes one line (line end added). Dropped when the connection is not open or closing.
    void sendLine(std::string_view text);
    // Writes what is queued, then closes. closed() follows once the socket is down.
    void close();
    // Closes at once, discarding anything unwritten.
    void abort();
    bool isClosing() const { return m_closing; }

    // While held, received lines wait in the reader and are handed out on release, in order.
    void holdLines();
    void releaseLines();

    // A link that goes silent without closing (a router gone, Wi-Fi out of range) would
    // leave both ends waiting for ever: TCP alone only notices when it has data to resend,
    // and then only after many minutes. So each end watches its own incoming bytes: after
    // 5 s of silence it sends the probe line, which the other end answers in any program
    // version, and after 25 s of silence it gives the connection up (closed() follows).
    // Keepalive on the socket would not do: whatever sits between the two ends (a proxy,
    // a relay) answers it for them. timing must outlive the connection.
    void watchSilence(const Timing& timing, std::string probeLine);

signals:
    void lineReceived(const std::string& line);
    void closed();
    // The silence watch sent its probe line; the peer's answer will come back like any line.
    void probeSent();

private:
    void onReadyRead();
    void deliverLines();
    void onDisconnected();
    void checkSilence();

    QTcpSocket* m_socket;
    LineReader m_reader;
    QString m_remoteAddress;
    quint16 m_remotePort = 0;
    int m_holds = 0;
    bool m_closing = false;
    bool m_closedEmitted = false;
    bool m_delivering = false;
    const Timing* m_timing = nullptr;
    std::string m_probeLine;
    QTimer m_silenceCheck;
    std::chrono::steady_clock::time_point m_lastHeard;
};

} // namespace vantrell::core
