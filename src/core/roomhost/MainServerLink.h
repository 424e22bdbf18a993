#pragma once

#include "base/lobby/MainServerCodec.h"

namespace vantrell::core {

// The room host's narrow view of the lobby's connection to the main server: whether it is
// open, and a way to send one line on it. LobbyMainServerLink implements it over the lobby
// connection; the room host never owns or opens that connection.
class MainServerLink
{
public:
    virtual ~MainServerLink() = default;

    virtual bool isMainServerOpen() const = 0;
    // Sends one line; dropped silently when the connection is not open.
    virtual void sendToMainServer(const lobby::ClientMessage& message) = 0;
};

} // namespace vantrell::core
