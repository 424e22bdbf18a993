#include "Invariants.h"

#include "Faults.h"
#include "Player.h"
#include "base/roomhost/RoomSettings.h"

#include <algorithm>

#include <QFile>

namespace {

// A change must have settled this long (designed seconds) before a room list has to show
// it: the list answers a request that crossed the change on another connection.
constexpr double kListSettle = 8.0;
// A room's new player count reaches the main server with the refresh that follows the change
// by 2 s and advertises again 5 s after that.
constexpr double kCountRefresh = 7.0;
// Both ends of a room link give the other up after 25 s of silence, checked every 2.5 s.
constexpr double kLivenessLimit = 45.0;
// The launch's broadcasts take 2 s; a member's game starts when the last one arrives.
constexpr double kLaunchDue = 15.0;
// The event loop counts as held up when a 100 ms timer comes this late (real ms).
constexpr qint64 kHeldUpMs = 500;

} // namespace

QString tcpEndpoint(const QString& hex)
{
    const quint32 raw = hex.section(':', 0, 0).toUInt(nullptr, 16);
    const QString address = QStringLiteral("%1.%2.%3.%4")
                                .arg(raw & 0xff)
                                .arg((raw >> 8) & 0xff)
                                .arg((raw >> 16) & 0xff)
                                .arg(raw >> 24);
    return address + ":" + QString::number(hex.section(':', 1, 1).toUInt(nullptr, 16));
}

Invariants::Invariants(const SimParams& params, const SimClock& clock, Ledger& ledger,
                       std::vector<Player*> players, const Faults& faults)
    : m_params(params), m_clock(clock), m_ledger(ledger), m_players(std::move(players)),
      m_faults(faults)
{
    m_tick.setInterval(m_clock.real(1.0));
    connect(&m_tick, &QTimer::timeout, this, [this] { tick(); });
    m_lagProbe.setInterval(100);
    connect(&m_lagProbe, &QTimer::timeout, this, [this] {
        if (m_lagClock.restart() > 100 + kHeldUpMs)
            m_heldUpAt = m_clock.now();
    });
}

void Invariants::start()
{
    m_tick.start();
    m_lagClock.start();
    m_lagProbe.start();
}

void Invariants::stop()
{
    m_tick.stop();
    m_lagProbe.stop();
}

double Invariants::quietFor(int a, int b) const
{
    const double now = m_clock.now();
    const double since =
        std::max({m_faults.quietSince(a), m_faults.quietSince(b), m_faults.serverQuietSince()});
    return std::max(0.0, now - since);
}

void Invariants::tick()
{
    checkMemberRows();
    checkFileServerSlots();
    checkLaunches();
}

void Invariants::roomsList(Player& viewer, const vantrell::lobby::NewRoomsListUpdate& list)
{
    const double now = m_clock.now();
    std::map<std::string, std::string> listed; // address -> players
    for (const auto& record : list.rooms)
        listed[record.address] = record.players;
    for (Player* host : m_players) {
        if (!viewer.lobbyOpen() || host == &viewer)
            continue;
        const double settled =
            std::min(quietFor(viewer.index(), host->index()),
                     now - std::max({host->roomListingSince(), viewer.lobbyOpenSince(),
                                     host->lobbyOpen() ? host->lobbyOpenSince() : 0.0}));
        if (settled < kListSettle)
            continue;
        const bool shouldBe = host->room() && host->room()->isAdvertised() && host->lobbyOpen();
        const bool is = listed.count(host->address().toStdString()) > 0;
        m_ledger.check();
        if (shouldBe && !is)
            m_ledger.breach(QStringLiteral("advertised room listed"),
                            QStringLiteral("the room of %1, advertised for %2 s, is missing from "
                                           "the list %3 received")
                                .arg(host->nickname())
                                .arg(now - host->roomListingSince(), 0, 'f', 1)
                                .arg(viewer.nickname()),
                            {host->nickname(), viewer.nickname()});
        else if (shouldBe && now - host->membersChangedAt() >= kCountRefresh + kListSettle &&
                 now - host->roomListingSince() >= kListSettle) {
            const std::string players = vantrell::roomhost::playersText(
                host->room()->members().size(), host->room()->places());
            m_ledger.check();
            if (listed[host->address().toStdString()] != players)
                m_ledger.breach(
                    QStringLiteral("advertised room listed"),
                    QStringLiteral("the room of %1 has %2 players, the list %3 "
                                   "received says %4")
                        .arg(host->nickname(), QString::fromStdString(players), viewer.nickname(),
                             QString::fromStdString(listed[host->address().toStdString()])),
                    {host->nickname(), viewer.nickname()});
        } else if (!shouldBe && is)
            m_ledger.breach(
                QStringLiteral("closed room not listed"),
                QStringLiteral("the room of %1, %2 for %3 s, is in the list %4 received")
                    .arg(host->nickname(),
                         host->room() ? QStringLiteral("withdrawn") : QStringLiteral("closed"))
                    .arg(now - host->roomListingSince(), 0, 'f', 1)
                    .arg(viewer.nickname()),
                {host->nickname(), viewer.nickname()});
    }
}

