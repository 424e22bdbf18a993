#include "ProgramFixture.h"
#include "core/roomhost/RoomHost.h"
#include "support/RoomLab.h"
#include "support/RoomWindows.h"
#include "support/StandInPort.h"
#include "support/Widgets.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomclient/TForm7.h"
#include "ui/roomhost/TForm5.h"
#include "ui/roomhost/TForm6.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;

// The launch in the whole program: the Launch button, the lobby's "Get Rooms List", the room
// logs and the message boxes, with stand-in source ports configured.
class TestLaunchWindows : public QObject
{
    Q_OBJECT

    static QByteArray config(const QString& lobbyNickname, const QString& inGameNickname,
                             quint16 roomPort, const QString& udpPort, const QString& maps,
                             const QString& sourcePort)
    {
        return "[Configured Ports]\r\nUDPPort=" + udpPort.toUtf8() +
               "\r\nTCPPort=" + QByteArray::number(roomPort) +
               "\r\n[Nicknames]\r\nLauncher Nickname=" + lobbyNickname.toUtf8() +
               "\r\nIn-Game Nickname=" + inGameNickname.toUtf8() +
               "\r\n[GamePath]\r\nhDuke Checkbox=1\r\nhDuke Path=" + sourcePort.toUtf8() +
               "\r\n[Usermaps Directorys]\r\nDuke3d Usermaps Path=" + maps.toUtf8() + "\r\n";
    }

private slots:
    // Host and member programs on one machine: from "Launch" to both games started with
    // their own argument lists and peer lists, and back to the room when they end.
    void roomGameFromLaunchToBack()
    {
        QTemporaryDir hostRoot, memberRoot;
        StandInPort hostPort, memberPort;
        for (QTemporaryDir* root : {&hostRoot, &memberRoot}) {
            QVERIFY(QDir(root->path()).mkpath(QStringLiteral("game")));
            QVERIFY(QDir(root->path()).mkpath(QStringLiteral("maps")));
            QFile map(root->filePath(QStringLiteral("maps/castle.map")));
            QVERIFY(map.open(QIODevice::WriteOnly));
            map.write("castle");
        }
        QVERIFY(hostPort.install(hostRoot.filePath(QStringLiteral("game")), "hduke"));
        QVERIFY(memberPort.install(memberRoot.filePath(QStringLiteral("game")), "hduke"));
        hostPort.configure(0, 300);
        memberPort.configure(0, 300);

        const quint16 roomPort = freePort();
        ProgramFixture host(4444, 50);
        host.env.fileServerPort = 0;
        host.writeConfig(config("HostAnn", "Duke Host", roomPort, "23513",
                                hostRoot.filePath(QStringLiteral("maps")), hostPort.path()));
        host.start();
        host.form1->createRoom(SourcePort::HDuke);
        child<QCheckBox>(host.form5, "userMapBox")->click();
        auto* userMaps = child<QComboBox>(host.form5, "userMapList");
        userMaps->setCurrentIndex(userMaps->findText("castle.map"));
        child<QPushButton>(host.form5, "createRoomButton")->click();

        ProgramFixture bob(4444, 50);
        bob.writeConfig(config("MemberBob", "Bob Member", freePort(), "23600",
                               memberRoot.filePath(QStringLiteral("maps")), memberPort.path()));
        bob.start();
        ui::TForm7& room = bob.program->form7();
        room.openRoom({"127.0.0.1", std::to_string(roomPort), "hDuke"});
        auto* ready = child<QPushButton>(&room, "readyButton");
        QTRY_VERIFY_WITH_TIMEOUT(ready->isEnabled(), 10000);
        ready->click();
        core::RoomHost& hosted = *host.program->roomHost();
        QTRY_VERIFY(hosted.members().size() == 2 && hosted.members()[1].readyCode == "0");

        auto* launch = child<QPushButton>(host.form6, "Button2");
        const QString workingFolder = QDir::currentPath();
        launch->click();
        QVERIFY(!child<QPushButton>(host.form1, "getRoomsButton")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(memberPort.hasStarted(), 10000);
        QVERIFY(!child<QPushButton>(bob.form1, "getRoomsButton")->isEnabled());
        QVERIFY(bob.program->roomClient().gameRunning());
        QTRY_VERIFY_WITH_TIMEOUT(hostPort.hasStarted(), 10000);
        QVERIFY(!launch->isEnabled());
        QVERIFY(hosted.inGame());

        QCOMPARE(hostPort.arguments(), (QStringList{"-name", "Duke Host", "/r", "/m", "-map",
                                                    "castle.map", "/c1", "-net", "netlist.txt"}));
        QCOMPARE(memberPort.arguments(), (QStringList{"-name", "Bob Member", "/c1", "/r", "-map",
                                                      "castle.map", "/m", "-net", "netlist.txt"}));
        const auto& rows = hosted.members();
        const QString hostLocal = QString::fromStdString(rows[0].localAddress);
        const QString bobLocal = QString::fromStdString(rows[1].localAddress);
        QCOMPARE(hostPort.netlist(),
                 "interface " + hostLocal + ":23513\r\nmode peer\r\nallow 127.0.0.1:23600\r\n");
        // The host has not learnt its public address (no main server here): the member admits
        // it by the room's address.
        QCOMPARE(memberPort.netlist(),
                 "interface " + bobLocal + ":23600\r\nmode peer\r\nallow 127.0.0.1:23513\r\n");

        // Both back in the room; the member is no longer ready for the next game.
        QTRY_VERIFY_WITH_TIMEOUT(logLines(&room).contains(QStringLiteral("Game has closed...")),
                                 10000);
        QTRY_COMPARE_WITH_TIMEOUT(logLines(host.form6).last(), QStringLiteral("Game has closed..."),
                                  10000);
        QTRY_VERIFY(child<QPushButton>(host.form1, "getRoomsButton")->isEnabled());
        QVERIFY(child<QPushButton>(bob.form1, "getRoomsButton")->isEnabled());
        QVERIFY(!bob.program->roomClient().gameRunning());
        QVERIFY(launch->isEnabled());
        QVERIFY(!hosted.inGame());
        QCOMPARE(QDir::currentPath(), workingFolder);
        QTRY_COMPARE(hosted.members()[1].readyCode, std::string("1"));
        QVERIFY(!QFile::exists(hostRoot.filePath(QStringLiteral("game/castle.map"))));
        QVERIFY(!QFile::exists(memberRoot.filePath(QStringLiteral("game/castle.map"))));
        QCOMPARE(host.messages.texts(), QStringList());
        QCOMPARE(bob.messages.texts(), QStringList());
    }
};

QTEST_MAIN(TestLaunchWindows)
#include "tst_launchwindows.moc"
