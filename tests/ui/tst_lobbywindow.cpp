#include "ProgramFixture.h"
#include "core/common/LocalAddress.h"
#include "core/lobby/Updater.h"
#include "support/ScriptedServer.h"
#include "support/SilentListener.h"
#include "support/Widgets.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomhost/TForm5.h"
#include "ui/settings/TForm3.h"

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <QTreeWidget>

using namespace vantrell;
using Kind = ui::RecordingMessageSink::Kind;

namespace {
QStringList logLines(ui::TForm1& form)
{
    return form.lobbyLogLines();
}

QStringList users(ui::TForm1& form)
{
    auto* list = child<QTreeWidget>(&form, "usersOnline");
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(0);
    return out;
}

void setNickname(ProgramFixture& program, const QString& nickname)
{
    child<QLineEdit>(program.form3, "lobbyNickname")->setText(nickname);
}

// Starts the program, connects it to the server and waits for its two identifying lines.
void connectTo(ProgramFixture& program, ScriptedServer& server,
               const QString& nickname = QStringLiteral("Ann"))
{
    program.start();
    setNickname(program, nickname);
    program.form1->connectClick();
    QTRY_VERIFY_WITH_TIMEOUT(server.lines().size() >= 2, 10000);
    QCOMPARE(server.lines().first(), QStringLiteral("ClientVersionCheck~Vantrex 3829"));
    QVERIFY(program.form1->isConnected());
}
} // namespace

