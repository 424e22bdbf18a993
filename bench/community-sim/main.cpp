// A community in a box: one real main server and many players on loopback, each with its own
// address, worked by seeded random scripts under the program's sped-up timing, with faults on
// links and on the main server, and what must hold checked while it runs.
//
//   vantrell-community-sim [--players N] [--seed S] [--minutes M] [--speed-up X] [--verbose]
//
// M is designed time (what the program's timers count); the run takes M / X real minutes and
// a few seconds to wind down. Without --seed the seed comes from the clock. Every broken
// invariant prints the seed, the designed time and the players involved, and the run exits
// with status 1; repeating the command with that seed repeats the script and the faults.
#include "Faults.h"
#include "Invariants.h"
#include "Player.h"
#include "support/RoomLab.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

void Ledger::breach(const QString& invariant, const QString& what, const QStringList& players)
{
    ++m_figures.broken;
    std::printf("BROKEN [%s] seed %llu, designed time %.1f s, players %s: %s\n",
                qPrintable(invariant), static_cast<unsigned long long>(m_params.seed),
                m_clock.now(), qPrintable(players.join(',')), qPrintable(what));
    std::fflush(stdout);
}

void Ledger::note(const QString& line) const
{
    std::printf("%8.1f  %s\n", m_clock.now(), qPrintable(line));
    std::fflush(stdout);
}

QByteArray usermapBytes(std::uint64_t seed, const QString& name)
{
    std::seed_seq sequence{seed, static_cast<std::uint64_t>(qHash(name))};
    std::mt19937 random(sequence);
    QByteArray bytes(16 * 1024 + static_cast<int>(random() % (240 * 1024)), Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

namespace {

constexpr long kMemorySlackKiB = 4096;

// The room and file-server ports are the same for every player, as in a real community. They
// are taken below the system's range for outgoing connections, so that no connection's own
// port ever looks like a file-server slot, and away from the program's defaults, which other
// tests of this machine use. The port stays held on an address no player uses, so that a
// simulator running beside this one cannot take it too.
quint16 holdFixedPort(QTcpServer& hold, quint16 from)
{
    for (int port = from; port < 32000; ++port) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::AnyIPv4, static_cast<quint16>(port)))
            continue;
        probe.close();
        if (hold.listen(QHostAddress(QStringLiteral("127.0.0.2")), static_cast<quint16>(port)))
            return static_cast<quint16>(port);
    }
    qFatal("no free port");
}

// Sockets and files the process holds open. Qt's own event descriptors and the pipes of
// the server process come and go with pooled threads and restarts, not with the load.
QStringList heldDescriptors()
{
    QStringList out;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System)) {
        const QString target = QFile::symLinkTarget(fds.filePath(fd));
        const QString name = target.section('/', -1);
        if (name.startsWith(QLatin1String("socket:")) ||
            name.startsWith(QLatin1String("inotify")) ||
            (!target.startsWith(QLatin1String("/dev/")) &&
             !target.startsWith(QLatin1String("/proc/"))))
            out << fd + " " + target;
    }
    return out;
}

