#pragma once

#include "base/lobby/RoomAddress.h"
#include "core/common/Timing.h"
#include "core/roomhost/RoomHost.h"
#include "support/RoomMemberScript.h"

#include <memory>

#include <QSignalSpy>
#include <QStringList>

// What the room, launch and transfer tests share: one speed-up for the program's fixed
// waits, one room configuration, a room on loopback that scripted members join, and the
// texts a spy caught.

// The fixed waits (5 s connection check, 10 s ping round...) run this many times faster.
inline constexpr double kSpeedUp = 20.0;

// A room listening on loopback on a port the system picks, with ICMP off (replies come over
// the room connection) and a host row of fixed values.
vantrell::core::RoomHostConfig
loopbackRoomConfig(int places = 8, vantrell::SourcePort kind = vantrell::SourcePort::HDuke);

// The first argument of every signal the spy caught, as text: log lines, message boxes.
QStringList texts(const QSignalSpy& spy);

// A TCP port that nothing on this machine listens on right now, on any address.
quint16 freePort();

// The "AddUserToList" line of a member on 127.0.0.1 with the default game port.
QString addUser(const QString& nickname);

// A member that connects to the room, sends its "AddUserToList" line and asks for its remote
// port, and waits until the host lists it; when ready, it also sends "ClientSentReadyMessage"
// and waits for the host to mark it. Null when any step fails.
std::unique_ptr<RoomMemberScript> joinRoom(vantrell::core::RoomHost& host,
                                           const QString& announcement, bool ready = false);

// The clock of a LoopbackRoom, made before the room that reads it.
struct RoomClock
{
    explicit RoomClock(double speedUp) : timing(speedUp) {}
    vantrell::core::Timing timing;
};

// A room host on loopback with a sped-up clock of its own, listening from the start (check
// isOpen()). Tests use it as the room host it is; members join it as plain sockets.
class LoopbackRoom : public RoomClock, public vantrell::core::RoomHost
{
public:
    explicit LoopbackRoom(const vantrell::core::RoomHostConfig& config = loopbackRoomConfig(),
                          double speedUp = kSpeedUp,
                          vantrell::core::MainServerLink* mainServer = nullptr);

    bool isOpen() const { return m_open; }
    // Where a member's room client connects.
    vantrell::lobby::RoomAddress address(const std::string& sourcePort = "hDuke") const;
    // joinRoom() with addUser(nickname).
    std::unique_ptr<RoomMemberScript> join(const QString& nickname, bool ready = false)
    {
        return joinRoom(*this, addUser(nickname), ready);
    }

    const vantrell::core::RoomHostConfig config;

private:
    bool m_open = false;
};