class TestLobbyWindow : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesTheNetworkingSections()
    {
        ProgramFixture program;
        program.start();
        QCOMPARE(program.readConfig(), QByteArray("[Configured Ports]\r\n"
                                                  "UDPPort=23513\r\n"
                                                  "TCPPort=8501\r\n"
                                                  "[Nicknames]\r\n"
                                                  "Launcher Nickname=Build-game player\r\n"
                                                  "In-Game Nickname=BuildGamer\r\n"
                                                  "[UPnP]\r\n"
                                                  "UPnP Checkbox=1\r\n"));
        QCOMPARE(program.portMappings,
                 QStringList{core::localAddress() + QStringLiteral("|8501|23513")});
        QCOMPARE(program.form1->lobbyNickname(), QStringLiteral("Build-game player"));
        QVERIFY(program.messages.entries().isEmpty());
        // The show-and-close of the networking window leaves the main window unlocked.
        QCOMPARE(menusEnabled(*program.form1), (QList<bool>{true, true, true, true}));
        QVERIFY(child<QPushButton>(program.form1, "connectButton")->isEnabled());
    }

    // The start builds the main window alone; the networking window, built afterwards, shows
    // what the start loaded, cut to the fields and saved back.
    void otherWindowsWaitForTheirFirstUse()
    {
        ProgramFixture fixture;
        fixture.program.reset();
        fixture.writeConfig(
            "[Nicknames]\r\nLauncher Nickname=x\r\nIn-Game Nickname=Elevenchars\r\n");
        app::Program program(fixture.env, fixture.messages, {[](auto&&...) {}});
        program.mainWindow().show();
        QVERIFY(QTest::qWaitForWindowExposed(&program.mainWindow()));
        QCOMPARE(std::ranges::count_if(QApplication::topLevelWidgets(),
                                       [](QWidget* w) { return w->windowType() == Qt::Window; }),
                 1);
        QCOMPARE(program.form3().lobbyNickname(), QStringLiteral("NoNick"));
        QCOMPARE(program.form3().inGameNickname(), QStringLiteral("Elevenchar"));
        QVERIFY(fixture.readConfig().contains(
            "Launcher Nickname=NoNick\r\nIn-Game Nickname=Elevenchar\r\n"));
    }

    // The file beside the program counts, not one in the working folder; the ports for the
    // mapping are the ones in the file at start-up.
    void startUpReadsTheProgramsOwnFile_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<QString>("mapping");
        QTest::newRow("upnp ticked, own ports")
            << QByteArray("[Nicknames]\r\nLauncher Nickname=Zed\r\n[Configured Ports]\r\n"
                          "UDPPort=24000\r\nTCPPort=9000\r\n[UPnP]\r\nUPnP Checkbox=1\r\n")
            << "Zed"
            << "9000|24000";
        QTest::newRow("upnp unticked: no mapping")
            << QByteArray("[Nicknames]\r\nLauncher Nickname=Zed\r\n[UPnP]\r\nUPnP Checkbox=0\r\n")
            << "Zed" << QString();
        QTest::newRow("no upnp section: unticked")
            << QByteArray("[Nicknames]\r\nLauncher Nickname=Zed\r\n") << "Zed" << QString();
        QTest::newRow("no nickname key keeps the initial one")
            << QByteArray("[UPnP]\r\nUPnP Checkbox=1\r\n") << "Build-game player"
            << "8501|23513";
    }
    void startUpReadsTheProgramsOwnFile()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, nickname);
        QFETCH(QString, mapping);

        QTemporaryDir elsewhere;
        {
            QFile decoy(QDir(elsewhere.path()).filePath(QStringLiteral("vantrel.cfg")));
            QVERIFY(decoy.open(QIODevice::WriteOnly));
            decoy.write("[Nicknames]\r\nLauncher Nickname=Decoy\r\n[UPnP]\r\nUPnP Checkbox=1\r\n"
                        "[Configured Ports]\r\nTCPPort=1111\r\n");
        }
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        ProgramFixture program;
        program.writeConfig(config);
        program.start();
        QDir::setCurrent(previous);

        QCOMPARE(program.form1->lobbyNickname(), nickname);
        QCOMPARE(program.form3->lobbyNickname(), nickname);
        if (mapping.isEmpty())
            QCOMPARE(program.portMappings, QStringList());
        else
            QCOMPARE(program.portMappings, QStringList{core::localAddress() + '|' + mapping});
    }

    void windowSizeIsRestoredUpToTheFirstBadValue_data()
    {
        QTest::addColumn<QByteArray>("sizes");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("width");
        // 0: the designed size, kept
        QTest::newRow("both") << QByteArray("Main height=640\r\nMain width=900\r\n") << 640 << 900;
        QTest::newRow("height not a number")
            << QByteArray("Main height=tall\r\nMain width=900\r\n") << 0 << 0;
        QTest::newRow("empty width")
            << QByteArray("Main height=640\r\nMain width=\r\n") << 640 << 0;
        QTest::newRow("below the minimum")
            << QByteArray("Main height=100\r\nMain width=100\r\n") << 0 << 0;
    }
    void windowSizeIsRestoredUpToTheFirstBadValue()
    {
        QFETCH(QByteArray, sizes);
        QFETCH(int, height);
        QFETCH(int, width);
        ProgramFixture program;
        program.writeConfig("[Window Size]\r\n" + sizes);
        program.start();
        if (height)
            QCOMPARE(program.form1->frameGeometry().height(), height);
        else
            QCOMPARE(program.form1->height(), 516);
        if (width)
            QCOMPARE(program.form1->frameGeometry().width(), width);
        else
            QCOMPARE(program.form1->width(), 771);
    }

    void nicknameLengthIsCheckedBeforeConnecting_data()
    {
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("connects");
        const QString empty =
            QStringLiteral("You must change your NickName before joining the Main Server.");
        const QString small = QStringLiteral(
            "You must change your NickName before joining the Main Server, its to small.");
        QTest::newRow("empty: both boxes") << QString() << QStringList{empty, small} << false;
        QTest::newRow("two characters") << "ab" << QStringList{small} << false;
        QTest::newRow("three characters") << "abc" << QStringList{} << true;
    }
    void nicknameLengthIsCheckedBeforeConnecting()
    {
        QFETCH(QString, nickname);
        QFETCH(QStringList, boxes);
        QFETCH(bool, connects);
        ScriptedServer server;
        ProgramFixture program(server.port());
        program.start();
        setNickname(program, nickname);
        program.form1->connectClick();
        QCOMPARE(program.messages.texts(), boxes);
        if (connects) {
            // The version check and the login; a busy machine may add a room-list refresh.
            QTRY_VERIFY(server.lines().size() >= 2);
        } else {
            // Whatever a connection attempt would do, it would have started by now.
            QTest::qWait(200);
            QCOMPARE(server.connectionCount(), 0);
            QVERIFY(!program.form1->isConnected());
        }
    }

    void connectIdentifiesAndLocksTheNickname()
    {
        ScriptedServer server;
        ProgramFixture program(server.port());
        connectTo(program, server, QStringLiteral("Ann"));
        // A room-list refresh may follow on a busy machine.
        QCOMPARE(server.lines().mid(0, 2),
                 (QStringList{"ClientVersionCheck~Vantrex 3829",
                              "AddNickName,Ann," + QSysInfo::machineHostName()}));
        QVERIFY(
            logLines(*program.form1)
                .contains(QStringLiteral("You are now connected to the Vantrell main server!")));
        QVERIFY(!child<QPushButton>(program.form1, "connectButton")->isEnabled());
        QVERIFY(!child<QLineEdit>(program.form3, "lobbyNickname")->isEnabled());

        // An unlock while connected leaves "Connect" off.
        program.form1->DisableForm1Items();
        QCOMPARE(menusEnabled(*program.form1), (QList<bool>{false, false, false, false}));
        QVERIFY(!child<QPushButton>(program.form1, "sendButton")->isEnabled());
        QVERIFY(!child<QLineEdit>(program.form1, "chatLine")->isEnabled());
        program.form1->EnableForm1Items();
        QCOMPARE(menusEnabled(*program.form1), (QList<bool>{true, true, true, true}));
        QVERIFY(child<QPushButton>(program.form1, "sendButton")->isEnabled());
        QVERIFY(!child<QPushButton>(program.form1, "connectButton")->isEnabled());

        // The server going away: logged, the lists keep their contents.
        server.sendLine(QStringLiteral("UserListUpdate,1,Ann"));
        QTRY_COMPARE(users(*program.form1), QStringList{"Ann"});
        server.closeClients();
        QTRY_VERIFY(
            logLines(*program.form1).contains(QStringLiteral("Disconnected from the server.")));
        QCOMPARE(users(*program.form1), QStringList{"Ann"});
        QVERIFY(child<QLineEdit>(program.form3, "lobbyNickname")->isEnabled());
        // "Connect" comes back at once in an unlocked window: the player can connect again.
        QVERIFY(child<QPushButton>(program.form1, "connectButton")->isEnabled());
    }

    // What each lock leaves usable (menus, "Send", the chat line, "Connect"); one unlock
    // gives everything back.
    void locksAndTheUnlock_data()
    {
        QTest::addColumn<int>("lock");
        QTest::addColumn<QList<bool>>("usable");
        QTest::newRow("full") << 0 << QList<bool>{false, false, false, false};
        QTest::newRow("menus only") << 1 << QList<bool>{false, true, true, true};
        QTest::newRow("hosted room") << 2 << QList<bool>{false, true, true, false};
    }
    void locksAndTheUnlock()
    {
        QFETCH(int, lock);
        QFETCH(QList<bool>, usable);
        ProgramFixture program;
        program.start();
        ui::TForm1& form = *program.form1;
        if (lock == 1) {
            form.DisableForm1Menus();
        } else {
            form.DisableForm1Items();
            if (lock == 2)
                form.enableChatItems();
        }
        const auto state = [&form] {
            return QList<bool>{menusEnabled(form) == QList<bool>{true, true, true, true},
                               child<QPushButton>(&form, "sendButton")->isEnabled(),
                               child<QLineEdit>(&form, "chatLine")->isEnabled(),
                               child<QPushButton>(&form, "connectButton")->isEnabled()};
        };
        QCOMPARE(menusEnabled(form), (QList<bool>{false, false, false, false}));
        QCOMPARE(state(), usable);
        form.EnableForm1Items();
        QCOMPARE(state(), (QList<bool>{true, true, true, true}));
    }

    void unreachableServerIsReported()
    {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        ProgramFixture program(port);
        program.start();
        program.form1->connectClick();
        QTRY_COMPARE_WITH_TIMEOUT(program.messages.entries().size(), 1, 10000);
        QVERIFY(program.messages.texts().first().startsWith(
            QStringLiteral("CLIENT CONNECTION ERROR, server might be down! ")));
        QVERIFY(program.messages.texts().first().size() >
                QStringLiteral("CLIENT CONNECTION ERROR, server might be down! ").size());
        QVERIFY(child<QPushButton>(program.form1, "connectButton")->isEnabled());
        QVERIFY(!program.form1->isConnected());
    }

    // An address that drops connection attempts: "Connect" reads "Cancel" while connecting
    // and gives the attempt up without a word; left alone, the attempt ends at its limit.
    void silentServerCanBeCancelledOrTimesOut()
    {
        SilentListener silent;
        QVERIFY(silent.open());
        ProgramFixture program(silent.server.serverPort());
        program.start();
        auto* button = child<QPushButton>(program.form1, "connectButton");
        program.form1->connectClick();
        button->click();
        QTest::qWait(500); // past the limit (200 ms sped up)
        QVERIFY(program.messages.texts().isEmpty());
        button->click();
        QTRY_COMPARE(program.messages.texts(), QStringList{"CLIENT CONNECTION ERROR, server might "
                                                           "be down! Connection timed out"});
    }

    void userListsFillUsersOnline()
    {
        ScriptedServer server;
        ProgramFixture program(server.port());
        connectTo(program, server);
        auto* count = child<QLineEdit>(program.form1, "clientsConnectedBox");
        server.sendLine(QStringLiteral("UserListUpdate,3,Ann,\"Smith, J\""));
        QTRY_COMPARE(users(*program.form1), (QStringList{"Ann", "Smith, J"}));
        QCOMPARE(count->text(), QStringLiteral("3"));
        server.sendLine(QStringLiteral("UpdateTimedUserList~1~Cid~Extra"));
        QTRY_COMPARE(users(*program.form1), QStringList{"Cid"});
        QCOMPARE(count->text(), QStringLiteral("3"));
        server.sendLine(QStringLiteral("UserListUpdate,0"));
        QTRY_COMPARE(count->text(), QStringLiteral("0"));
        QCOMPARE(users(*program.form1), QStringList());
    }

    void chatIsThrottledAndShownWhenRelayed()
    {
        ScriptedServer server;
        ProgramFixture program(server.port());
        connectTo(program, server, QStringLiteral("Ann"));
        auto* chat = child<QLineEdit>(program.form1, "chatLine");
        auto* send = child<QPushButton>(program.form1, "sendButton");

        chat->setText(QStringLiteral("hello"));
        QTest::keyClick(chat, Qt::Key_Return);
        QCOMPARE(chat->text(), QString());
        QVERIFY(!chat->isEnabled());
        QVERIFY(!send->isEnabled());
        // Typed while throttled: a disabled line takes nothing, a click does nothing.
        QTest::keyClicks(chat, QStringLiteral("second"));
        QTest::mouseClick(send, Qt::LeftButton);
        QTRY_VERIFY(chat->isEnabled());
        QVERIFY(send->isEnabled());
        QVERIFY(!child<QPushButton>(program.form1, "connectButton")->isEnabled());
        chat->setText(QStringLiteral("again"));
        QTest::mouseClick(send, Qt::LeftButton);
        // Only the chat lines: the sped-up room refresh may ask for rooms meanwhile.
        const auto chatLines = [&server] {
            return server.lines().filter(QRegularExpression(QStringLiteral("^Globalchat~")));
        };
        QTRY_COMPARE(chatLines().size(), 2);
        QCOMPARE(chatLines(), (QStringList{"Globalchat~Ann~hello", "Globalchat~Ann~again"}));
        // Our own line appears only when the server sends it back.
        QVERIFY(!logLines(*program.form1).contains(QStringLiteral("Ann: hello")));
        server.sendLine(QStringLiteral("Globalchat~Ann~hello"));
        QTRY_VERIFY(logLines(*program.form1).contains(QStringLiteral("Ann: hello")));
    }

    void enterOnAnEmptyChatLineSendsNothing()
    {
        ScriptedServer server;
        ProgramFixture program(server.port());
        connectTo(program, server);
        auto* chat = child<QLineEdit>(program.form1, "chatLine");
        QTest::keyClick(chat, Qt::Key_Return);
        QVERIFY(chat->isEnabled());
        program.form1->getRoomsListClick();
        // The click's request follows whatever Enter sent; the sped-up room refresh may ask
        // for rooms meanwhile, so only chat lines count.
        QTRY_COMPARE(server.lines().last(), QStringLiteral("RequestRoomsList"));
        QVERIFY(
            server.lines().filter(QRegularExpression(QStringLiteral("^Globalchat~"))).isEmpty());
    }

    void chatWhileNotConnectedIsRefused()
    {
        ProgramFixture program;
        program.start();
        auto* chat = child<QLineEdit>(program.form1, "chatLine");
        chat->setText(QStringLiteral("anyone?"));
        QTest::keyClick(chat, Qt::Key_Return);
        QCOMPARE(logLines(*program.form1).last(),
                 QStringLiteral("You are not connected to the server!"));
        QCOMPARE(chat->text(), QString());
        QVERIFY(!chat->isEnabled());
        QTRY_VERIFY(chat->isEnabled());
        QVERIFY(child<QPushButton>(program.form1, "connectButton")->isEnabled());
    }

    // The refresh asks for rooms only while "Get Rooms List" is enabled (a game running
    // turns it off).
    void roomRefreshFollowsTheGetRoomsButton()
    {
        ScriptedServer server;
        // Answered as the main server does, or the lobby takes the silence for a lost link.
        connect(&server, &ScriptedServer::lineReceived, this, [&](const QString& line) {
            if (line == "RequestRoomsList")
                server.sendLine(QString());
        });
        ProgramFixture program(server.port());
        connectTo(program, server);
        QTRY_VERIFY(server.lines().count(QStringLiteral("RequestRoomsList")) >= 2);

        program.form1->setGetRoomsListEnabled(false);
        auto* chat = child<QLineEdit>(program.form1, "chatLine");
        chat->setText(QStringLiteral("first"));
        program.form1->sendClick();
        QTRY_VERIFY(server.lines().contains(QStringLiteral("Globalchat~Ann~first")));
        const int from = static_cast<int>(server.lines().size());
        // Five refresh periods (10 s each, sped up).
        QTest::qWait(
            static_cast<int>(program.env.timing.interval(std::chrono::seconds(50)).count()));
        QTRY_VERIFY(chat->isEnabled());
        chat->setText(QStringLiteral("second"));
        program.form1->sendClick();
        QTRY_VERIFY(server.lines().contains(QStringLiteral("Globalchat~Ann~second")));
        QCOMPARE(server.lines().mid(from), QStringList{"Globalchat~Ann~second"});

        program.form1->setGetRoomsListEnabled(true);
        const int before =
            static_cast<int>(server.lines().count(QStringLiteral("RequestRoomsList")));
        QTRY_VERIFY(server.lines().count(QStringLiteral("RequestRoomsList")) > before);
    }

    void outdatedVersionOffersTheUpdater_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("updaterPresent");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("ends");
        const QString question = QStringLiteral("Client Update - Would you like to auto update?");
        QTest::newRow("no") << false << false << true << QStringList{question} << false;
        QTest::newRow("yes, updater missing")
            << false << true << false
            << QStringList{question,
                           "Unable to Auto Update because the file \"updater\" is missing."}
            << false;
        QTest::newRow("yes, updater present")
            << false << true << true << QStringList{question} << true;
        // An installed program points at its package and never runs a stray updater.
        QTest::newRow("installed, updater present")
            << true << true << true << QStringList{core::packageUpdateText()} << false;
    }
    void outdatedVersionOffersTheUpdater()
    {
        QFETCH(bool, installed);
        QFETCH(bool, answer);
        QFETCH(bool, updaterPresent);
        QFETCH(QStringList, boxes);
        QFETCH(bool, ends);

        QTemporaryDir workingFolder;
        const QString marker = QDir(workingFolder.path()).filePath(QStringLiteral("started"));
        if (updaterPresent) {
            QFile updater(QDir(workingFolder.path()).filePath(QStringLiteral("updater")));
            QVERIFY(updater.open(QIODevice::WriteOnly));
            updater.write("#!/bin/sh\necho started > started\n");
            updater.close();
            QVERIFY(updater.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workingFolder.path()));

        ScriptedServer server;
        ProgramFixture program(server.port());
        program.env.installed = installed;
        connectTo(program, server);
        program.messages.queueAnswer(answer);
        server.sendLine(QStringLiteral("UserListUpdate,1,Ann"));
        QTRY_COMPARE(users(*program.form1), QStringList{"Ann"});
        // The wait does not hold anything up: at the disconnection nothing has been asked.
        qsizetype boxesAtDisconnect = -1;
        connect(&program.program->lobby(), &core::LobbyConnection::disconnected, this,
                [&] { boxesAtDisconnect = program.messages.entries().size(); });
        server.sendLine(QStringLiteral("WrongVersion~extra"));
        QTRY_COMPARE(program.messages.texts(), boxes);
        QDir::setCurrent(previous);

        QCOMPARE(boxesAtDisconnect, 0);
        const QStringList log = logLines(*program.form1);
        const int advice = static_cast<int>(log.indexOf(
            QStringLiteral("You have an outdated version of Vantrex. Please download the most "
                           "recent version from https://maps.example.test/vantrex.zip.")));
        QVERIFY(advice >= 0);
        QCOMPARE(log.value(advice + 1), QStringLiteral("Disconnected from the server."));
        QVERIFY(!program.form1->isConnected());
        QCOMPARE(users(*program.form1), QStringList());
        QCOMPARE(program.messages.entries().first().kind,
                 installed ? Kind::Information : Kind::Question);
        QCOMPARE(program.programEndRequests, ends ? 1 : 0);
        if (ends) {
            QTRY_VERIFY(QFile::exists(marker));
        } else {
            QVERIFY(child<QPushButton>(program.form1, "connectButton")->isEnabled());
            QVERIFY(!QFile::exists(marker));
        }
    }

    void createRoomChecks_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("opens");
        const QString folderBox = QStringLiteral("You need to configure a UserMaps folder for maps "
                                                 "in the settings before creating a game!");
        // EXE and DIR stand for an existing executable and folder, MISSING for neither.
        QTest::newRow("no file: M1 then M2")
            << "hDuke" << QByteArray()
            << QStringList{"You need to enable the hDuke Source Port in the options!",
                           "You need to configure hDuke as a Source Port first before creating "
                           "a game!"}
            << QStringList{} << false;
        QTest::newRow("not enabled, path set")
            << "NBlood" << QByteArray("[GamePath]\r\nnBlood Path=EXE\r\nnBlood Checkbox=0\r\n")
            << QStringList{"You need to enable the NBlood Source Port in the options!"}
            << QStringList{} << false;
        QTest::newRow("enabled, no path")
            << "OldMP" << QByteArray("[GamePath]\r\nEDuke32-OldMP Checkbox=1\r\n")
            << QStringList{"You need to configure EDuke32-OldMP as a Source Port first before "
                           "creating a game!"}
            << QStringList{} << false;
        QTest::newRow("no usermaps folder")
            << "hDuke" << QByteArray("[GamePath]\r\nhDuke Path=EXE\r\nhDuke Checkbox=1\r\n")
            << QStringList{folderBox} << QStringList{} << false;
        const QStringList hDukeExecutable{"", "The SourcePort for the hDuke settings is invalid.",
                                          "Please configure your hDuke settings.", ""};
        const QStringList hDukeFolder{
            "", "Your Duke Nukem 3D UserMaps folder is invalid.",
            "Please configure your UserMap folder settings to store maps.", ""};
        QTest::newRow("hDuke checks the executable first")
            << "hDuke"
            << QByteArray("[GamePath]\r\nhDuke Path=MISSING\r\nhDuke Checkbox=1\r\n"
                          "[Usermaps Directorys]\r\nDuke3d Usermaps Path=MISSING\r\n")
            << QStringList{} << hDukeExecutable << false;
        QTest::newRow("hDuke folder missing")
            << "hDuke"
            << QByteArray("[GamePath]\r\nHDUKE PATH=EXE\r\nhDuke Checkbox=1\r\n"
                          "[usermaps directorys]\r\nDuke3d Usermaps Path=MISSING\r\n")
            << QStringList{} << hDukeFolder << false;
        QTest::newRow("OldMP checks the folder first")
            << "OldMP"
            << QByteArray("[GamePath]\r\nEDuke32-OldMP Path=MISSING\r\nEDuke32-OldMP Checkbox=1\r\n"
                          "[Usermaps Directorys]\r\nDuke3d Usermaps Path=MISSING\r\n")
            << QStringList{}
            << QStringList{"", "Your Duke Nukem 3D UserMaps location is invalid.",
                           "Please check your Duke Nukem 3D UserMaps folder location settings.", ""}
            << false;
        QTest::newRow("NBlood checks the folder first")
            << "NBlood"
            << QByteArray("[GamePath]\r\nnBlood Path=MISSING\r\nnBlood Checkbox=1\r\n"
                          "[Usermaps Directorys]\r\nBlood Usermaps Path=MISSING\r\n")
            << QStringList{}
            << QStringList{"", "Your Blood UserMaps location is invalid.",
                           "Please check your Blood UserMaps folder location settings.", ""}
            << false;
        QTest::newRow("NBlood executable missing")
            << "NBlood"
            << QByteArray("[GamePath]\r\nnBlood Path=MISSING\r\nnBlood Checkbox=1\r\n"
                          "[Usermaps Directorys]\r\nBlood Usermaps Path=DIR\r\n")
            << QStringList{}
            << QStringList{"", "Your NBlood SourcePort location is invalid.",
                           "Please check your Blood NBlood path settings.", ""}
            << false;
        QTest::newRow("hDuke opens")
            << "hDuke"
            << QByteArray("[GamePath]\r\nhDuke Path=EXE\r\nhDuke Checkbox=1\r\n"
                          "[Usermaps Directorys]\r\nDuke3d Usermaps Path=DIR\r\n")
            << QStringList{} << QStringList{} << true;
        QTest::newRow("OldMP opens")
            << "OldMP"
            << QByteArray("[GamePath]\r\nEDuke32-OldMP Path=EXE\r\nEDuke32-OldMP Checkbox=1\r\n"
                          "[Usermaps Directorys]\r\nDuke3d Usermaps Path=DIR\r\n")
            << QStringList{} << QStringList{} << true;
        QTest::newRow("NBlood opens")
            << "NBlood"
            << QByteArray("[GamePath]\r\nnBlood Path=EXE\r\nnBlood Checkbox=$1\r\n"
                          "[Usermaps Directorys]\r\nBlood Usermaps Path=DIR\r\n")
            << QStringList{} << QStringList{} << true;
    }
    void createRoomChecks()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, config);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, log);
        QFETCH(bool, opens);

        ProgramFixture program;
        QTemporaryDir games;
        const QString executable = QDir(games.path()).filePath(QStringLiteral("port.exe"));
        QFile(executable).open(QIODevice::WriteOnly);
        const QString folder = QDir(games.path()).filePath(QStringLiteral("usermaps"));
        QVERIFY(QDir().mkpath(folder));
        program.start();
        if (!config.isEmpty()) {
            config.replace("EXE", executable.toUtf8());
            config.replace("DIR", folder.toUtf8());
            config.replace("MISSING", QDir(games.path()).filePath(QStringLiteral("gone")).toUtf8());
            program.writeConfig(config);
        } else {
            QVERIFY(QFile::remove(program.configPath()));
        }
        const QStringList logBefore = logLines(*program.form1);

        // Through the menu, as the player does it.
        QAction* entry = nullptr;
        for (QAction* action : program.form1->findChildren<QAction*>())
            if (action->text() == (command == "OldMP" ? QStringLiteral("EDuke32-OldMP") : command))
                entry = action;
        QVERIFY(entry);
        entry->trigger();

        QCOMPARE(program.messages.texts(), boxes);
        QCOMPARE(logLines(*program.form1).mid(logBefore.size()), log);
        QCOMPARE(program.form5->isVisible(), opens);
        QCOMPARE(menusEnabled(*program.form1), (QList<bool>{!opens, !opens, !opens, !opens}));
        if (opens)
            QCOMPARE(QString::fromLatin1(sourcePortRow(program.form5->kind()).kindName), command);
    }

    // A window opened from the menu comes up active, ready for the keyboard: a display
    // server need not activate a window only because it is shown.
    void menuWindowsComeUpActive_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("source ports") << "Source Ports";
        QTest::newRow("networking") << "Multiplayer and Networking";
        QTest::newRow("manual join") << "Join a room manually";
    }
    void menuWindowsComeUpActive()
    {
        QFETCH(QString, entry);
        ProgramFixture program;
        program.start();
        for (QAction* action : program.form1->findChildren<QAction*>())
            if (action->text() == entry)
                action->trigger();
        QTRY_VERIFY(QApplication::activeWindow() && QApplication::activeWindow() != program.form1);
        QVERIFY(QApplication::activeWindow()->isVisible());
    }

    void closingSavesTheSizeAndEnds()
    {
        ScriptedServer server;
        ProgramFixture program(server.port());
        connectTo(program, server);
        program.form1->resize(800, 600);
        const QSize outer = program.form1->frameGeometry().size();
        program.form1->close();
        QCOMPARE(program.programEndRequests, 1);
        QVERIFY(!program.form1->isConnected());
        QVERIFY(program.readConfig().endsWith(QStringLiteral("[Window Size]\r\nMain height=%1\r\n"
                                                             "Main width=%2\r\n")
                                                  .arg(outer.height())
                                                  .arg(outer.width())
                                                  .toLatin1()));
        QVERIFY(program.messages.entries().isEmpty());
        // No farewell line: after the login, nothing but the room list's refresh, which
        // comes every 200 ms here and so may fall before the close on a busy machine.
        QTest::qWait(50);
        for (const QString& line : server.lines().mid(2))
            QCOMPARE(line, QStringLiteral("RequestRoomsList"));
    }

    void closingWithAnUnwritableFileStillEnds()
    {
        QTemporaryDir dir;
        const QString notAFolder = QDir(dir.path()).filePath(QStringLiteral("file"));
        QFile(notAFolder).open(QIODevice::WriteOnly);
        ProgramFixture program(4444, 50, notAFolder + QStringLiteral("/program"));
        program.form1->show();
        program.messages.clear();
        program.form1->close();
        QCOMPARE(program.messages.texts(),
                 QStringList{"Unable to save to the config file vantrel.cfg"});
        QCOMPARE(program.programEndRequests, 1);
    }

    void quitEndsWithoutSaving()
    {
        ProgramFixture program;
        program.start();
        for (QAction* action : program.form1->findChildren<QAction*>())
            if (action->text() == QStringLiteral("Quit"))
                action->trigger();
        QCOMPARE(program.programEndRequests, 1);
        QVERIFY(!program.readConfig().contains("Window Size"));
    }
};

QTEST_MAIN(TestLobbyWindow)
#include "tst_lobbywindow.moc"