void Invariants::checkMemberRows()
{
    const double now = m_clock.now();
    std::set<std::pair<int, int>> mismatched;
    for (Player* host : m_players) {
        std::set<std::string> rows;
        if (host->room()) {
            const auto& members = host->room()->members();
            for (std::size_t i = 1; i < members.size(); ++i)
                rows.insert(members[i].nickname);
        }
        for (Player* member : m_players) {
            if (member == host)
                continue;
            const bool believes = member->believedHost() == host->index();
            const bool listedAtHost = rows.count(member->nickname().toStdString()) > 0;
            if (believes != listedAtHost)
                mismatched.insert({host->index(), member->index()});
        }
    }
    for (auto it = m_rowMismatch.begin(); it != m_rowMismatch.end();) {
        if (!mismatched.count(it->first)) {
            m_rowReported.erase(it->first);
            it = m_rowMismatch.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& pair : mismatched) {
        const double since = m_rowMismatch.emplace(pair, now).first->second;
        m_ledger.check();
        if (now - since > kLivenessLimit && m_rowReported.insert(pair).second) {
            Player& host = *m_players[static_cast<std::size_t>(pair.first)];
            Player& member = *m_players[static_cast<std::size_t>(pair.second)];
            const bool believes = member.believedHost() == host.index();
            m_ledger.breach(QStringLiteral("member rows match the members"),
                            believes ? QStringLiteral("%1 believes it is in the room of %2, which "
                                                      "has had no row for it for %3 s")
                                           .arg(member.nickname(), host.nickname())
                                           .arg(now - since, 0, 'f', 1)
                                     : QStringLiteral("the room of %2 has kept a row for %1, who "
                                                      "is not in it, for %3 s")
                                           .arg(member.nickname(), host.nickname())
                                           .arg(now - since, 0, 'f', 1),
                            {host.nickname(), member.nickname()});
        }
    }
}

void Invariants::checkFileServerSlots()
{
    const double now = m_clock.now();
    const double limit = 30.0 + 60.0 + static_cast<double>(m_largestUsermap) / 4096.0 + 30.0;
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    std::set<QString> seen;
    table.readLine(); // the heading
    while (!table.atEnd()) {
        const QStringList fields =
            QString::fromLatin1(table.readLine()).split(' ', Qt::SkipEmptyParts);
        if (fields.size() < 4)
            continue;
        const QString local = tcpEndpoint(fields[1]);
        const QString state = fields[3];
        // A slot is held while the file server's end is open: established, or closed by the
        // member and not yet by the server.
        if (!local.startsWith(QLatin1String("127.0.0.")) ||
            !local.endsWith(":" + QString::number(m_params.fileServerPort)) ||
            (state != QLatin1String("01") && state != QLatin1String("08")))
            continue;
        // Only the players' own addresses hold file servers.
        const int host = local.section('.', 3).section(':', 0, 0).toInt() - 10;
        if (host < 0 || host >= static_cast<int>(m_players.size()))
            continue;
        const QString key = local + " " + tcpEndpoint(fields[2]);
        seen.insert(key);
        const double since = m_slots.emplace(key, now).first->second;
        m_ledger.check();
        if (now - since > limit && m_slotReported.insert(key).second) {
            const int host = local.section('.', 3).section(':', 0, 0).toInt() - 10;
            if (host < 0)
                continue; // not a player's address
            m_ledger.breach(QStringLiteral("no file-server slot past its deadline"),
                            QStringLiteral("the file-server connection %1 has been held for %2 s")
                                .arg(key)
                                .arg(now - since, 0, 'f', 1),
                            {nicknameOf(host)});
        }
    }
    for (auto it = m_slots.begin(); it != m_slots.end();)
        it = seen.count(it->first) ? std::next(it) : m_slots.erase(it);
}

void Invariants::launched(Player& host, std::set<int> ready)
{
    m_launches[host.index()] = {m_clock.now(), std::move(ready), {}, {}, false};
}

void Invariants::gameStarted(Player& member, int host)
{
    m_ledger.check();
    auto it = m_launches.find(host);
    // A disturbed link may bring the word late, but only from the host's last launch and
    // only once.
    const bool expected = it != m_launches.end() && it->second.ready.count(member.index()) &&
                          !it->second.started.count(member.index());
    if (!expected) {
        m_ledger.breach(QStringLiteral("a launch starts only ready members"),
                        QStringLiteral("%1 was told to start the game of %2 without being ready "
                                       "at its launch")
                            .arg(member.nickname(), nicknameOf(host)),
                        {member.nickname(), nicknameOf(host)});
        return;
    }
    it->second.started.insert(member.index());
}

void Invariants::launchRefused(Player& member, int host)
{
    auto it = m_launches.find(host);
    if (it != m_launches.end())
        it->second.refused.insert(member.index());
}

void Invariants::checkLaunches()
{
    const double now = m_clock.now();
    for (auto& [hostIndex, launch] : m_launches) {
        if (launch.checked || now - launch.at < kLaunchDue)
            continue;
        launch.checked = true;
        for (int member : launch.ready) {
            Player& player = *m_players[static_cast<std::size_t>(member)];
            // One that left, or whose link was disturbed, may rightly miss the launch.
            if (launch.started.count(member) || launch.refused.count(member) ||
                player.believedHost() != hostIndex || player.believedSince() > launch.at ||
                quietFor(member, hostIndex) < now - launch.at)
                continue;
            m_ledger.check();
            m_ledger.breach(QStringLiteral("a launch starts every ready member"),
                            QStringLiteral("%1 was ready in the room of %2 and its game did not "
                                           "start")
                                .arg(player.nickname(), nicknameOf(hostIndex)),
                            {player.nickname(), nicknameOf(hostIndex)});
        }
    }
}
