#include "base/roomhost/RoomCodec.h"
#include "core/common/Timing.h"
#include "core/launch/HostLaunch.h"
#include "core/launch/MemberLaunch.h"
#include "core/launch/PreparedGame.h"
#include "core/roomhost/MainServerLink.h"
#include "core/roomhost/RoomHost.h"
#include "support/FileContents.h"
#include "support/RoomLab.h"
#include "support/RoomMemberScript.h"
#include "support/StandInPort.h"

#include <filesystem>
#include <memory>

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;
using namespace vantrell::core;
namespace fs = std::filesystem;

namespace {

const QString kMarkerLine = QStringLiteral("kesh.txt required for KESH compatibility.\r\n");

QList<bool> flags(const QSignalSpy& spy)
{
    QList<bool> out;
    for (const auto& call : spy)
        out << call.at(0).toBool();
    return out;
}

// One player's machine: a game folder holding a stand-in for the source port, and a
// usermap folder holding "my map.map".
struct Machine
{
    QTemporaryDir root;
    StandInPort port;
    fs::path game;
    fs::path usermaps;

    explicit Machine(const QString& portName = QStringLiteral("hduke"))
    {
        game = fs::path(root.path().toStdString()) / "game";
        usermaps = fs::path(root.path().toStdString()) / "usermaps";
        fs::create_directories(game);
        fs::create_directories(usermaps);
        writeFile(usermaps / "my map.map", "usermap");
        port.install(QString::fromStdString(game.string()), portName);
        port.configure(0, 150);
    }
    std::string executable() const { return port.path().toStdString(); }
};

roomhost::RoomSettings settingsOf(SourcePort kind)
{
    roomhost::RoomSettings s;
    s.kind = kind;
    s.playerPlaces = 8;
    s.roomName = "Launch room";
    if (kind != SourcePort::NBlood) {
        s.gameType = kind == SourcePort::HDuke ? "Dukematch (Spawn)" : "Dukematch";
        s.skill = "Piece Of Cake";
        s.spawn = "N/A";
    }
    s.originalMapChosen = false;
    s.originalMap = "None";
    s.userMap = "my map.map";
    return s;
}

RoomHostConfig hostConfig(SourcePort kind)
{
    RoomHostConfig config = loopbackRoomConfig(8, kind);
    config.settings = settingsOf(kind);
    return config;
}

// A hosted room on loopback with its launch and the spies the host's tests read. Members
// join with a local address and game port of their own (10.0.0.n+1, 2351n+3).
struct HostGame
{
    explicit HostGame(SourcePort kind, MainServerLink* mainServer = nullptr)
        : lab(std::make_unique<LoopbackRoom>(hostConfig(kind), kSpeedUp, mainServer))
    {
    }

    std::unique_ptr<RoomMemberScript> join(const QString& nickname, int n, bool ready)
    {
        return joinRoom(room,
                        QStringLiteral("AddUserToList~%1~Linux 64 bit ~10.0.0.%2~2351%3")
                            .arg(nickname)
                            .arg(n + 1)
                            .arg(3 + n),
                        ready);
    }
    HostLaunchSetup setup(const Machine& machine) const
    {
        HostLaunchSetup setup;
        setup.settings = room.config.settings;
        setup.nickname = "Host";
        setup.executable = machine.executable();
        setup.usermapFolder = machine.usermaps.string();
        return setup;
    }
    void launch(const Machine& machine) { host.launch(room, setup(machine)); }

