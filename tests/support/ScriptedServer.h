#pragma once

#include "base/common/LineFraming.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A stand-in main server on loopback for lines the real one does not send on demand:
// it records every line each client sends and sends whatever the test scripts. As a live
// room host would, it answers a room member's repeated "ClientRequestsRemotePort" (the
// member's probe of a silent link) with a "PingPong", and leaves those out of lines().
class ScriptedServer : public QObject
{
    Q_OBJECT

public:
    ScriptedServer();

    quint16 port() const { return m_server.serverPort(); }
    int connectionCount() const { return static_cast<int>(m_clients.size()); }

    // Lines received from every client, in arrival order.
    const QStringList& lines() const { return m_lines; }
    // Sends raw bytes (the test adds the line ends) to the newest client.
    void sendRaw(const QByteArray& bytes);
    // Sends one line with CR LF to the newest client.
    void sendLine(const QString& line);
    void closeClients();

signals:
    void lineReceived(const QString& line);

private:
    struct Client
    {
        QTcpSocket* socket;
        vantrell::LineReader* reader;
        bool askedPort = false;
    };

    QTcpServer m_server;
    QList<Client> m_clients;
    QStringList m_lines;
};
