// Renders the program's windows as a player sees them in a busy lobby, into PNG files, without
// a display (run with QT_QPA_PLATFORM=offscreen). It starts a vantrell-server of its own on a
// free loopback port and brings two more players in, so the pictures show real users, real
// chat and real rooms. The windows are worked through the driver of the end-to-end test
// (tests/support/ProgramDriver.h), the same clicks and keys a player gives. Used by
// scripts/screenshot for the README.
//
//   vantrell-screenshot <output folder> <path to vantrell-server>

#include "app/Program.h"
#include "base/lobby/RoomAddress.h"
#include "base/settings/NetworkingSettings.h"
#include "base/settings/SourcePortSettings.h"
#include "core/common/BuildConfig.h"
#include "core/lobby/LobbyConnection.h"
#include "support/ProgramDriver.h"
#include "support/RecordingMessageSink.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomclient/TForm7.h"

#include <functional>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

using namespace vantrell;

namespace {
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Lets pending paints and layouts settle before a window is grabbed.
void settle()
{
    QDeadlineTimer deadline(300);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

int fail(const QString& what)
{
    qCritical("vantrell-screenshot: %s", qPrintable(what));
    return 1;
}

// A TCP port nothing listens on right now, for the room this tool hosts.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The driver of the windows on screen, asked in this process. A refusal is kept so the tool
// can say which step went wrong.
class Driver
{
public:
    // Carries out a command; false when the driver refuses it.
    bool act(const QStringList& command)
    {
        const QJsonObject answer = m_driver.ask(command);
        if (!answer.value(QStringLiteral("ok")).toBool()) {
            m_refusal = command.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                        answer.value(QStringLiteral("error")).toString();
            return false;
        }
        m_last = answer.value(QStringLiteral("value"));
        return true;
    }
    // Asks until the answer satisfies the condition; false on the deadline or a refusal.
    bool waitFor(const QStringList& command, const std::function<bool(const QJsonValue&)>& holds,
                 int timeoutMs = 10000)
    {
        const bool held = waitUntil([&] { return act(command) && holds(m_last); }, timeoutMs);
        if (!held && m_refusal.isEmpty())
            m_refusal = command.join(QLatin1Char(' ')) + QStringLiteral(": not in time");
        return held;
    }
    bool picture(const QString& window, const QString& folder, const char* name)
    {
        settle();
        return act({QStringLiteral("picture"), window, QDir(folder).filePath(QLatin1String(name))});
    }
    QString refusal() const { return m_refusal; }

private:
    ProgramDriver m_driver{nullptr, ProgramDriver::Input::None};
    QJsonValue m_last;
    QString m_refusal;
};

bool isTrue(const QJsonValue& value)
{
    return value.toBool();
}

// A member list of two rows whose second member is ready (ready code "0").
bool memberReady(const QJsonValue& rows)
{
    const QJsonArray list = rows.toArray();
    return list.size() == 2 && list.at(1).toArray().at(0).toString() == QStringLiteral("0");
}

// Another player's lobby, for the users list, the chat and the room list.
struct OtherPlayer
{
    core::LobbyConnection lobby;
    QString nickname;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(core::programTitle());
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return fail("usage: vantrell-screenshot <output folder> <vantrell-server>");
    const QString out = arguments.at(1);
    QDir().mkpath(out);

    QProcess server;
    struct StopServer
    {
        QProcess& process;
        ~StopServer()
        {
            process.kill();
            process.waitForFinished();
        }
    } stopServer{server};
    server.start(arguments.at(2),
                 {"--address", "127.0.0.1", "--port", "0", "--user-list-min-gap", "0"});
    quint16 port = 0;
    QByteArray serverLog;
    static const QRegularExpression listening(QStringLiteral("listening on .*:(\\d+)"));
    if (!waitUntil([&] {
            serverLog += server.readAllStandardOutput();
            const auto match = listening.match(QString::fromUtf8(serverLog));
            port = match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
            return port != 0;
        }))
        return fail("the main server did not start");

    // A program folder of its own, with port forwarding off: nothing leaves this machine. The
    // hDuke source port and a usermaps folder with a few maps, as a player would have them.
    // A fixed folder rather than a random one: its paths show in the settings pictures.
    struct Folder
    {
        QString root = QDir(QDir::tempPath()).filePath(QStringLiteral("vantrell-screenshot"));
        Folder() { QDir(root).removeRecursively(); }
        ~Folder() { QDir(root).removeRecursively(); }
        QString path() const { return root; }
    } folder;
    QDir().mkpath(folder.path());
    const QString games = QDir(folder.path()).filePath(QStringLiteral("games"));
    const QString usermaps = QDir(games).filePath(QStringLiteral("usermaps"));
    QDir().mkpath(usermaps);
    for (const char* map : {"roch2.map", "dukedc1.map", "lameduke.map"}) {
        QFile file(QDir(usermaps).filePath(QLatin1String(map)));
        if (!file.open(QIODevice::WriteOnly) || file.write("map") != 3)
            return fail("cannot write the usermaps");
    }
    for (const char* game : {"hduke/hduke.exe", "nblood/nblood.exe"}) {
        const QString path = QDir(games).filePath(QLatin1String(game));
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return fail("cannot write the source ports");
    }
    settings::ConfigFile config(folder.path().toStdString());
    settings::NetworkingSettings networking;
    networking.lobbyNickname = "Duke";
    networking.inGameNickname = "Duke";
    networking.upnp = false;
    networking.tcpPort = std::to_string(freePort());
    settings::SourcePortSettings ports;
    ports.port(SourcePort::HDuke) = {
        true, QDir(games).filePath(QStringLiteral("hduke/hduke.exe")).toStdString()};
    ports.port(SourcePort::NBlood) = {
        true, QDir(games).filePath(QStringLiteral("nblood/nblood.exe")).toStdString()};
    ports.usermapsFolder(Game::Duke3d) = usermaps.toStdString();
    if (!networking.save(config) || !ports.save(config))
        return fail("cannot write the configuration file");

    core::Environment env;
    env.programFolder = folder.path();
    env.mainServerAddress = QStringLiteral("127.0.0.1");
    env.mainServerPort = port;
    env.webHost = QStringLiteral("vantrell.invalid");
    // The usermap transfer between the two programs below, away from the usual port.
    env.fileServerPort = freePort();
    ui::RecordingMessageSink messages;
    app::Program program(env, messages);
    // Shown as main() shows it; from here on every step is a player's, through the driver.
    ui::TForm1& window = program.mainWindow();
    window.show();
    window.resize(900, 600);
    Driver driver;

    // The settings windows, opened from the menu as a player opens them.
    if (!driver.act({"menu", "TForm1", "Settings", "Source Ports"}) ||
        !driver.waitFor({"visible", "TForm2"}, isTrue) ||
        !driver.picture("TForm2", out, "source-port-settings.png") ||
        !driver.act({"close", "TForm2"}))
        return fail(driver.refusal());
    if (!driver.act({"menu", "TForm1", "Settings", "Multiplayer and Networking"}) ||
        !driver.waitFor({"visible", "TForm3"}, isTrue) ||
        !driver.picture("TForm3", out, "networking-settings.png") ||
        !driver.act({"close", "TForm3"}))
        return fail(driver.refusal());

    OtherPlayer caleb{core::LobbyConnection(env.mainServerAddress, port), "Caleb"};
    OtherPlayer wang{core::LobbyConnection(env.mainServerAddress, port), "LoWang"};
    for (auto* other : {&caleb, &wang})
        other->lobby.open();
    if (!waitUntil([&] { return caleb.lobby.isOpen() && wang.lobby.isOpen(); }))
        return fail("the other players could not connect");
    for (auto* other : {&caleb, &wang}) {
        other->lobby.ClientVersionCheck();
        other->lobby.SendUserDetails(other->nickname, QStringLiteral("pc"));
    }
    // Two rooms in the list, one of them private.
    caleb.lobby.send(lobby::AdvertiseRoom{"Caleb", "1", "8501", "Cabal members only", "Blood Game",
                                          "NBlood", "1/4", "cryptic.map", "", "", "No"});
    wang.lobby.send(lobby::AdvertiseRoom{"LoWang", "0", "8501", "Hollywood brawl", "Duke Nukem 3D",
                                         "hDuke", "3/8", "E1L1: Hollywood Holocaust", "DukeMatch",
                                         "Come get some", "No"});

    const auto rowCount = [](int count) {
        return [count](const QJsonValue& rows) { return rows.toArray().size() == count; };
    };
    if (!driver.act({"click", "TForm1", "connectButton"}) ||
        !driver.waitFor({"rows", "TForm1", "usersOnline"}, rowCount(3)) ||
        !driver.waitFor({"enabled", "TForm1", "getRoomsButton"}, isTrue) ||
        !driver.act({"click", "TForm1", "getRoomsButton"}) ||
        !driver.waitFor({"rows", "TForm1", "roomList"}, rowCount(2)))
        return fail(driver.refusal());

    caleb.lobby.sendGlobalChat(caleb.nickname, QStringLiteral("Anyone up for a round?"));
    wang.lobby.sendGlobalChat(wang.nickname, QStringLiteral("Who wants some Wang?"));
    if (!driver.act({"type", "TForm1", "chatLine", "Give me a minute, setting up a room."}) ||
        !driver.act({"click", "TForm1", "sendButton"}) ||
        !driver.waitFor({"text", "TForm1", "lobbyLog"},
                        [](const QJsonValue& log) {
                            return log.toString().contains(
                                QStringLiteral("Duke: Give me a minute, setting up a room."));
                        }) ||
        !driver.waitFor({"enabled", "TForm1", "chatLine"}, isTrue) ||
        !driver.picture("TForm1", out, "main-window.png"))
        return fail(driver.refusal());

    // Two more rooms, one full and running, one for a source port this player has not set
    // up: the "View" menu's filters hide both.
    OtherPlayer ivan{core::LobbyConnection(env.mainServerAddress, port), "Ivan"};
    OtherPlayer shelly{core::LobbyConnection(env.mainServerAddress, port), "Shelly"};
    for (auto* other : {&ivan, &shelly})
        other->lobby.open();
    if (!waitUntil([&] { return ivan.lobby.isOpen() && shelly.lobby.isOpen(); }))
        return fail("the other players could not connect");
    for (auto* other : {&ivan, &shelly}) {
        other->lobby.ClientVersionCheck();
        other->lobby.SendUserDetails(other->nickname, QStringLiteral("pc"));
    }
    ivan.lobby.send(lobby::AdvertiseRoom{"Ivan", "0", "8501", "Midnight siege", "Duke Nukem 3D",
                                         "hDuke", "8/8", "E2L1: Spaceport", "DukeMatch",
                                         "Damn I'm Good", "Yes"});
    shelly.lobby.send(lobby::AdvertiseRoom{"Shelly", "0", "8501", "Old school DM", "Duke Nukem 3D",
                                           "EDuke32-OldMP", "2/6", "dukedc1.map", "DukeMatch",
                                           "Come get some", "No"});
    if (!driver.act({"click", "TForm1", "getRoomsButton"}) ||
        !driver.waitFor({"rows", "TForm1", "roomList"}, rowCount(4)) ||
        !driver.act({"menu", "TForm1", "View", "Hide Full Rooms"}) ||
        !driver.act({"menu", "TForm1", "View", "Only Source Ports I Have Set Up"}) ||
        !driver.waitFor({"rows", "TForm1", "roomList"}, rowCount(2)) ||
        !driver.picture("TForm1", out, "room-filters.png"))
        return fail(driver.refusal());

    if (!driver.act({"menu", "TForm1", "Action", "Create a room", "Duke Nukem 3D", "hDuke"}) ||
        !driver.waitFor({"visible", "TForm5"}, isTrue))
        return fail(driver.refusal() + QStringLiteral(" ") +
                    messages.texts().join(QStringLiteral(" | ")));
    if (!driver.act({"type", "TForm5", "roomNameEdit", "Come get some"}) ||
        !driver.act({"check", "TForm5", "userMapBox", "1"}) ||
        !driver.act({"choose", "TForm5", "userMapList", "roch2.map"}) ||
        !driver.act({"choose", "TForm5", "placesList", "4"}) ||
        !driver.picture("TForm5", out, "room-creation.png"))
        return fail(driver.refusal());

    if (!driver.act({"click", "TForm5", "createRoomButton"}) ||
        !driver.waitFor({"visible", "TForm6"}, isTrue) ||
        !driver.act({"click", "TForm6", "advertiseButton"}))
        return fail(driver.refusal());

    // Caleb joins the room from a program of his own, fetches the usermap from the host's
    // file server and gets ready.
    const QString calebFolder = QDir(folder.path()).filePath(QStringLiteral("caleb"));
    const QString calebMaps = QDir(calebFolder).filePath(QStringLiteral("usermaps"));
    QDir().mkpath(calebMaps);
    settings::ConfigFile calebConfig(calebFolder.toStdString());
    settings::NetworkingSettings calebNetworking = networking;
    calebNetworking.lobbyNickname = "Caleb";
    calebNetworking.inGameNickname = "Caleb";
    calebNetworking.udpPort = "23514";
    settings::SourcePortSettings calebPorts = ports;
    calebPorts.usermapsFolder(Game::Duke3d) = calebMaps.toStdString();
    if (!calebNetworking.save(calebConfig) || !calebPorts.save(calebConfig))
        return fail("cannot write the member's configuration file");
    core::Environment calebEnv = env;
    calebEnv.programFolder = calebFolder;
    ui::RecordingMessageSink calebMessages;
    app::Program member(calebEnv, calebMessages);
    // Its start-up reads its settings, as a player's program does when it opens.
    member.mainWindow().show();
    member.mainWindow().hide();
    member.form7().openRoom(lobby::RoomAddress{"127.0.0.1", networking.tcpPort, "hDuke"});
    if (!driver.waitFor({"enabled", "TForm7", "readyButton"}, isTrue, 20000) ||
        !driver.act({"click", "TForm7", "readyButton"}) ||
        !driver.waitFor({"rows", "TForm6", "memberList"}, memberReady) ||
        !driver.waitFor({"rows", "TForm7", "memberList"}, memberReady))
        return fail(driver.refusal());
    if (!driver.act({"type", "TForm6", "chatEdit", "Ready when you are."}) ||
        !driver.act({"click", "TForm6", "sendButton"}) ||
        !driver.picture("TForm6", out, "room-host.png") ||
        !driver.picture("TForm7", out, "room-member.png"))
        return fail(driver.refusal());
    return 0;
}