    // The launch keeps its own clock: a test may close the room under it.
    Timing timing{kSpeedUp};
    std::unique_ptr<LoopbackRoom> lab;
    LoopbackRoom& room = *lab;
    HostLaunch host{timing};
    QSignalSpy log{&host, &HostLaunch::roomLog};
    QSignalSpy button{&host, &HostLaunch::launchEnabled};
    QSignalSpy roomsList{&host, &HostLaunch::roomsListEnabled};
    QSignalSpy messages{&host, &HostLaunch::message};
    QSignalSpy started{&host, &HostLaunch::gameStarted};
    QSignalSpy done{&host, &HostLaunch::finished};
};

template <typename Update>
auto lastRows(const RoomMemberScript& member, const QString& keyword) -> decltype(Update::rows)
{
    const QStringList lines = member.linesOf(keyword);
    if (lines.isEmpty())
        return {};
    const auto message = roomhost::parseHostMessage(lines.last().toStdString());
    if (const auto* update = message ? std::get_if<Update>(&*message) : nullptr)
        return update->rows;
    return {};
}

// What a member's room holds when "TimeToLaunchGame" arrives: the lists the host sent last.
MemberLaunchSetup memberSetup(const RoomMemberScript& script, const Machine& machine,
                              const std::string& nickname)
{
    MemberLaunchSetup setup;
    setup.inputs.settings =
        lastRows<roomhost::RoomSettingsUpdate>(script, QStringLiteral("RoomSettingsUpdate"));
    setup.inputs.members = lastRows<roomhost::UserRoomSettingsUpdate>(
        script, QStringLiteral("UserRoomSettingsUpdate"));
    setup.inputs.roomAddress = "127.0.0.1";
    setup.inputs.nickname = nickname;
    const QStringList port = script.linesOf(QStringLiteral("YourRemotePortIs"));
    if (!port.isEmpty())
        setup.ownRemotePort = port.last().section(QLatin1Char('~'), 1, 1).toStdString();
    setup.sourcePorts.ports.fill({true, machine.executable()});
    setup.sourcePorts.usermapsFolders.fill(machine.usermaps.string());
    return setup;
}

// The main server as the room sees it: open, and keeping the in-game flag of every
// advertisement.
class AdvertisementRecorder : public MainServerLink
{
public:
    bool isMainServerOpen() const override { return true; }
    void sendToMainServer(const lobby::ClientMessage& message) override
    {
        if (const auto* ad = std::get_if<lobby::AdvertiseRoom>(&message))
            inGameFlags << QString::fromStdString(ad->inGame);
    }
    QStringList inGameFlags;
};

} // namespace

class TestLaunch : public QObject
{
    Q_OBJECT

    // The Wine prefix of this run, made by its first Windows game.
    QTemporaryDir m_wine;
    QString winePrefix() const { return m_wine.filePath(QStringLiteral("prefix")); }

private slots:
    // The prefix's wineserver lingers a few seconds after the last game; it goes first.
    void cleanupTestCase()
    {
        qputenv("WINEPREFIX", winePrefix().toLocal8Bit());
        QProcess::execute(QStringLiteral("wineserver"), {QStringLiteral("-w")});
    }

