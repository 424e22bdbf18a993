#pragma once

namespace vantrell::core {

// What the room host needs of the usermap file server: it is started when a room opens and
// stopped when the room closes. The file server itself serves the room's members their
// missing usermaps on its own port.
class FileServerControl
{
public:
    static constexpr unsigned short kPort = 27020;

    virtual ~FileServerControl() = default;

    virtual bool isListening() const = 0;
    // Starts listening on kPort; false when the port cannot be used.
    virtual bool start() = 0;
    // Stops listening and closes every open file connection.
    virtual void stop() = 0;
};

} // namespace vantrell::core
