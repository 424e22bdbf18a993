#include "support/RoomMemberScript.h"

#include <QHostAddress>

RoomMemberScript::RoomMemberScript(QObject* parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &RoomMemberScript::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { m_closed = true; });
    // A reset connection may report only the error.
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket.state() == QAbstractSocket::UnconnectedState ||
            m_socket.error() == QAbstractSocket::RemoteHostClosedError)
            m_closed = true;
    });
}

bool RoomMemberScript::connectTo(quint16 port)
{
    m_clock.start();
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    if (!m_socket.waitForConnected(5000))
        return false;
    m_localPort = m_socket.localPort();
    return true;
}

void RoomMemberScript::send(const QString& line)
{
    const std::string wire = vantrell::encodeLine(line.toStdString());
    m_socket.write(wire.data(), static_cast<qint64>(wire.size()));
    m_socket.flush();
}

void RoomMemberScript::disconnectNow()
{
    m_socket.disconnectFromHost();
}

QStringList RoomMemberScript::linesOf(const QString& keyword) const
{
    QStringList out;
    for (const auto& line : m_lines) {
        if (line.section(QLatin1Char('~'), 0, 0) == keyword)
            out << line;
    }
    return out;
}

qint64 RoomMemberScript::arrivalOf(const QString& keyword, int n) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].section(QLatin1Char('~'), 0, 0) == keyword && n-- == 0)
            return m_arrivals[i];
    }
    return -1;
}

void RoomMemberScript::onReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    m_reader.feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    while (auto line = m_reader.nextLine()) {
        const auto text = QString::fromStdString(*line);
        m_lines << text;
        m_arrivals << m_clock.elapsed();
        if (m_echoPings && text.startsWith(QLatin1String("TCPPing~")))
            send(text);
    }
}