    // The room game with a Windows build of hDuke on both sides, through this machine's Wine
    // (the first game makes the prefix, the second finds it), and with no Wine to be found.
    void windowsPortThroughWine_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("fresh prefix") << "fresh";
        QTest::newRow("existing prefix") << "existing";
        QTest::newRow("no wine on the search path") << "";
    }

    void windowsPortThroughWine()
    {
        QFETCH(QString, prefix);
        Machine hostMachine, kimMachine;
        for (Machine* machine : {&hostMachine, &kimMachine})
            if (!machine->port.install(machine->root.filePath("game"), "hduke.exe", true))
                QSKIP("no Windows build of the stand-in (x86_64-w64-mingw32-gcc missing)");
        kimMachine.port.configure(6, 150);
        qputenv("WINEDLLOVERRIDES", "mscoree,mshtml="); // neither Mono nor Gecko is offered
        WineSetup wine{{"", winePrefix().toStdString()}, QProcessEnvironment::systemEnvironment()};
        if (prefix.isEmpty())
            wine.variables.insert(QStringLiteral("PATH"), hostMachine.root.path());
        else if (QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty())
            QSKIP("no wine on the search path");
        QVERIFY(prefix.isEmpty() || QFileInfo(winePrefix()).exists() == (prefix == "existing"));

        HostGame game(SourcePort::HDuke);
        auto kim = game.join(QStringLiteral("Kim"), 1, true);
        QVERIFY(kim);
        MemberLaunch kimLaunch(game.timing);
        QSignalSpy kimDone(&kimLaunch, &MemberLaunch::finished);
        QSignalSpy kimMessages(&kimLaunch, &MemberLaunch::message);
        QSignalSpy kimNotReady(&kimLaunch, &MemberLaunch::SendToServerClientNotReady);
        QSignalSpy kimExit(&kimLaunch.process(), &GameProcess::exited);
        auto setup = game.setup(hostMachine);
        setup.wine = wine;
        game.host.launch(game.room, setup);
        QTRY_VERIFY(!kim->linesOf(QStringLiteral("TimeToLaunchGame")).isEmpty());
        auto kimSetup = memberSetup(*kim, kimMachine, "Kim");
        kimSetup.wine = wine;
        kimLaunch.ClientLaunchhDukeGame(kimSetup);
        QCOMPARE(kimNotReady.size(), 1);

        if (prefix.isEmpty()) {
            // The message names the Windows program and where Wine comes from.
            const auto noWine = [](const Machine& machine) {
                return "\"" + machine.port.path() +
                       "\" is a Windows program. Starting it needs Wine, which was not found: "
                       "install Debian's \"wine\" package, or set the Wine command under "
                       "Settings, Source Ports.";
            };
            QCOMPARE(texts(kimMessages), QStringList{noWine(kimMachine)});
            QTRY_COMPARE(texts(game.messages), QStringList{noWine(hostMachine)});
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(hostMachine.port.hasStarted() && kimMachine.port.hasStarted(),
                                     120000);
            const QStringList tail = {"-net", "netlist.txt"};
            QCOMPARE(hostMachine.port.arguments(),
                     QStringList({"-name", "Host", "/s1", "-map", "my map.map", "/c1"}) + tail);
            QCOMPARE(kimMachine.port.arguments(),
                     QStringList({"-name", "Kim", "/c1", "-map", "my map.map", "/s1"}) + tail);
            for (Machine* machine : {&hostMachine, &kimMachine}) {
                // Wine shows the whole file system as drive Z:.
                QCOMPARE(machine->port.workingFolder(),
                         "Z:" + QString::fromStdString(machine->game.string()).replace('/', '\\'));
                QCOMPARE(machine->port.fileRead("my map.map"), QStringLiteral("usermap"));
                QCOMPARE(machine->port.fileRead("netlist.txt"),
                         contentsOf(machine->game / "netlist.txt"));
            }
            // The game ends with Wine, not before, with its exit code.
            QTRY_COMPARE_WITH_TIMEOUT(kimDone.size() + game.done.size(), 2, 30000);
            QCOMPARE(kimExit.at(0).at(0).toInt(), 6);
            QCOMPARE(game.messages.size() + kimMessages.size(), 0);
        }
        // Nothing staged is left; the peer list only once a game started.
        for (Machine* machine : {&hostMachine, &kimMachine}) {
            QCOMPARE(machine->port.hasFinished(), !prefix.isEmpty());
            QCOMPARE(fs::exists(machine->game / "netlist.txt"), !prefix.isEmpty());
            QCOMPARE(contentsOf(machine->game / "my map.map"), QStringLiteral("<missing>"));
        }
    }

    // A whole room game over loopback: the host and two members start, each with its own
    // command line and peer list, and everything is put back afterwards.
    void hostAndTwoMembersPlayARoomGame()
    {
        Machine hostMachine, kimMachine, annMachine;
        // Ann already has the usermap in her game folder, and a marker of her own.
        writeFile(annMachine.game / "my map.map", "Ann's copy");
        writeFile(annMachine.game / "kesh.txt", "old marker");
        writeFile(hostMachine.game / "kesh.txt", kMarkerLine.toStdString());

        // Long enough for the room to be advertised as in game meanwhile.
        hostMachine.port.configure(0, 900);

        AdvertisementRecorder mainServer;
        HostGame game(SourcePort::HDuke, &mainServer);
        QVERIFY(game.room.isOpen());
        RoomHost& room = game.room;
        room.advertiseButtonClicked();
        auto kim = game.join(QStringLiteral("Kim"), 1, true);
        auto ann = game.join(QStringLiteral("Ann"), 2, true);
        QVERIFY(kim && ann);

        MemberLaunch kimLaunch(game.timing), annLaunch(game.timing);
        QSignalSpy kimNotReady(&kimLaunch, &MemberLaunch::SendToServerClientNotReady);
        QSignalSpy kimLog(&kimLaunch, &MemberLaunch::roomLog);
        QSignalSpy kimDone(&kimLaunch, &MemberLaunch::finished);
        QSignalSpy annDone(&annLaunch, &MemberLaunch::finished);

        game.launch(hostMachine);
        QTRY_VERIFY(!kim->linesOf(QStringLiteral("TimeToLaunchGame")).isEmpty());
        QTRY_VERIFY(!ann->linesOf(QStringLiteral("TimeToLaunchGame")).isEmpty());
        // Settings and member list came first.
        QVERIFY(kim->arrivalOf(QStringLiteral("UserRoomSettingsUpdate")) <
                kim->arrivalOf(QStringLiteral("TimeToLaunchGame")));
        kimLaunch.ClientLaunchhDukeGame(memberSetup(*kim, kimMachine, "Kim"));
        annLaunch.ClientLaunchhDukeGame(memberSetup(*ann, annMachine, "Ann Lee"));
        QVERIFY(kimLaunch.gameRunning());

        QTRY_VERIFY(hostMachine.port.hasStarted());
        QVERIFY(kimMachine.port.hasStarted() && annMachine.port.hasStarted());
        QVERIFY(room.inGame());

        const QStringList tail = {"-net", "netlist.txt"};
        QCOMPARE(hostMachine.port.arguments(),
                 QStringList({"-name", "Host", "/s1", "-map", "my map.map", "/c1"}) + tail);
        QCOMPARE(kimMachine.port.arguments(),
                 QStringList({"-name", "Kim", "/c1", "-map", "my map.map", "/s1"}) + tail);
        QCOMPARE(annMachine.port.arguments(),
                 QStringList({"-name", "Ann Lee", "/c1", "-map", "my map.map", "/s1"}) + tail);
        QCOMPARE(QString::fromStdString(game.host.lastCommand()),
                 QStringLiteral("-name Host  /s1 -map my map.map /c1 -net netlist.txt"));
        for (Machine* machine : {&hostMachine, &kimMachine, &annMachine})
            QCOMPARE(fs::path(machine->port.workingFolder().toStdString()), machine->game);

        // The host binds its own local address; the members bind theirs and admit the host
        // by the room's address (it has not learnt its public one here).
        QCOMPARE(hostMachine.port.netlist(),
                 QStringLiteral("interface 10.0.0.1:23513\r\nmode peer\r\n"
                                "allow 127.0.0.1:23514\r\nallow 127.0.0.1:23515\r\n"));
        QCOMPARE(kimMachine.port.netlist(),
                 QStringLiteral("interface 10.0.0.2:23514\r\nmode peer\r\n"
                                "allow 127.0.0.1:23513\r\nallow 127.0.0.1:23515\r\n"));
        QCOMPARE(annMachine.port.netlist(),
                 QStringLiteral("interface 10.0.0.3:23515\r\nmode peer\r\n"
                                "allow 127.0.0.1:23513\r\nallow 127.0.0.1:23514\r\n"));
        // The marker is away while the game runs.
        for (Machine* machine : {&hostMachine, &kimMachine, &annMachine})
            QVERIFY(machine->port.kesh().isNull());
        QCOMPARE(kimNotReady.size(), 1);
        QCOMPARE(texts(kimLog).first(), QStringLiteral("Launching game...."));

        QTRY_COMPARE(kimDone.size(), 1);
        QTRY_COMPARE(annDone.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(game.done.size(), 1, 10000);
        QVERIFY(!room.inGame());
        // Re-advertised in game, then out of it again.
        QTRY_COMPARE(mainServer.inGameFlags.last(), QStringLiteral("No"));
        QVERIFY(mainServer.inGameFlags.contains(QStringLiteral("Yes")));
        QCOMPARE(mainServer.inGameFlags.first(), QStringLiteral("No"));
        QCOMPARE(texts(game.log), QStringList({"Launching game....", "Game has closed..."}));
        QCOMPARE(texts(kimLog), QStringList({"Launching game....", "Game has closed..."}));
        QVERIFY(!kimLaunch.gameRunning());

        // Markers back with their one line where there was one; the usermap staged for the
        // game is gone, Ann's own copy stays (overwritten by the room's).
        QCOMPARE(contentsOf(hostMachine.game / "kesh.txt"), kMarkerLine);
        QCOMPARE(contentsOf(annMachine.game / "kesh.txt"), kMarkerLine);
        QCOMPARE(contentsOf(kimMachine.game / "kesh.txt"), QStringLiteral("<missing>"));
        QCOMPARE(contentsOf(hostMachine.game / "my map.map"), QStringLiteral("<missing>"));
        QCOMPARE(contentsOf(kimMachine.game / "my map.map"), QStringLiteral("<missing>"));
        QCOMPARE(contentsOf(annMachine.game / "my map.map"), QStringLiteral("usermap"));
    }

    // Every host branch: the log lines with their dots, the Launch button, "Get Rooms List"
    // and the in-game flag around the game.
    void hostBranches_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("members");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QList<bool>>("launchButton");
        QTest::addColumn<QString>("command");

        using K = SourcePort;
        const QList<bool> offOn = {false, true};
        QTest::newRow("hduke solo")
            << int(K::HDuke) << 0 << QStringList{"Launching game....", "Game closed...."} << offOn
            << "-name Host /q8 /s1 /c1 -map my map.map";
        QTest::newRow("hduke room")
            << int(K::HDuke) << 1 << QStringList{"Launching game....", "Game has closed..."}
            << offOn << "-name Host  /s1 -map my map.map /c1 -net netlist.txt";
        QTest::newRow("oldmp solo")
            << int(K::EDuke32OldMP) << 0 << QStringList{"Game has closed..."} << QList<bool>{}
            << "-name Host -q8 -s1 -c1 -nologo -map my map.map";
        QTest::newRow("oldmp room")
            << int(K::EDuke32OldMP) << 1 << QStringList{"Launching game....", "Game has closed..."}
            << offOn
            << "-name Host  -s1 -map my map.map -c1 -nologo /net /n0:2 "
               "/p23513";
        QTest::newRow("nblood solo")
            << int(K::NBlood) << 0 << QStringList{"Launching game....", "Game closed...."} << offOn
            << "-pname Host -setup -map my map.map";
        QTest::newRow("nblood room")
            << int(K::NBlood) << 1 << QStringList{"Launching game....", "Game closed...."} << offOn
            << "-pname Host -nosetup -server 2 -port 23513";
    }

    void hostBranches()
    {
        QFETCH(int, kind);
        QFETCH(int, members);
        QFETCH(QStringList, log);
        QFETCH(QList<bool>, launchButton);
        QFETCH(QString, command);

        Machine machine;
        HostGame game(static_cast<SourcePort>(kind));
        QVERIFY(game.room.isOpen());
        std::unique_ptr<RoomMemberScript> member;
        if (members)
            QVERIFY((member = game.join(QStringLiteral("Kim"), 1, true)));

        game.launch(machine);
        QTRY_VERIFY(machine.port.hasStarted());
        QVERIFY(game.room.inGame());
        QCOMPARE(flags(game.roomsList), QList<bool>{false});
        QTRY_COMPARE_WITH_TIMEOUT(game.done.size(), 1, 10000);

        QCOMPARE(texts(game.log), log);
        QCOMPARE(flags(game.button), launchButton);
        QCOMPARE(flags(game.roomsList), (QList<bool>{false, true}));
        QCOMPARE(game.messages.size(), 0);
        QVERIFY(!game.room.inGame());
        QCOMPARE(QString::fromStdString(game.host.lastCommand()), command);
        // The string split at blanks, the usermap name kept whole.
        QStringList arguments = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto split = arguments.indexOf(QStringLiteral("my"));
        if (split >= 0)
            arguments.replace(split, QStringLiteral("my ") + arguments.takeAt(split + 1));
        QCOMPARE(machine.port.arguments(), arguments);
        // The usermap was there for the game (NBlood stages it even unnamed) and is gone.
        QVERIFY(!fs::exists(machine.game / "my map.map"));
    }

    void notReadyRoomStartsNothing()
    {
        Machine machine;
        HostGame game(SourcePort::HDuke);
        QVERIFY(game.room.isOpen());
        auto ready = game.join(QStringLiteral("Kim"), 1, true);
        auto idle = game.join(QStringLiteral("Ann"), 2, false);
        QVERIFY(ready && idle);

        game.launch(machine);
        QCOMPARE(game.done.size(), 1);
        QCOMPARE(texts(game.log), QStringList{"Cannot launch the game because some players have "
                                              "not clicked ready."});
        QCOMPARE(flags(game.roomsList), (QList<bool>{false, true}));
        QTest::qWait(3000 / kSpeedUp);
        QVERIFY(ready->linesOf(QStringLiteral("TimeToLaunchGame")).isEmpty());
        QVERIFY(!machine.port.hasStarted());
        QVERIFY(!fs::exists(machine.game / "netlist.txt"));
        QVERIFY(!game.room.inGame());
    }

    // A member who leaves during the broadcast: the game and its peer list are those of the
    // room the host launched, not a room game without peers.
    void memberLeavingDuringTheBroadcast()
    {
        Machine machine;
        HostGame game(SourcePort::HDuke);
        QVERIFY(game.room.isOpen());
        auto kim = game.join(QStringLiteral("Kim"), 1, true);
        QVERIFY(kim);
        game.launch(machine);
        kim->disconnectNow();
        QTRY_COMPARE(game.room.members().size(), std::size_t(1));
        QTRY_VERIFY(machine.port.hasStarted());
        QCOMPARE(machine.port.netlist(), QStringLiteral("interface 10.0.0.1:23513\r\nmode peer\r\n"
                                                        "allow 127.0.0.1:23514\r\n"));
    }

    // A source port that cannot be started: its message, nothing written or deleted in the
    // game folder, and the window back to normal.
    void missingExecutable_data()
    {
        QTest::addColumn<int>("members");
        QTest::addColumn<QString>("message");
        QTest::newRow("hduke solo: the system's text") << 0 << "No such file or directory";
        QTest::newRow("hduke room: its own message") << 1 << "Error starting hDuke!";
    }

    void missingExecutable()
    {
        QFETCH(int, members);
        QFETCH(QString, message);
        Machine machine;
        writeFile(machine.game / "kesh.txt", "marker");
        HostGame game(SourcePort::HDuke);
        QVERIFY(game.room.isOpen());
        std::unique_ptr<RoomMemberScript> member;
        if (members)
            QVERIFY((member = game.join(QStringLiteral("Kim"), 1, true)));

        auto setup = game.setup(machine);
        setup.executable = (machine.game / "no-such-port").string();
        game.host.launch(game.room, setup);
        QTRY_COMPARE(game.done.size(), 1);
        QCOMPARE(texts(game.messages), QStringList{message});
        QCOMPARE(flags(game.button).last(), true);
        QCOMPARE(flags(game.roomsList), (QList<bool>{false, true}));
        QVERIFY(!game.room.inGame());
        QVERIFY(!game.host.isBusy());
        QCOMPARE(contentsOf(machine.game / "kesh.txt"), QStringLiteral("marker"));
        QVERIFY(!fs::exists(machine.game / "netlist.txt"));
        QVERIFY(!fs::exists(machine.game / "my map.map"));
    }

    // Launch pressed again while the launch or its game is under way starts nothing more;
    // the room keeps serving its members while the game runs.
    void launchIgnoredWhileBusyAndRoomAnswersDuringTheGame()
    {
        Machine machine;
        machine.port.configure(0, 600);
        HostGame game(SourcePort::EDuke32OldMP);
        QVERIFY(game.room.isOpen());
        auto kim = game.join(QStringLiteral("Kim"), 1, true);
        QVERIFY(kim);
        QSignalSpy chat(&game.room, &RoomHost::chatMessage);

        game.launch(machine);
        game.launch(machine); // during the broadcast
        QTRY_COMPARE(game.started.size(), 1);
        game.launch(machine); // during the game
        kim->send(QStringLiteral("RoomChat~Kim~still here"));
        QTRY_COMPARE(chat.size(), 1);
        QVERIFY(game.host.isGameRunning());
        QTRY_COMPARE_WITH_TIMEOUT(game.done.size(), 1, 10000);
        QCOMPARE(game.started.size(), 1);
        QCOMPARE(kim->linesOf(QStringLiteral("TimeToLaunchGame")).size(), 1);
    }

    // Closing the program while the game runs leaves the game running.
    void gameOutlivesTheHost()
    {
        Machine machine(QStringLiteral("nblood"));
        machine.port.configure(0, 800);
        auto game = std::make_unique<HostGame>(SourcePort::NBlood);
        QVERIFY(game->room.isOpen());
        game->launch(machine);
        QTRY_COMPARE(game->started.size(), 1);
        QTRY_VERIFY(machine.port.hasStarted());
        game.reset(); // the launch first, then the room
        QVERIFY(!machine.port.hasFinished());
        QTRY_VERIFY_WITH_TIMEOUT(machine.port.hasFinished(), 5000);
    }

    // Closing the room before the game starts drops the launch and puts the files back.
    void roomClosedBeforeTheGameStarts()
    {
        Machine machine;
        writeFile(machine.game / "kesh.txt", "marker");
        HostGame game(SourcePort::HDuke);
        QVERIFY(game.room.isOpen());
        auto kim = game.join(QStringLiteral("Kim"), 1, true);
        QVERIFY(kim);
        game.launch(machine);
        // Past the peer list and the marker, before the start.
        QTRY_VERIFY(!fs::exists(machine.game / "kesh.txt"));
        QVERIFY(fs::exists(machine.game / "my map.map"));
        game.lab.reset();
        QCOMPARE(game.done.size(), 1);
        QCOMPARE(flags(game.roomsList), (QList<bool>{false, true}));
        QCOMPARE(contentsOf(machine.game / "kesh.txt"), kMarkerLine);
        QVERIFY(!fs::exists(machine.game / "my map.map"));
        QTest::qWait(3000 / kSpeedUp);
        QVERIFY(!machine.port.hasStarted());
    }

    void memberIgnoresAnIncompleteRoom()
    {
        Timing timing(kSpeedUp);
        Machine machine;
        MemberLaunch member(timing);
        QSignalSpy roomsList(&member, &MemberLaunch::roomsListEnabled);
        RoomMemberScript none;
        auto setup = memberSetup(none, machine, "Kim");
        setup.inputs.settings = roomhost::buildSettingsList(settingsOf(SourcePort::HDuke), 1);
        setup.inputs.members = {roomhost::MemberRow{}};
        member.ClientLaunchhDukeGame(setup);
        QVERIFY(!member.isBusy());
        QCOMPARE(roomsList.size(), 0);
        QTest::qWait(50);
        QVERIFY(!machine.port.hasStarted());
    }

    // The NBlood client waits for the host's server; closing the room meanwhile drops it.
    void nBloodMemberWaitsAndCanBeDropped_data()
    {
        QTest::addColumn<bool>("closeRoom");
        QTest::newRow("starts after the wait") << false;
        QTest::newRow("room closed during the wait") << true;
    }

    void nBloodMemberWaitsAndCanBeDropped()
    {
        QFETCH(bool, closeRoom);
        Timing timing(kSpeedUp);
        Machine machine(QStringLiteral("nblood"));
        MemberLaunch member(timing);
        QSignalSpy log(&member, &MemberLaunch::roomLog);
        QSignalSpy notReady(&member, &MemberLaunch::SendToServerClientNotReady);
        QSignalSpy running(&member, &MemberLaunch::gameRunningChanged);
        QSignalSpy done(&member, &MemberLaunch::finished);
        RoomMemberScript none;
        auto setup = memberSetup(none, machine, "Kim");
        setup.inputs.settings = roomhost::buildSettingsList(settingsOf(SourcePort::NBlood), 2);
        setup.inputs.members = {roomhost::MemberRow{}, roomhost::MemberRow{}};
        setup.inputs.members[0].remoteAddress = "203.0.113.5";
        setup.inputs.members[0].udpPort = "23513";
        member.ClientLaunchhDukeGame(setup);
        QCOMPARE(texts(log), QStringList{"Launching game..."});
        QCOMPARE(notReady.size(), 1);
        QVERIFY(fs::exists(machine.game / "my map.map"));
        QTest::qWait(2000 / kSpeedUp);
        QVERIFY(!machine.port.hasStarted());
        if (closeRoom) {
            member.roomClosed();
            QCOMPARE(done.size(), 1);
            QVERIFY(!fs::exists(machine.game / "my map.map"));
            QTest::qWait(5000 / kSpeedUp);
            QVERIFY(!machine.port.hasStarted());
            return;
        }
        QTRY_VERIFY(machine.port.hasStarted());
        QCOMPARE(machine.port.arguments(), (QStringList{"-pname", "Kim", "-nosetup", "-client",
                                                        "203.0.113.5", "-port", "23513"}));
        QTRY_COMPARE(done.size(), 1);
        QCOMPARE(flags(running), (QList<bool>{true, false}));
        QCOMPARE(texts(log), (QStringList{"Launching game...", "Game has closed..."}));
        QVERIFY(!fs::exists(machine.game / "my map.map"));
    }

    void memberWithoutItsSourcePort()
    {
        Timing timing(kSpeedUp);
        Machine machine;
        writeFile(machine.game / "kesh.txt", "marker");
        MemberLaunch member(timing);
        QSignalSpy messages(&member, &MemberLaunch::message);
        QSignalSpy notReady(&member, &MemberLaunch::SendToServerClientNotReady);
        QSignalSpy roomsList(&member, &MemberLaunch::roomsListEnabled);
        RoomMemberScript none;
        auto setup = memberSetup(none, machine, "Kim");
        setup.inputs.settings = roomhost::buildSettingsList(settingsOf(SourcePort::HDuke), 2);
        setup.inputs.members = {roomhost::MemberRow{}, roomhost::MemberRow{}};
        setup.sourcePorts.port(SourcePort::HDuke).path = (machine.game / "missing").string();
        member.ClientLaunchhDukeGame(setup);
        QCOMPARE(texts(messages), QStringList{"Error starting hDuke!"});
        // The host must not count this member ready for the next Launch.
        QCOMPARE(notReady.size(), 1);
        QCOMPARE(flags(roomsList), (QList<bool>{false, true}));
        QVERIFY(!member.isBusy());
        QCOMPARE(contentsOf(machine.game / "kesh.txt"), QStringLiteral("marker"));
        QVERIFY(!fs::exists(machine.game / "netlist.txt"));
        QVERIFY(!fs::exists(machine.game / "my map.map"));
    }
    // What both launches do to the game folder: nothing at all for a port that cannot
    // start, otherwise the usermap and the marker handled around the game and put back once.
    void preparedGame_data()
    {
        QTest::addColumn<bool>("startable");
        QTest::addColumn<QString>("usermap");
        QTest::addColumn<bool>("mapInFolder");
        QTest::addColumn<bool>("marker");
        QTest::newRow("map and marker") << true << "my map.map" << false << true;
        QTest::newRow("map already there") << true << "my map.map" << true << false;
        QTest::newRow("no usermap") << true << "" << false << true;
        QTest::newRow("name leaves the folder") << true << "../my map.map" << false << false;
        QTest::newRow("not startable") << false << "my map.map" << false << true;
    }

    void preparedGame()
    {
        QFETCH(bool, startable);
        QFETCH(QString, usermap);
        QFETCH(bool, mapInFolder);
        QFETCH(bool, marker);
        Machine machine;
        if (mapInFolder)
            writeFile(machine.game / "my map.map", "own copy");
        if (marker)
            writeFile(machine.game / "kesh.txt", "old marker");
        launch::GameCommand command;
        command.line.piece().fixed("-map ").value(usermap.toStdString());
        command.usermap = usermap.toStdString();
        const std::string executable =
            startable ? machine.executable() : (machine.game / "missing").string();

        PreparedGame game;
        QCOMPARE(game.prepare(executable, command).ok(), startable);
        game.stageUsermap(machine.usermaps.string());
        QVERIFY(game.removeMarker());
        QCOMPARE(fs::exists(machine.game / "kesh.txt"), marker && !startable);
        const bool staged = startable && usermap == QStringLiteral("my map.map");
        QCOMPARE(contentsOf(machine.game / "my map.map"),
                 staged ? QStringLiteral("usermap")
                        : (mapInFolder ? QStringLiteral("own copy") : QStringLiteral("<missing>")));
        QVERIFY(!fs::exists(machine.root.path().toStdString() + "/my map.map"));
        if (startable)
            QCOMPARE(fs::path(game.start().workingFolder), machine.game);

        QVERIFY(game.tidy().ok());
        QCOMPARE(contentsOf(machine.game / "kesh.txt"),
                 !marker ? QStringLiteral("<missing>")
                         : (startable ? kMarkerLine : QStringLiteral("old marker")));
        QCOMPARE(fs::exists(machine.game / "my map.map"), mapInFolder);
        // Put back once: a second tidy-up writes nothing again.
        fs::remove(machine.game / "kesh.txt");
        QVERIFY(game.tidy().ok());
        QVERIFY(!fs::exists(machine.game / "kesh.txt"));
    }
};

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
