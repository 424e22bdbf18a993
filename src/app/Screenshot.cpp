// Renders the program's windows as a player sees them in a busy lobby, into PNG files, without
// a display (run with QT_QPA_PLATFORM=offscreen). It starts a vantrell-server of its own on a
// free loopback port and brings two more players in, so the pictures show real users, real
// chat and real rooms. Used by scripts/screenshot for the README.
//
//   vantrell-screenshot <output folder> <path to vantrell-server>

#include "app/Program.h"
#include "base/lobby/RoomAddress.h"
#include "base/settings/NetworkingSettings.h"
#include "base/settings/SourcePortSettings.h"
#include "core/lobby/LobbyConnection.h"
#include "ui/common/RecordingMessageSink.h"
#include "ui/lobby/RoomListView.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomclient/TForm7.h"
#include "ui/roomhost/TForm5.h"
#include "ui/roomhost/TForm6.h"
#include "ui/settings/TForm2.h"
#include "ui/settings/TForm3.h"

#include <functional>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTreeWidget>

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

int fail(const char* what)
{
    qCritical("vantrell-screenshot: %s", what);
    return 1;
}

// A TCP port nothing listens on right now, for the room this tool hosts.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QAction* menuAction(QWidget* window, const QStringList& path)
{
    const QList<QAction*> top = window->findChild<QMenuBar*>()->actions();
    QList<QAction*> actions = top;
    QAction* found = nullptr;
    for (const QString& step : path) {
        found = nullptr;
        for (QAction* action : actions)
            if (action->text() == step)
                found = action;
        if (!found)
            return nullptr;
        actions = found->menu() ? found->menu()->actions() : QList<QAction*>{};
    }
    return found;
}

template <typename T>
T* child(QWidget& window, const char* name)
{
    return window.findChild<T*>(QLatin1String(name));
}

bool save(QWidget& window, const QString& folder, const char* name)
{
    settle();
    return window.grab().save(QDir(folder).filePath(QLatin1String(name)), "PNG");
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
    QApplication::setApplicationName(QStringLiteral("Vantrell Alpha Version 3829"));
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
    ui::TForm1& window = program.mainWindow();
    window.show();
    window.resize(900, 600);

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

    window.connectClick();
    auto* users = window.findChild<QTreeWidget*>(QStringLiteral("usersOnline"));
    if (!waitUntil([&] { return users->topLevelItemCount() == 3; }))
        return fail("the users list did not fill");
    window.getRoomsListClick();
    if (!waitUntil([&] { return window.roomList()->model()->rowCount() == 2; }))
        return fail("the room list did not fill");

    caleb.lobby.sendGlobalChat(caleb.nickname, QStringLiteral("Anyone up for a round?"));
    wang.lobby.sendGlobalChat(wang.nickname, QStringLiteral("Who wants some Wang?"));
    auto* chat = child<QLineEdit>(window, "chatLine");
    chat->setText(QStringLiteral("Give me a minute, setting up a room."));
    window.sendClick();
    if (!waitUntil([&] {
            return window.lobbyLogLines().contains(
                QStringLiteral("Duke: Give me a minute, setting up a room."));
        }))
        return fail("the chat did not come back");
    waitUntil([&] { return chat->isEnabled(); });
    if (!save(window, out, "main-window.png"))
        return fail("cannot write the main window's picture");

    program.form2().show();
    program.form2().activateWindow();
    if (!save(program.form2(), out, "source-port-settings.png"))
        return fail("cannot write the source-port settings picture");
    program.form2().close();

    program.form3().show();
    program.form3().activateWindow();
    if (!save(program.form3(), out, "networking-settings.png"))
        return fail("cannot write the networking settings picture");
    program.form3().close();

    QAction* hDuke = menuAction(&window, {"Action", "Create a room", "Duke Nukem 3D", "hDuke"});
    if (!hDuke)
        return fail("no hDuke entry in the create-room menu");
    hDuke->trigger();
    ui::TForm5& creation = program.form5();
    if (!waitUntil([&] { return creation.isVisible(); }))
        return fail(qPrintable(QStringLiteral("the creation window did not open: ") +
                               messages.texts().join(QStringLiteral(" | "))));
    child<QLineEdit>(creation, "roomNameEdit")->setText(QStringLiteral("Come get some"));
    child<QCheckBox>(creation, "userMapBox")->setChecked(true);
    child<QComboBox>(creation, "userMapList")->setCurrentText(QStringLiteral("roch2.map"));
    child<QComboBox>(creation, "placesList")->setCurrentText(QStringLiteral("4"));
    if (!save(creation, out, "room-creation.png"))
        return fail("cannot write the creation window's picture");

    child<QPushButton>(creation, "createRoomButton")->click();
    ui::TForm6& host = program.form6();
    if (!waitUntil([&] { return host.isVisible(); }))
        return fail("the room host window did not open");
    child<QPushButton>(host, "advertiseButton")->click();

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
    auto* ready = child<QPushButton>(member.form7(), "readyButton");
    if (!waitUntil([&] { return ready->isEnabled(); }, 20000))
        return fail("the member's usermap check did not end");
    ready->click();
    auto* members = child<QTreeWidget>(host, "memberList");
    if (!waitUntil([&] {
            return members->topLevelItemCount() == 2 &&
                   members->topLevelItem(1)->data(0, Qt::UserRole).toString() ==
                       QStringLiteral("0");
        }))
        return fail("the member did not get ready");
    auto* ownRows = child<QTreeWidget>(member.form7(), "memberList");
    if (!waitUntil([&] {
            return ownRows->topLevelItemCount() == 2 &&
                   ownRows->topLevelItem(1)->data(0, Qt::UserRole).toString() ==
                       QStringLiteral("0");
        }))
        return fail("the member's list did not show him ready");
    auto* hostChat = child<QLineEdit>(host, "chatEdit");
    hostChat->setText(QStringLiteral("Ready when you are."));
    child<QPushButton>(host, "sendButton")->click();
    settle();
    if (!save(host, out, "room-host.png"))
        return fail("cannot write the room host window's picture");
    if (!save(member.form7(), out, "room-member.png"))
        return fail("cannot write the member's room window's picture");
    return 0;
}
