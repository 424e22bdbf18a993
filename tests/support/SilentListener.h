#pragma once

#include <QTcpServer>
#include <QTcpSocket>

// A loopback port that answers no connection attempt at all, as an address behind a firewall
// that drops them: a listener whose queue of connections waiting to be accepted is full (one
// connection it never accepts), so the system drops every further attempt without a word and
// the connecting end waits out its own limit. A port where nothing listens would refuse at
// once, and one that listens would complete the handshake.
class SilentListener
{
public:
    // False when the port could not be set up.
    bool open();
    quint16 port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
    QTcpSocket m_filler;
};
