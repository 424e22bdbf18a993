#include "core/roomhost/RoomPinger.h"

#include "base/roomhost/PingMath.h"
#include "base/roomhost/RoomCodec.h"

namespace vantrell::core {

using namespace std::chrono_literals;

namespace {
constexpr auto kEchoWait = 5000ms;
// A member that reads but never answers would have a probe added every round for as long
// as it stays; past this many the oldest are forgotten.
constexpr std::size_t kMaxOutstandingProbes = 16;

void addProbe(std::deque<std::optional<Timing::Clock::time_point>>& probes,
              std::optional<Timing::Clock::time_point> start)
{
    probes.push_back(start);
    if (probes.size() > kMaxOutstandingProbes)
        probes.pop_front();
}
} // namespace

RoomPinger::RoomPinger(const Timing& timing, PingedRoom& room, IcmpMethod method)
    : m_timing(timing), m_room(room), m_icmp(method)
{
    m_timing.setInterval(m_timer, 10000ms);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_room.pingTargets().empty())
            HostPingClients();
    });
    connect(&m_icmp, &IcmpPinger::echoFinished, this, &RoomPinger::onEcho);
}

RoomPinger::~RoomPinger() = default;

void RoomPinger::start()
{
    m_timer.start();
}

void RoomPinger::stop()
{
    m_timer.stop();
    m_round.clear();
    m_roundRunning = false;
    m_pendingEcho = 0;
    m_probes.clear();
}

void RoomPinger::HostPingClients()
{
    if (m_roundRunning)
        return;
    m_round = m_room.pingTargets();
    m_next = 0;
    m_roundRunning = true;
    pingNext();
}

void RoomPinger::pingNext()
{
    if (m_next >= m_round.size()) {
        m_roundRunning = false;
        m_round.clear();
        emit roundFinished();
        return;
    }
    m_pendingEcho = m_icmp.ping(m_round[m_next].address, m_timing.interval(kEchoWait));
}

void RoomPinger::onEcho(quint64 id, bool answered, qint64 roundTripMs)
{
    if (!m_roundRunning || id != m_pendingEcho)
        return;
    const PingTarget target = m_round[m_next++];
    // An echo that got no answer reports the whole wait.
    const auto t = answered ? roundTripMs : static_cast<qint64>(kEchoWait.count());
    const auto outcome = roomhost::echoOutcome(t);
    switch (outcome.kind) {
    case roomhost::EchoOutcome::Kind::Show:
        m_room.showPing(target, outcome.text);
        break;
    case roomhost::EchoOutcome::Kind::ProbeByTcp:
        HostPingClientsByTCP(target.address, target.port);
        break;
    case roomhost::EchoOutcome::Kind::Unchanged:
        break;
    }
    pingNext();
}

void RoomPinger::HostPingClientsByTCP(const QString& address, quint16 port)
{
    const auto line =
        roomhost::encodeHostMessage(roomhost::TCPPing{QString::number(port).toStdString()});
    const auto start = m_timing.now();
    if (m_room.sendToMember({address, port}, line))
        addProbe(m_probes[{address, port}], start);
}

void RoomPinger::silenceProbeSent(const QString& address, quint16 port)
{
    addProbe(m_probes[{address, port}], std::nullopt);
}

void RoomPinger::TCPPingRecieved(const QString& address, quint16 port,
                                 const std::string& echoedPort, Timing::Clock::time_point arrived)
{
    // Only the member's own probe, echoed unchanged, is measured; an echo nobody asked for
    // has nothing to be measured from.
    if (echoedPort != QString::number(port).toStdString())
        return;
    const auto probes = m_probes.find({address, port});
    if (probes == m_probes.end())
        return;
    const auto start = probes->second.front();
    probes->second.pop_front();
    if (probes->second.empty())
        m_probes.erase(probes);
    if (!start)
        return; // the answer to a link check
    const auto elapsed = m_timing.designedElapsed(*start, arrived);
    const auto ms = roomhost::tcpPingMs(roomhost::TCPPingRoundup(elapsed.count()));
    m_room.showPing({address, port}, roomhost::pingText(ms));
}

void RoomPinger::forgetMember(const QString& address, quint16 port)
{
    m_probes.erase({address, port});
}

} // namespace vantrell::core
