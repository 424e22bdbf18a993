#include "support/SilentListener.h"

bool SilentListener::open()
{
    m_server.setListenBacklogSize(0);
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        return false;
    // Before the event loop runs: the server never accepts.
    m_server.pauseAccepting();
    m_filler.connectToHost(QHostAddress::LocalHost, m_server.serverPort());
    return m_filler.waitForConnected(5000);
}
