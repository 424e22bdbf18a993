#pragma once

#include "core/common/IcmpEcho.h"
#include "core/common/Timing.h"
#include "core/roomhost/PingedRoom.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

namespace vantrell::core {

// Fills the Ping column of a room's member list. Every 10 s, while the room has members,
// each member gets an ICMP echo in turn (off the window thread); a member whose echo goes
// unanswered for a second or more is measured over its room connection instead, with a
// "TCPPing" line it sends straight back. It reaches the room only through PingedRoom.
class RoomPinger : public QObject
{
    Q_OBJECT

public:
    RoomPinger(const Timing& timing, PingedRoom& room, IcmpMethod method);
    ~RoomPinger() override;

    void start();
    void stop();

    // One round over the member rows, one echo after another. A round still running when
    // the next is due lets that one pass.
    void HostPingClients();
    bool roundRunning() const { return m_roundRunning; }

    // Sends "TCPPing~<port>" to that member and starts its probe clock.
    void HostPingClientsByTCP(const QString& address, quint16 port);
    // The connection (address, port) was sent the same "TCPPing" line to check a silent
    // link: its answer measures nothing.
    void silenceProbeSent(const QString& address, quint16 port);
    // A "TCPPing" line came back from the connection (address, port) carrying
    // echoedPort, at the moment `arrived`.
    void TCPPingRecieved(const QString& address, quint16 port, const std::string& echoedPort,
                         Timing::Clock::time_point arrived);
    // Drops a probe that is still waiting for a member that has left.
    void forgetMember(const QString& address, quint16 port);

signals:
    void roundFinished();

private:
    void pingNext();
    void onEcho(quint64 id, bool answered, qint64 roundTripMs);

    const Timing& m_timing;
    PingedRoom& m_room;
    IcmpPinger m_icmp;
    QTimer m_timer; // Timer4pinger
    std::vector<PingTarget> m_round;
    std::size_t m_next = 0;
    quint64 m_pendingEcho = 0;
    bool m_roundRunning = false;
    // Each member's outstanding probes, oldest first: the start of a measuring one, nothing
    // for a link check. The member answers them in the order sent, so each answer belongs
    // to the oldest, and every probe is measured from its own start.
    using Probes = std::deque<std::optional<Timing::Clock::time_point>>;
    std::map<std::pair<QString, quint16>, Probes> m_probes;
};

} // namespace vantrell::core
