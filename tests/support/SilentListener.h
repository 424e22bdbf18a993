#pragma once

#include <QTcpServer>
#include <QTcpSocket>

// A loopback port that drops every connection attempt without a word, as a firewall may: its
// queue of connections waiting to be accepted is full (one it never accepts), so the system
// answers no further attempt. A closed port would refuse at once, a listening one would answer.
struct SilentListener
{
    bool open()
    {
        server.setListenBacklogSize(0);
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        server.pauseAccepting(); // before the event loop can accept
        filler.connectToHost(QHostAddress::LocalHost, server.serverPort());
        return filler.waitForConnected(5000);
    }
    quint16 port() const { return server.serverPort(); }

    QTcpServer server;
    QTcpSocket filler;
};
