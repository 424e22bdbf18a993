// A room host whose process is killed while a member is in the room: the member tells the
// player within five seconds, once, and its event loop goes on.
#include "core/common/Environment.h"
#include "core/roomclient/RoomClient.h"
#include "support/HostileLab.h"

#include <csignal>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

using namespace vantrell;
using namespace vantrell::core;

class TestKilledHost : public QObject
{
    Q_OBJECT

private slots:
    void memberReportsTheLostRoom()
    {
        QProcess hostProcess;
        hostProcess.start(QStringLiteral(ROOM_HOST_PROCESS), {});
        QVERIFY(hostProcess.waitForStarted(10000));
        QVERIFY(hostProcess.waitForReadyRead(10000));
        const QByteArray announced = hostProcess.readLine().trimmed();
        QVERIFY2(announced.startsWith("port "), announced.constData());
        const std::string port = announced.mid(5).toStdString();

        Environment env; // designed waits, no speed-up: the five seconds are the real ones
        RoomClient client(env, IcmpMethod::Disabled);
        client.setUsermapFolders([](const std::string&) { return std::string(); });
        QStringList boxes;
        int leaves = 0;
        connect(&client, &RoomClient::messageBox, this,
                [&](const QString& text) { boxes << text; });
        connect(&client, &RoomClient::leaveRequested, this, [&] { ++leaves; });
        client.open({"127.0.0.1", port, "hDuke"}, {"Ann", "Linux 64 bit ", "127.0.0.1", "23513"});
        // In the room: the host's member list names Ann.
        QTRY_VERIFY_WITH_TIMEOUT(
            client.memberRows().size() == 2 && client.memberRows()[1].nickname == "Ann", 10000);

        LoopLatencyProbe probe;
        probe.start();
        QElapsedTimer sinceKill;
        sinceKill.start();
        ::kill(static_cast<pid_t>(hostProcess.processId()), SIGKILL);
        // The connection check runs every five seconds; a little more for the loop's turns.
        QTRY_COMPARE_WITH_TIMEOUT(leaves, 1, 5500);
        const qint64 reportedAfter = sinceKill.elapsed();
        QCOMPARE(boxes, QStringList{"You have lost the connection to the Room."});
        QVERIFY(!client.isConnected());
        // Nothing more comes for the same loss, and the loop keeps its pace meanwhile.
        QTest::qWait(500);
        probe.stop();
        QCOMPARE(leaves, 1);
        QCOMPARE(boxes.size(), 1);
        qInfo("lost room reported %lld ms after the kill; worst event-loop delay %lld ms",
              reportedAfter, probe.worstLateMs());
        QTRY_COMPARE(hostProcess.state(), QProcess::NotRunning);
    }
};

QTEST_GUILESS_MAIN(TestKilledHost)
#include "tst_killedhost.moc"
