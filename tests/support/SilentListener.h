#pragma once

#include <QTcpServer>
#include <QTcpSocket>

// A loopback port that drops every connection attempt without a word, as a firewall may: its
// queue of connections to accept is full (one it never accepts), so no attempt is answered.
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

    QTcpServer server;
    QTcpSocket filler;
};
