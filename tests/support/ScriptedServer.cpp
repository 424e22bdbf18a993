#include "support/ScriptedServer.h"

#include <algorithm>

#include <QTest>

ScriptedServer::ScriptedServer()
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("scripted server cannot listen: %s", qPrintable(m_server.errorString()));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto* reader = new vantrell::LineReader();
            connect(socket, &QObject::destroyed, [reader] { delete reader; });
            m_clients.append({socket, reader});
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, reader] {
                const QByteArray bytes = socket->readAll();
                reader->feed(std::string_view(bytes.constData(), bytes.size()));
                while (auto line = reader->nextLine()) {
                    const QString text = QString::fromStdString(*line);
                    if (text == "ClientRequestsRemotePort") {
                        auto client =
                            std::find_if(m_clients.begin(), m_clients.end(),
                                         [&](const Client& c) { return c.socket == socket; });
                        if (client->askedPort) {
                            socket->write("PingPong\r\n");
                            continue;
                        }
                        client->askedPort = true;
                    }
                    m_lines << text;
                    emit lineReceived(text);
                }
            });
        }
    });
}

void ScriptedServer::sendRaw(const QByteArray& bytes)
{
    QVERIFY2(!m_clients.isEmpty(), "no client connected");
    m_clients.last().socket->write(bytes);
}

void ScriptedServer::sendLine(const QString& line)
{
    sendRaw(line.toLatin1() + "\r\n");
}

void ScriptedServer::closeClients()
{
    for (const Client& client : m_clients)
        client.socket->disconnectFromHost();
}