bool parse(const QStringList& args, SimParams& params)
{
    params.seed = static_cast<std::uint64_t>(
        std::chrono::system_clock::now().time_since_epoch().count() % 1000000007);
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& name = args[i];
        if (name == "--verbose") {
            params.verbose = true;
            continue;
        }
        if (i + 1 >= args.size())
            return false;
        const QString value = args[++i];
        if (name == "--players")
            params.players = std::clamp(value.toInt(), 2, 200);
        else if (name == "--seed")
            params.seed = value.toULongLong();
        else if (name == "--minutes")
            params.designedMinutes = value.toDouble();
        else if (name == "--speed-up")
            params.speedUp = std::max(1.0, value.toDouble());
        else if (name == "--server")
            params.serverProgram = value;
        else
            return false;
    }
    return params.designedMinutes > 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    SimParams params;
    params.serverProgram = QStringLiteral(VANTRELL_SERVER_PROGRAM);
    if (!parse(app.arguments(), params)) {
        std::fprintf(stderr,
                     "usage: %s [--players N] [--seed S] [--minutes M] [--speed-up X] "
                     "[--server PROGRAM] [--verbose]\n",
                     argv[0]);
        return 2;
    }
    QTemporaryDir root;
    params.root = root.path();
    params.serverPort = freePort();
    QTcpServer roomPortHold, fileServerPortHold;
    params.roomPort = holdFixedPort(
        roomPortHold, static_cast<quint16>(29100 + QCoreApplication::applicationPid() % 500 * 2));
    params.fileServerPort =
        holdFixedPort(fileServerPortHold, static_cast<quint16>(params.roomPort + 1));

    SimClock clock(params.speedUp);
    SimFigures figures;
    Ledger ledger(params, clock, figures);
    std::printf("community-sim: seed %llu, %d players, %.0f designed minutes at speed-up %.0f\n",
                static_cast<unsigned long long>(params.seed), params.players,
                params.designedMinutes, params.speedUp);
    std::fflush(stdout);

    ServerProcess server(params);
    if (!server.start()) {
        std::fprintf(stderr, "the main server did not start: %s\n",
                     qPrintable(params.serverProgram));
        return 2;
    }

    // What the machine holds before the evening, to compare with after it, once the server
    // has seen its start-up probe go.
    QTest::qWait(300);
    const QStringList ownDescriptorsBefore = heldDescriptors();
    const int serverDescriptorsBefore = server.openDescriptors();
    const long serverMemoryBefore = server.residentKiB();

    std::vector<std::unique_ptr<Player>> owned;
    std::vector<Player*> players;
    for (int i = 0; i < params.players; ++i) {
        owned.push_back(std::make_unique<Player>(i, params, clock, figures, ledger));
        players.push_back(owned.back().get());
        // A third of the players reach everything through relays that faults can disturb.
        owned.back()->setFaulted(i % 3 == 1);
    }
    Faults faults(params, clock, figures, ledger, players, server);
    Invariants invariants(params, clock, ledger, players, faults);
    invariants.setLargestUsermap(256 * 1024);
    for (Player* player : players) {
        player->onRoomsList([&](Player& viewer, const vantrell::lobby::NewRoomsListUpdate& list) {
            invariants.roomsList(viewer, list);
        });
        player->launchObserved = [&](Player& host, std::set<int> ready) {
            invariants.launched(host, std::move(ready));
        };
        player->gameStarted = [&](Player& member, int host) {
            invariants.gameStarted(member, host);
        };
        player->launchRefused = [&](Player& member, int host, const QString& why) {
            ledger.note(QStringLiteral("%1 could not start the game of %2: %3")
                            .arg(member.nickname(), nicknameOf(host), why));
            invariants.launchRefused(member, host);
        };
    }

    for (Player* player : players)
        player->start([&players] { return players; });
    faults.start();
    invariants.start();

    QTimer progress;
    progress.setInterval(clock.real(60));
    QObject::connect(&progress, &QTimer::timeout, [&] {
        int online = 0, rooms = 0;
        for (Player* player : players) {
            online += player->lobbyOpen();
            rooms += player->room() != nullptr;
        }
        ledger.note(QStringLiteral("%1 online, %2 rooms open, %3 joins, %4 checks, %5 broken")
                        .arg(online)
                        .arg(rooms)
                        .arg(figures.joins)
                        .arg(figures.checks)
                        .arg(figures.broken));
        figures.serverPeakKiB = std::max(figures.serverPeakKiB, server.peakKiB());
    });
    progress.start();

    QTest::qWait(clock.realMs(params.designedMinutes * 60));

    // The evening ends: faults stop, everyone leaves, and what was held must be given back.
    progress.stop();
    invariants.stop();
    faults.stop();
    for (Player* player : players)
        player->stop();
    // Long enough for every liveness limit to have closed what a fault left half open.
    // A connection closing at that moment is no leak: the count has a further minute to come
    // back down.
    QTest::qWait(clock.realMs(40));
    (void)QTest::qWaitFor([&] { return server.openDescriptors() <= serverDescriptorsBefore; },
                          clock.realMs(60));
    const int serverDescriptorsAfter = server.openDescriptors();
    figures.serverPeakKiB = std::max(figures.serverPeakKiB, server.peakKiB());
    const long serverMemoryAfter = server.residentKiB();
    ledger.check();
    if (serverDescriptorsAfter > serverDescriptorsBefore)
        ledger.breach(QStringLiteral("descriptors return to their starting level"),
                      QStringLiteral("the main server held %1 descriptors at start and %2 after "
                                     "the load: %3")
                          .arg(serverDescriptorsBefore)
                          .arg(serverDescriptorsAfter)
                          .arg(server.descriptors().join(", ")),
                      {});
    // The allocator keeps some of what was freed; a leak grows with the load instead.
    ledger.check();
    if (serverMemoryAfter > serverMemoryBefore + kMemorySlackKiB)
        ledger.breach(QStringLiteral("memory returns to its starting level"),
                      QStringLiteral("the main server used %1 KiB at start and %2 KiB after the "
                                     "load")
                          .arg(serverMemoryBefore)
                          .arg(serverMemoryAfter),
                      {});
    for (Player* player : players) {
        player->checkUsermapFolder(QStringLiteral("at the end"));
        ledger.check();
        if (player->room() || player->believedHost() >= 0)
            ledger.breach(QStringLiteral("the load ends"), QStringLiteral("still in a room"),
                          {player->nickname()});
    }
    // Relays of the faulted players' lobby links stay until the players go.
    owned.clear();
    QTest::qWait(clock.realMs(5));
    const QStringList ownDescriptorsAfter = heldDescriptors();
    ledger.check();
    if (ownDescriptorsAfter.size() > ownDescriptorsBefore.size())
        ledger.breach(QStringLiteral("descriptors return to their starting level"),
                      QStringLiteral("the players' process held sockets and files %1 before "
                                     "the load and %2 after it")
                          .arg(ownDescriptorsBefore.join(", "), ownDescriptorsAfter.join(", ")),
                      {});

    std::printf("\nseed %llu: %d players, %.0f designed minutes (speed-up %.0f)\n",
                static_cast<unsigned long long>(params.seed), params.players,
                params.designedMinutes, params.speedUp);
    std::printf("  lobby connects %d, rooms %d, joins %d, usermap transfers %d, launches %d "
                "(games started: hosts %d, members %d), chat lines %d\n",
                figures.connects, figures.rooms, figures.joins, figures.transfers, figures.launches,
                figures.hostGames, figures.games, figures.chats);
    std::printf("  faults injected:");
    for (const auto& [kind, n] : figures.faults)
        std::printf(" %s %d,", kind.c_str(), n);
    std::printf(
        "\n  main server: peak memory %ld KiB; %ld KiB and %d descriptors at start, %ld KiB "
        "and %d after the load\n",
        figures.serverPeakKiB, serverMemoryBefore, serverDescriptorsBefore, serverMemoryAfter,
        serverDescriptorsAfter);
    std::printf("  players' process: %lld sockets and files before, %lld after\n",
                static_cast<long long>(ownDescriptorsBefore.size()),
                static_cast<long long>(ownDescriptorsAfter.size()));
    std::printf("  invariant checks made %lld, broken %d\n", figures.checks, figures.broken);
    return figures.broken == 0 ? 0 : 1;
}
