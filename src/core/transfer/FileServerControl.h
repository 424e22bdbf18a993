#pragma once

#include <QtCore/qglobal.h>

namespace vantrell::core {

// What the room host needs of the usermap file server: it is started when a room opens and
// stopped when the room closes. The file server itself serves the room's members their
// missing usermaps on its own port.
class FileServerControl
{
public:
    virtual ~FileServerControl() = default;

    // The port it listens on when started, as the room log names it.
    virtual quint16 configuredPort() const = 0;
    virtual bool isListening() const = 0;
    // Starts listening on configuredPort(); false when the port cannot be used.
    virtual bool start() = 0;
    // Stops listening and closes every open file connection.
    virtual void stop() = 0;
};

} // namespace vantrell::core
