#pragma once

#include "core/lobby/LobbyConnection.h"
#include "core/roomhost/MainServerLink.h"

namespace vantrell::core {

// Lets a room host send on the lobby's connection to the main server. The connection must
// outlive the room host.
class LobbyMainServerLink : public MainServerLink
{
public:
    explicit LobbyMainServerLink(LobbyConnection& connection) : m_connection(connection) {}

    bool isMainServerOpen() const override { return m_connection.isOpen(); }
    void sendToMainServer(const lobby::ClientMessage& message) override
    {
        m_connection.send(message);
    }

private:
    LobbyConnection& m_connection;
};

} // namespace vantrell::core
