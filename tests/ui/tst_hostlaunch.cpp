#include "ProgramFixture.h"
#include "support/StandInPort.h"
#include "support/Widgets.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomhost/TForm5.h"
#include "ui/roomhost/TForm6.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

// The host's launch in the whole program: the Launch button, the lobby's "Get Rooms List",
// the room log and the message boxes, with a stand-in source port configured.
class TestHostLaunch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    StandInPort m_port;

    std::unique_ptr<ProgramFixture> hostedRoom(const QString& executable)
    {
        auto p = std::make_unique<ProgramFixture>(4444, 50);
        const QByteArray maps = m_root.filePath(QStringLiteral("usermaps")).toUtf8();
        p->writeConfig(
            "[Configured Ports]\r\nUDPPort=23999\r\nTCPPort=" + QByteArray::number(freePort()) +
            "\r\n[Nicknames]\r\nLauncher Nickname=HostAnn\r\nIn-Game Nickname=Duke "
            "Host\r\n[GamePath]\r\nhDuke Checkbox=1\r\nhDuke Path=" +
            executable.toUtf8() + "\r\n[Usermaps Directorys]\r\nDuke3d Usermaps Path=" + maps +
            "\r\n");
        p->start();
        p->form1->createRoom(roomhost::RoomKind::HDuke);
        child<QPushButton>(p->form5, "createRoomButton")->click();
        return p;
    }

    static QStringList log(const ProgramFixture& p)
    {
        return child<QPlainTextEdit>(p.form6, "roomLog")->toPlainText().split('\n');
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("usermaps")));
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("game")));
        QVERIFY(m_port.install(m_root.filePath(QStringLiteral("game")), QStringLiteral("hduke")));
    }

    void soloGameFromLaunchToBack()
    {
        m_port.clear();
        m_port.configure(0, 300);
        auto p = hostedRoom(m_port.path());
        QVERIFY(p->form6->isVisible());
        auto* launch = child<QPushButton>(p->form6, "Button2");
        auto* getRooms = child<QPushButton>(p->form1, "getRoomsButton");
        const QString workingFolder = QDir::currentPath();

        launch->click();
        QVERIFY(!getRooms->isEnabled());
        QTRY_VERIFY(m_port.hasStarted());
        QVERIFY(!launch->isEnabled());
        QVERIFY(p->program->roomHost()->inGame());
        QCOMPARE(m_port.arguments(), (QStringList{"-name", "Duke Host", "/q8", "/m", "/c1"}));
        QCOMPARE(QDir(m_port.workingFolder()).canonicalPath(),
                 QDir(m_root.filePath(QStringLiteral("game"))).canonicalPath());

        QTRY_VERIFY_WITH_TIMEOUT(getRooms->isEnabled(), 10000);
        QVERIFY(launch->isEnabled());
        QVERIFY(!p->program->roomHost()->inGame());
        const QStringList lines = log(*p);
        QVERIFY(lines.contains(QStringLiteral("Launching game....")));
        QCOMPARE(lines.last(), QStringLiteral("Game closed...."));
        QCOMPARE(p->messages.texts(), QStringList());
        QCOMPARE(QDir::currentPath(), workingFolder);
    }

    void sourcePortMissing()
    {
        auto p = hostedRoom(m_root.filePath(QStringLiteral("game/missing")));
        auto* launch = child<QPushButton>(p->form6, "Button2");
        auto* getRooms = child<QPushButton>(p->form1, "getRoomsButton");
        launch->click();
        QTRY_COMPARE(p->messages.texts(), QStringList{"No such file or directory"});
        QVERIFY(getRooms->isEnabled());
        QVERIFY(launch->isEnabled());
        QVERIFY(!p->program->roomHost()->inGame());
    }

    // Closing the host window while the launch waits to start its game starts nothing.
    void windowClosedBeforeTheGame()
    {
        m_port.clear();
        auto p = hostedRoom(m_port.path());
        auto* getRooms = child<QPushButton>(p->form1, "getRoomsButton");
        child<QPushButton>(p->form6, "Button2")->click();
        QVERIFY(p->program->hostLaunch().isBusy());
        p->form6->close();
        QVERIFY(!p->program->hostLaunch().isBusy());
        QVERIFY(getRooms->isEnabled());
        QTest::qWait(200);
        QVERIFY(!m_port.hasStarted());
    }
};

QTEST_MAIN(TestHostLaunch)
#include "tst_hostlaunch.moc"
