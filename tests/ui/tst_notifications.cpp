#include "ProgramFixture.h"
#include "support/FocusElsewhere.h"
#include "support/NotificationService.h"
#include "support/RoomLab.h"
#include "support/RoomMemberScript.h"
#include "support/ScriptedServer.h"
#include "support/Widgets.h"
#include "ui/common/WindowActivation.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomclient/TForm7.h"
#include "ui/roomhost/TForm5.h"
#include "ui/roomhost/TForm6.h"

#include <list>
#include <optional>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

using namespace vantrell;

class TestNotifications : public QObject
{
    Q_OBJECT
    NotificationService m_service;

private slots:
    void initTestCase() { QVERIFY(m_service.start()); }

    void eventsNotifyOnlyWhileThePlayerIsAway_data()
    {
        QTest::addColumn<QString>("texts"); // summary, body
        QTest::newRow("join") << "Castle: Bob joined|Bob joined the room.";
        QTest::newRow("ready")
            << "Castle: everyone is ready|Every member is ready: the game can be launched.";
        QTest::newRow("chat") << "Castle: Bob mentioned you|Bob: ready, ann?";
        QTest::newRow("launch") << "Keep: the game starts|The host launched the game.";
        QTest::newRow("drop") << "Keep: you left the room|You were dropped from the room.";
        QTest::newRow("member chat") << "Keep: Bob mentioned you|Bob: ready, ann?";
        QTest::newRow("global") << "Global chat: Bob mentioned you|Bob: Ann: <a href='x'>join</a>";
        // A service that renders markup in bodies shows the text as typed.
        QTest::newRow("global markup") << "Global chat: Bob mentioned you|Bob: Ann: "
                                          "&lt;a href=&apos;x&apos;&gt;join&lt;/a&gt;";
    }

    // Each event while a window of the program is active (nothing), while none is (one
    // notification; its click brings the window up), with the menu entry off (nothing) and
    // on again (replacing the first).
    void eventsNotifyOnlyWhileThePlayerIsAway()
    {
        QFETCH(QString, texts);
        const QByteArray event = QByteArray(QTest::currentDataTag()).split(' ').first();
        m_service.markup = QByteArray(QTest::currentDataTag()).endsWith("markup");
        ScriptedServer room; // Ann's main server, or the room Ann joins
        ProgramFixture ann(room.port(), kSpeedUp);
        const quint16 roomPort = freePort();
        ann.writeConfig("[Configured Ports]\r\nTCPPort=" + QByteArray::number(roomPort) +
                        "\r\n[Nicknames]\r\nLauncher Nickname=Ann\r\n[GamePath]\r\nhDuke "
                        "Checkbox=1\r\nhDuke Path=" +
                        ann.configPath().toUtf8() + "\r\n");
        ann.start();
        QWidget* window = &ann.program->form7();
        core::RoomClient* client = &ann.program->roomClient();
        std::list<RoomMemberScript> bobs;
        std::optional<QSignalSpy> happened; // the event, as the program's core reports it
        const auto on = [&](auto* object, auto signal) { happened.emplace(object, signal); };
        on(client, &core::RoomClient::chatMessage);
        std::function<void()> fire = [&] { room.sendLine("RoomChat~Bob~ready, ann?"); };
        if (event == "launch" || event == "drop") {
            fire = [&] {
                event == "launch" ? room.sendLine("TimeToLaunchGame") : room.closeClients();
            };
            event == "launch" ? on(client, &core::RoomClient::gameLaunchRequested)
                              : on(client, &core::RoomClient::droppedFromRoom);
        } else if (event == "join" || event == "ready" || event == "chat") {
            ann.form1->createRoom(SourcePort::HDuke);
            QTest::keyClicks(child<QLineEdit>(ann.form5, "roomNameEdit"), "Castle");
            child<QPushButton>(ann.form5, "createRoomButton")->click();
            window = ann.form6;
            core::RoomHost* host = ann.program->roomHost();
            fire = [&, host] {
                if (event == "join" || bobs.empty()) {
                    QVERIFY(bobs.emplace_back().connectTo(roomPort));
                    bobs.back().send("AddUserToList~Bob~Linux~127.0.0.1~23513");
                    QTRY_COMPARE(host->members().size(), 1 + bobs.size());
                }
                if (event == "ready")
                    bobs.back().send("ClientSentNotReadyMessage");
                if (event != "join")
                    bobs.back().send(event == "ready" ? "ClientSentReadyMessage"
                                                      : "RoomChat~Bob~ready, ann?");
            };
            event == "join"    ? on(host, &core::RoomHost::memberJoined)
            : event == "ready" ? on(host, &core::RoomHost::everyoneReady)
                               : on(host, &core::RoomHost::chatMessage);
        } else if (event == "global") {
            window = ann.form1;
            ann.form1->connectClick();
            QTRY_VERIFY(ann.form1->isConnected());
            fire = [&] { room.sendLine("Globalchat~Bob~Ann: <a href='x'>join</a>"); };
            on(&ann.program->lobby(), &core::LobbyConnection::globalChatReceived);
        }
        std::optional<FocusElsewhere> elsewhere;
        const auto happen = [&](bool away) {
            if (window == &ann.program->form7() && !window->isVisible()) {
                const int lines = room.lines().size() + 2; // "AddUserToList", port request
                ann.program->form7().openRoom(
                    {"127.0.0.1", std::to_string(room.port()), "hDuke", "Keep"});
                QTRY_COMPARE(room.lines().size(), lines);
            }
            if (QApplication::activeWindow() != window)
                ui::bringToFront(window, {}); // the player comes back
            QTRY_COMPARE(QApplication::activeWindow(), window);
            if (away) {
                elsewhere.emplace();
                QTRY_VERIFY(!QApplication::activeWindow());
            }
            happened->clear();
            fire();
            QTRY_VERIFY(!happened->isEmpty());
            QTRY_VERIFY(event != "drop" || !window->isVisible()); // after the message box
            NotificationService::settle();
        };
        m_service.calls.clear();
        happen(false);
        happen(true);
        QCOMPARE(m_service.calls.size(), 1);
        const NotificationService::Call first = m_service.calls.last();
        QCOMPARE(first.texts, texts);
        QVERIFY(first.replacesId == 0 && first.actions.contains("default"));
        QCOMPARE(first.program, "Vantrell"); // the same in every release
        m_service.click(first.id);
        QTRY_COMPARE(QApplication::activeWindow(), event == "drop" ? ann.form1 : window);

        QAction* entry = ann.form1->findChild<QAction*>("desktopNotificationsAction");
        entry->trigger();
        QVERIFY(ann.readConfig().endsWith("[Desktop Notifications]\r\nEnabled=0\r\n"));
        happen(true);
        entry->trigger();
        happen(true);
        QCOMPARE(m_service.calls.size(), 2);
        QCOMPARE(m_service.calls.last().replacesId, first.id);
    }
};

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
