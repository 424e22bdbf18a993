// Renders the main window as a player sees it in a busy lobby, into a PNG file, without a
// display (run with QT_QPA_PLATFORM=offscreen). It starts a vantrell-server of its own on
// a free loopback port and brings two more players in, so the picture shows real users
// and real chat. Used by scripts/screenshot for the README.
//
//   vantrell-screenshot <output.png> <path to vantrell-server>

#include "app/Program.h"
#include "base/settings/NetworkingSettings.h"
#include "core/lobby/LobbyConnection.h"
#include "ui/common/RecordingMessageSink.h"
#include "ui/lobby/RoomListView.h"
#include "ui/lobby/TForm1.h"

#include <functional>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
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

int fail(const char* what)
{
    qCritical("vantrell-screenshot: %s", what);
    return 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrell Alpha Version 3829"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return fail("usage: vantrell-screenshot <output.png> <vantrell-server>");

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

    // A program folder of its own, with port forwarding off: nothing leaves this machine.
    QTemporaryDir folder;
    settings::ConfigFile config(folder.path().toStdString());
    settings::NetworkingSettings networking;
    networking.lobbyNickname = "Duke";
    networking.upnp = false;
    if (!networking.save(config))
        return fail("cannot write the configuration file");

    core::Environment env;
    env.programFolder = folder.path();
    env.mainServerAddress = QStringLiteral("127.0.0.1");
    env.mainServerPort = port;
    env.webHost = QStringLiteral("vantrell.invalid");
    ui::RecordingMessageSink messages;
    app::Program program(env, messages);
    ui::TForm1& window = program.mainWindow();
    window.show();
    window.resize(900, 600);

    core::LobbyConnection caleb(env.mainServerAddress, port);
    core::LobbyConnection wang(env.mainServerAddress, port);
    for (auto* other : {&caleb, &wang})
        other->open();
    if (!waitUntil([&] { return caleb.isOpen() && wang.isOpen(); }))
        return fail("the other players could not connect");
    for (auto* other : {&caleb, &wang})
        other->ClientVersionCheck();
    caleb.SendUserDetails(QStringLiteral("Caleb"), QStringLiteral("crypt"));
    wang.SendUserDetails(QStringLiteral("LoWang"), QStringLiteral("dojo"));

    // Two rooms in the list, one of them private.
    caleb.send(lobby::AdvertiseRoom{"Caleb", "1", "8501", "Cabal members only", "Blood Game",
                                    "NBlood", "1/4", "cryptic.map", "", "", "No"});
    wang.send(lobby::AdvertiseRoom{"LoWang", "0", "8501", "Hollywood brawl", "Duke Nukem 3D",
                                   "hDuke", "3/8", "E1L1: Hollywood Holocaust", "DukeMatch",
                                   "Come get some", "No"});

    window.connectClick();
    auto* users = window.findChild<QTreeWidget*>(QStringLiteral("usersOnline"));
    if (!waitUntil([&] { return users->topLevelItemCount() == 3; }))
        return fail("the users list did not fill");
    window.getRoomsListClick();
    if (!waitUntil([&] { return window.roomList()->model()->rowCount() == 2; }))
        return fail("the room list did not fill");

    caleb.sendGlobalChat(QStringLiteral("Caleb"), QStringLiteral("Anyone up for a round?"));
    wang.sendGlobalChat(QStringLiteral("LoWang"), QStringLiteral("Who wants some Wang?"));
    auto* chat = window.findChild<QLineEdit*>(QStringLiteral("chatLine"));
    chat->setText(QStringLiteral("Give me a minute, setting up a room."));
    window.sendClick();
    if (!waitUntil([&] {
            return window.lobbyLogLines().contains(
                QStringLiteral("Duke: Give me a minute, setting up a room."));
        }))
        return fail("the chat did not come back");
    waitUntil([&] { return chat->isEnabled(); });

    if (!window.grab().save(arguments.at(1), "PNG"))
        return fail("cannot write the picture");
    return 0;
}
