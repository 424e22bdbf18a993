#include "ProgramFixture.h"
#include "base/settings/ConfigFile.h"
#include "core/transfer/FileServer.h"
#include "support/RoomLab.h"
#include "support/RoomWindows.h"
#include "support/ScriptedServer.h"
#include "support/Widgets.h"
#include "ui/common/MemberListView.h"
#include "ui/common/ReadyPictures.h"
#include "ui/common/SettingsListView.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomclient/TForm7.h"
#include "ui/roomhost/TForm5.h"
#include "ui/roomhost/TForm6.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

using namespace vantrell;

namespace {

QByteArray config(const QString& nickname, quint16 roomPort, const QString& maps,
                  const QString& sourcePort)
{
    const QByteArray folder = maps.toUtf8();
    const QByteArray exe = sourcePort.toUtf8();
    return "[Configured Ports]\r\nUDPPort=23999\r\nTCPPort=" + QByteArray::number(roomPort) +
           "\r\n[Nicknames]\r\nLauncher Nickname=" + nickname.toUtf8() +
           "\r\n[GamePath]\r\nhDuke Checkbox=1\r\nhDuke Path=" + exe +
           "\r\n[Usermaps Directorys]\r\nDuke3d Usermaps Path=" + folder +
           "\r\nBlood Usermaps Path=" + folder + "\r\n";
}

} // namespace

class TestRoomClientWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_hostMaps;
    QTemporaryDir m_memberMaps;
    QString m_sourcePort;

    std::unique_ptr<ProgramFixture> member()
    {
        auto p = std::make_unique<ProgramFixture>(4444, kSpeedUp);
        p->writeConfig(config("MemberBob", freePort(), m_memberMaps.path(), m_sourcePort));
        p->start();
        return p;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_hostMaps.isValid() && m_memberMaps.isValid());
        QFile map(QDir(m_hostMaps.path()).filePath("castle.map"));
        QVERIFY(map.open(QIODevice::WriteOnly));
        QVERIFY(map.write(QByteArray(200000, 'c')) == 200000);
        m_sourcePort = QDir(m_hostMaps.path()).filePath("sourceport.exe");
        QFile exe(m_sourcePort);
        QVERIFY(exe.open(QIODevice::WriteOnly));
    }

    // A member joins a usermap room it lacks the map of: the map comes from the host's
    // file server, "Ready" becomes usable, and the host sees the member ready.
    void joinFetchesTheUsermapAndGetsReady()
    {
        const quint16 roomPort = freePort();
        ProgramFixture host(4444, kSpeedUp);
        host.env.fileServerPort = 0;
        host.writeConfig(config("HostAnn", roomPort, m_hostMaps.path(), m_sourcePort));
        host.start();
        host.form1->createRoom(SourcePort::HDuke);
        QVERIFY(host.form5->isVisible());
        child<QCheckBox>(host.form5, "userMapBox")->click();
        auto* userMaps = child<QComboBox>(host.form5, "userMapList");
        userMaps->setCurrentIndex(userMaps->findText("castle.map"));
        QTest::keyClicks(child<QLineEdit>(host.form5, "roomNameEdit"), "Castle");
        child<QPushButton>(host.form5, "createRoomButton")->click();
        QVERIFY(host.form6->isVisible());
        QVERIFY(host.program->fileServer().isListening());

        auto bob = member();
        bob->env.fileServerPort = host.program->fileServer().serverPort();
        ui::TForm7& form = bob->program->form7();
        form.openRoom({"127.0.0.1", std::to_string(roomPort), "hDuke"});
        QVERIFY(form.isVisible());
        QCOMPARE(form.windowTitle(), QString("Room"));
        // Menus locked once the room connection is made, not while it is being made; the
        // chat stays usable.
        QCOMPARE(menusEnabled(*bob->form1), (QList<bool>{true, true, true, true}));
        QTRY_COMPARE(menusEnabled(*bob->form1), (QList<bool>{false, false, false, false}));
        auto* ready = child<QPushButton>(&form, "readyButton");
        QVERIFY(!ready->isEnabled());

        const QString stored = m_memberMaps.path() + "/castle.map";
        QTRY_VERIFY_WITH_TIMEOUT(logLines(&form).contains("Usermap transfer success: " + stored),
                                 10000);
        QVERIFY(logLines(&form).contains("You are now connected to the Room!"));
        QVERIFY(ready->isEnabled());
        QCOMPARE(QFileInfo(stored).size(), 200000);
        QVERIFY(logLines(host.form6)
                    .contains("Sent file to a client " + m_hostMaps.path() + "/castle.map"));
        auto* settings = child<ui::SettingsListView>(&form, "settingsList");
        QCOMPARE(settings->topLevelItemCount(), 17);
        QCOMPARE(settings->topLevelItem(2)->text(1), QString("castle.map"));

        ready->click();
        QTRY_COMPARE(pictureOf(host.form6, 1), picture(ui::ReadyPictures::ready()));
        QTRY_COMPARE(pictureOf(&form, 1), picture(ui::ReadyPictures::ready()));
        QCOMPARE(bob->messages.texts(), QStringList{});

        // Leaving gives the main window back and keeps the window's size.
        form.close();
        QCOMPARE(menusEnabled(*bob->form1), (QList<bool>{true, true, true, true}));
        QTRY_COMPARE(child<ui::MemberListView>(host.form6, "memberList")->topLevelItemCount(), 1);
        settings::ConfigFile file(bob->folder().toStdString());
        QVERIFY(file.restoreSize(ui::TForm7::kSizeSection).width.has_value());
    }

    // An NBlood room hides the spectator, team and demo controls for its stay; a later
    // hDuke room shows them all again.
    void controlsFollowEachStaysSourcePort()
    {
        auto bob = member();
        ScriptedServer room;
        ui::TForm7& form = bob->program->form7();
        const auto shown = [&form] {
            return QList<bool>{child<QCheckBox>(&form, "spectatorBox")->isVisible(),
                               child<QComboBox>(&form, "teamBox")->isVisible(),
                               child<QCheckBox>(&form, "recordDemoBox")->isVisible()};
        };
        form.openRoom({"127.0.0.1", std::to_string(room.port()), "NBlood"});
        QCOMPARE(shown(), (QList<bool>{false, false, false}));
        form.close();
        form.openRoom({"127.0.0.1", std::to_string(room.port()), "hDuke"});
        QCOMPARE(shown(), (QList<bool>{true, true, true}));
        form.close();
    }

    void teamsAreChosenFromTheListOnly()
    {
        auto bob = member();
        ScriptedServer room;
        ui::TForm7& form = bob->program->form7();
        form.openRoom({"127.0.0.1", std::to_string(room.port()), "hDuke"});
        QTRY_COMPARE(room.lines().size(), 2);
        auto* teams = child<QComboBox>(&form, "teamBox");
        QVERIFY(!teams->isEnabled());
        room.sendLine("RoomSettingsUpdate~17~Game~Duke Nukem 3D~Source Port~hDuke~Map~E1L1~"
                      "Players~2/8~Game Type~Team Dukematch (Special Respawn)~a~1~b~1~c~1~d~1~"
                      "e~1~f~1~g~1~h~1~i~1~j~1~k~1~l~1~");
        QTRY_COMPARE(teams->count(), 2);
        QVERIFY(teams->isEnabled());
        QCOMPARE(form.team(), QString());
        // Filling the list chose nothing for the player.
        QCOMPARE(room.lines().size(), 2);

        // Typing, Delete, Space, End and the wheel pick nothing.
        teams->setFocus();
        QTest::keyClicks(teams, "T ");
        for (const auto key : {Qt::Key_Delete, Qt::Key_End, Qt::Key_PageDown})
            QTest::keyClick(teams, key);
        QWheelEvent wheel(QPointF(5, 5), teams->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(teams, &wheel);
        QCOMPARE(teams->currentIndex(), -1);
        QCOMPARE(room.lines().size(), 2);
        // The keyboard still opens and leaves the list, steps through it and moves on.
        QTest::keyClick(teams, Qt::Key_F4);
        QTRY_VERIFY(teams->view()->isVisible());
        QTest::keyClick(teams->view(), Qt::Key_Escape);
        QTRY_VERIFY(!teams->view()->isVisible());
        QTest::keyClick(teams, Qt::Key_Down);
        QTRY_COMPARE(room.lines().last(), QString("ClientSentTeamChanged~Team 1"));
        teams->activated(1); // what picking "Team 2" from the open list reports
        QTRY_COMPARE(room.lines().last(), QString("ClientSentTeamChanged~Team 2"));
        QTest::keyClick(teams, Qt::Key_Tab);
        QVERIFY(form.focusWidget() != teams);
        form.close();
    }

    void leavingWithAMessage_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("nobody listens") << "refused"
                                        << "Unable to connect to Room!";
        QTest::newRow("room full") << "full"
                                   << "Room is full!";
        QTest::newRow("host goes away") << "lost"
                                        << "You have lost the connection to the Room.";
    }
    void leavingWithAMessage()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        auto bob = member();
        auto room = std::make_unique<ScriptedServer>();
        quint16 port = room->port();
        if (how == "refused") {
            room.reset();
        }
        ui::TForm7& form = bob->program->form7();
        form.openRoom({"127.0.0.1", std::to_string(port), "hDuke"});
        if (how == "full") {
            QTRY_COMPARE(room->connectionCount(), 1);
            room->sendLine("RoomIsFull");
            room->closeClients();
        } else if (how == "lost") {
            QTRY_COMPARE(room->lines().size(), 2);
            room->closeClients();
        }
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(bob->messages.texts(), QStringList{message});
        QCOMPARE(menusEnabled(*bob->form1), (QList<bool>{true, true, true, true}));
        QTest::qWait(static_cast<int>(2 * 5000 / kSpeedUp));
        QCOMPARE(bob->messages.texts(), QStringList{message});
    }
};

QTEST_MAIN(TestRoomClientWindow)
#include "tst_roomclientwindow.moc"
