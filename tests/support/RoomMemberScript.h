#pragma once

#include "base/common/LineFraming.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>

// A room member made of a plain socket: it connects to a room port, sends the lines a test
// tells it to, and records every line the host sends with the time it arrived.
class RoomMemberScript : public QObject
{
    Q_OBJECT

public:
    explicit RoomMemberScript(QObject* parent = nullptr);

    // Blocks until the connection is made (the host's event loop does not run meanwhile).
    bool connectTo(quint16 port);
    void send(const QString& line);
    void disconnectNow();

    quint16 localPort() const { return m_localPort; }
    bool isClosed() const { return m_closed; }
    // Echo every "TCPPing" line straight back, as a member program does.
    void setEchoPings(bool echo) { m_echoPings = echo; }

    const QStringList& lines() const { return m_lines; }
    // Lines whose keyword (field 0) is `keyword`, in arrival order.
    QStringList linesOf(const QString& keyword) const;
    // Milliseconds from connectTo() to the arrival of the n-th line with that keyword.
    qint64 arrivalOf(const QString& keyword, int n = 0) const;

private:
    void onReadyRead();

    QTcpSocket m_socket;
    vantrell::LineReader m_reader;
    QStringList m_lines;
    QList<qint64> m_arrivals;
    QElapsedTimer m_clock;
    quint16 m_localPort = 0;
    bool m_closed = false;
    bool m_echoPings = false;
};
