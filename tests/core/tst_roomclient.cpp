#include "base/roomhost/RoomCodec.h"
#include "base/roomhost/RoomSettings.h"
#include "core/common/Environment.h"
#include "core/roomclient/RoomClient.h"
#include "core/roomhost/RoomHost.h"
#include "support/RoomLab.h"
#include "support/ScriptedServer.h"

#include <memory>

#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace vantrell;
using namespace vantrell::core;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::vector<vantrell::roomhost::SettingRow>)
Q_DECLARE_METATYPE(std::vector<vantrell::roomhost::MemberRow>)

namespace {

RoomClientIdentity identity(const std::string& nickname)
{
    return {nickname, "Linux 64 bit ", "127.0.0.1", "23514"};
}

lobby::RoomAddress roomAt(quint16 port, const std::string& sourcePort = "hDuke")
{
    return {"127.0.0.1", std::to_string(port), sourcePort};
}

std::string hDukeSettingsLine(const std::string& gameType)
{
    std::vector<roomhost::SettingRow> rows(
        vantrell::sourcePortRow(vantrell::SourcePort::HDuke).settingsRows, {"Name", "Value"});
    rows[roomhost::kGameRow].value = "Duke Nukem 3D";
    rows[roomhost::kSourcePortRow].value = "hDuke";
    rows[roomhost::kMapRow].value = "E1L1";
    rows[roomhost::kGameTypeRow].value = gameType;
    return roomhost::encodeHostMessage(roomhost::RoomSettingsUpdate{rows});
}

// One cell of a member row the client shows; empty while there is no such row.
std::string memberCell(const RoomClient& client, std::size_t row,
                       std::string roomhost::MemberRow::*cell)
{
    const auto& rows = client.memberRows();
    return row < rows.size() ? rows[row].*cell : std::string();
}

std::string players(const RoomClient& client)
{
    const auto& rows = client.settingsRows();
    return roomhost::kPlayersRow < rows.size() ? rows[roomhost::kPlayersRow].value : std::string();
}

// A member program's room client with its own environment; no usermap folder is set, so
// its usermap check ends without a transfer.
struct Member
{
    explicit Member(double speedUp = kSpeedUp, IcmpMethod icmp = IcmpMethod::Disabled)
    {
        env.timing = Timing(speedUp);
        client = std::make_unique<RoomClient>(env, icmp);
        client->setUsermapFolders([](const std::string&) { return std::string(); });
        log = std::make_unique<QSignalSpy>(client.get(), &RoomClient::logLine);
        boxes = std::make_unique<QSignalSpy>(client.get(), &RoomClient::messageBox);
        leaves = std::make_unique<QSignalSpy>(client.get(), &RoomClient::leaveRequested);
        readyAvailable = std::make_unique<QSignalSpy>(client.get(), &RoomClient::readyAvailable);
    }

    Environment env;
    std::unique_ptr<RoomClient> client;
    std::unique_ptr<QSignalSpy> log;
    std::unique_ptr<QSignalSpy> boxes;
    std::unique_ptr<QSignalSpy> leaves;
    std::unique_ptr<QSignalSpy> readyAvailable;
};

} // namespace

class TestRoomClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<std::vector<roomhost::SettingRow>>();
        qRegisterMetaType<std::vector<roomhost::MemberRow>>();
    }

    void joinFollowsTheHost()
    {
        auto config = loopbackRoomConfig();
        config.settings.gameType = "Team Dukematch";
        LoopbackRoom host(config);
        QVERIFY(host.isOpen());
        Member ann;
        ann.client->open(host.address(), identity("Ann"));

        QTRY_COMPARE(host.members().size(), std::size_t(2));
        QCOMPARE(host.members()[1].nickname, std::string("Ann"));
        QCOMPARE(host.members()[1].udpPort, std::string("23514"));
        QCOMPARE(texts(*ann.log).value(0), QStringLiteral("You are now connected to the Room!"));

        // The own remote port is the member's identity as the host sees it.
        QTRY_COMPARE(ann.client->ownRemotePort().toStdString(), host.members()[1].remotePort);
        QTRY_COMPARE(ann.client->memberRows().size(), std::size_t(2));
        const auto& rows = ann.client->memberRows();
        QCOMPARE(rows[0].nickname, std::string("Host"));
        QCOMPARE(rows[1].nickname, std::string("Ann"));
        for (const auto& row : rows)
            QCOMPARE(row.ping, std::string("N/A"));
        QCOMPARE(ann.client->settingsRows(), host.settingsList());
        QTRY_COMPARE(players(*ann.client), std::string("2/8"));
        // A team game: nine teams to choose from.
        QCOMPARE(ann.client->teamChoices().items.size(), std::size_t(9));
        QVERIFY(ann.client->teamChoices().enabled);

        // No usermap in this room: "Ready" comes after the check's wait, without a line.
        QTRY_COMPARE(ann.readyAvailable->size(), 1);
        QCOMPARE(texts(*ann.log), QStringList{"You are now connected to the Room!"});
        QCOMPARE(ann.boxes->size(), 0);

        // Leaving sends nothing: the host just sees the connection go.
        ann.client->close();
        QTRY_COMPARE(host.members().size(), std::size_t(1));
    }

    void readyTeamAndChat()
    {
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        QSignalSpy hostChat(&host, &RoomHost::chatMessage);
        Member ann;
        QSignalSpy readyStates(ann.client.get(), &RoomClient::readyStateChanged);
        ann.client->open(host.address(), identity("Ann"));
        QTRY_COMPARE(host.members().size(), std::size_t(2));
        QTRY_VERIFY(ann.client->isConnected());

        // Two clicks: ready, then not ready, each only after its line went out.
        ann.client->readyClicked();
        QVERIFY(ann.client->isReady());
        QTRY_COMPARE(host.members()[1].readyCode, std::string("0"));
        QTRY_COMPARE(memberCell(*ann.client, 1, &roomhost::MemberRow::readyCode), std::string("0"));
        ann.client->readyClicked();
        QVERIFY(!ann.client->isReady());
        QTRY_COMPARE(host.members()[1].readyCode, std::string("1"));

        QVERIFY(ann.client->ClientSendTeamSelection("Team 3"));
        QTRY_COMPARE(host.members()[1].team, std::string("Team 3"));
        QTRY_COMPARE(memberCell(*ann.client, 1, &roomhost::MemberRow::team), std::string("Team 3"));

        // Chat: empty sends nothing; a "~" cuts the text where the host reads it.
        QVERIFY(!ann.client->ClientRoomSendChatMessage(QString()));
        QVERIFY(ann.client->ClientRoomSendChatMessage("hello~world"));
        QTRY_COMPARE(hostChat.size(), 1);
        QCOMPARE(hostChat[0][0].toString(), QStringLiteral("Ann"));
        QCOMPARE(hostChat[0][1].toString(), QStringLiteral("hello"));
        QTRY_VERIFY(texts(*ann.log).contains("Ann: hello"));
        QVERIFY(host.ServerRoomSendChatMessageToClientsTyped("welcome"));
        QTRY_VERIFY(texts(*ann.log).contains("Host: welcome"));

        // Once the connection is gone nothing is sent and the state stays.
        host.close();
        QTRY_VERIFY(!ann.client->isConnected());
        const auto statesBefore = readyStates.size();
        ann.client->readyClicked();
        QVERIFY(!ann.client->SendToServerClientReady());
        QVERIFY(!ann.client->isReady());
        QCOMPARE(readyStates.size(), statesBefore);
        QVERIFY(!ann.client->ClientRoomSendChatMessage("anyone?"));
    }

    void settingsWaitWhileTheGameRuns()
    {
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        Member ann;
        ann.client->open(host.address(), identity("Ann"));
        QTRY_COMPARE(players(*ann.client), std::string("2/8"));

        ann.client->setGameRunning(true);
        Member bob;
        bob.client->open(host.address(), identity("Bob"));
        QTRY_COMPARE(ann.client->memberRows().size(), std::size_t(3));
        QTRY_COMPARE(players(*bob.client), std::string("3/8"));
        QCOMPARE(players(*ann.client), std::string("2/8"));

        ann.client->setGameRunning(false);
        host.ServerRoomSendSettingsToAllClients();
        QTRY_COMPARE(players(*ann.client), std::string("3/8"));
    }

    void roomIsFullLeavesOnce()
    {
        LoopbackRoom host(loopbackRoomConfig(1));
        QVERIFY(host.isOpen());
        Member ann;
        ann.client->open(host.address(), identity("Ann"));
        QTRY_COMPARE(ann.leaves->size(), 1);
        QCOMPARE(texts(*ann.boxes), QStringList{"Room is full!"});
        // The host closes the refused connection and the connection check keeps ticking
        // while the window has not closed yet: still one box, one leave.
        QTest::qWait(static_cast<int>(3 * 5000 / kSpeedUp));
        QCOMPARE(texts(*ann.boxes), QStringList{"Room is full!"});
        QCOMPARE(ann.leaves->size(), 1);
        QCOMPARE(host.members().size(), std::size_t(1));
    }

    void lostConnectionIsNoticed()
    {
        auto host = std::make_unique<LoopbackRoom>();
        QVERIFY(host->isOpen());
        Member ann;
        ann.client->open(host->address(), identity("Ann"));
        QTRY_COMPARE(host->members().size(), std::size_t(2));

        host.reset();
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(ann.leaves->size(), 1, 5000);
        // Within one connection-check period.
        QVERIFY(clock.elapsed() <= 5000 / kSpeedUp + 200);
        QCOMPARE(texts(*ann.boxes), QStringList{"You have lost the connection to the Room."});
        QVERIFY(texts(*ann.log).contains("You have disconnected!"));
        QTest::qWait(static_cast<int>(2 * 5000 / kSpeedUp));
        QCOMPARE(ann.boxes->size(), 1);
    }

    void failedConnect_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("nobody listens") << "closed";
        QTest::newRow("not a number") << "85o1";
        QTest::newRow("zero") << "0";
        QTest::newRow("too big") << "65536";
        QTest::newRow("empty") << "";
    }
    void failedConnect()
    {
        QFETCH(QString, port);
        std::string portText = port.toStdString();
        if (port == "closed") {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            portText = std::to_string(probe.serverPort());
        }
        Member ann;
        QElapsedTimer clock;
        clock.start();
        ann.client->open({"127.0.0.1", portText, "hDuke"}, identity("Ann"));
        QTRY_COMPARE(ann.leaves->size(), 1);
        QVERIFY(clock.elapsed() >= 500 / kSpeedUp);
        QCOMPARE(texts(*ann.boxes), QStringList{"Unable to connect to Room!"});
        QVERIFY(!texts(*ann.log).contains("You are now connected to the Room!"));
        ann.client->close();
        QTest::qWait(static_cast<int>(2 * 5000 / kSpeedUp));
        QCOMPARE(ann.readyAvailable->size(), 0);
        QCOMPARE(ann.boxes->size(), 1);
    }

    // The player closes the window while a message box is up: the stay is over, and the
    // leave that would have followed the box does not come. The box runs window events, so
    // the closed connection goes away while it waits.
    void closeDuringTheMessageBox()
    {
        LoopbackRoom host(loopbackRoomConfig(1));
        QVERIFY(host.isOpen());
        Member ann;
        connect(ann.client.get(), &RoomClient::messageBox, ann.client.get(), [&ann] {
            ann.client->close();
            QEventLoop box;
            QTimer::singleShot(50, &box, &QEventLoop::quit);
            box.exec();
        });
        ann.client->open(host.address(), identity("Ann"));
        QTRY_COMPARE(ann.boxes->size(), 1);
        QTest::qWait(static_cast<int>(2 * 5000 / kSpeedUp));
        QCOMPARE(ann.leaves->size(), 0);
        QVERIFY(!ann.client->isInRoom());
    }

    // A stay closed during its usermap check hears nothing more; the next stay gets its own
    // "Ready" once.
    void laterStayHearsNothingOfAnEarlierOne()
    {
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        Member ann;
        ann.client->open(host.address(), identity("Ann"));
        QTRY_VERIFY(ann.client->isConnected());
        ann.client->close();
        const auto linesAfterFirst = ann.log->size();
        QTest::qWait(static_cast<int>(5000 / kSpeedUp) + 100);
        QCOMPARE(ann.readyAvailable->size(), 0);
        QCOMPARE(ann.log->size(), linesAfterFirst);

        ann.client->open(host.address(), identity("Ann"));
        QTRY_COMPARE(ann.readyAvailable->size(), 1);
        QTest::qWait(static_cast<int>(5000 / kSpeedUp) + 100);
        QCOMPARE(ann.readyAvailable->size(), 1);
        QCOMPARE(ann.boxes->size(), 0);
    }

    // Lines only a scripted host sends on demand: settings that change mid-stay, probes,
    // the launch and lines no member knows.
    void hostLines()
    {
        ScriptedServer host;
        Member ann;
        QSignalSpy teams(ann.client.get(), &RoomClient::teamChoicesChanged);
        QSignalSpy launches(ann.client.get(), &RoomClient::gameLaunchRequested);
        QSignalSpy spectatorAndDemo(ann.client.get(), &RoomClient::spectatorAndDemoShown);
        ann.client->open(roomAt(host.port()), identity("Ann"));
        QTRY_COMPARE(host.lines().size(), 2);
        QVERIFY(host.lines().contains("AddUserToList~Ann~Linux 64 bit ~127.0.0.1~23514"));
        QVERIFY(host.lines().contains("ClientRequestsRemotePort"));

        // Team choices through a room whose game type changes, with "Cooperative" between.
        const auto teamCount = [&] { return ann.client->teamChoices().items.size(); };
        host.sendLine(QString::fromStdString(hDukeSettingsLine("Team Dukematch")));
        QTRY_COMPARE(teamCount(), std::size_t(9));
        // The connection check shows spectator and demo for an hDuke room.
        QTRY_VERIFY(!spectatorAndDemo.isEmpty());
        QCOMPARE(spectatorAndDemo.last().at(0).toBool(), true);
        host.sendLine(
            QString::fromStdString(hDukeSettingsLine("Team Dukematch (Special Respawn)")));
        host.sendLine("PingPong");
        host.sendLine("TCPPing~4321");
        QTRY_COMPARE(host.lines().size(), 3);
        QCOMPARE(host.lines().last(), QStringLiteral("TCPPing~4321"));
        QCOMPARE(teamCount(), std::size_t(9));
        host.sendLine(QString::fromStdString(hDukeSettingsLine("Cooperative")));
        QTRY_COMPARE(teamCount(), std::size_t(0));
        QVERIFY(!ann.client->teamChoices().enabled);
        host.sendLine(
            QString::fromStdString(hDukeSettingsLine("Team Dukematch (Special Respawn)")));
        QTRY_COMPARE(teamCount(), std::size_t(2));
        QCOMPARE(teams.last().at(0).toStringList(), (QStringList{"Team 1", "Team 2"}));

        // A count of 0 empties the list; a short last row shows the complete rows only.
        host.sendLine("RoomSettingsUpdate~0~");
        QTRY_VERIFY(ann.client->settingsRows().empty());
        host.sendLine("RoomSettingsUpdate~2~Game~Duke Nukem 3D~Map");
        QTRY_COMPARE(ann.client->settingsRows().size(), std::size_t(1));
        host.sendLine("UserRoomSettingsUpdate~3~0~Host~os~ ~10.0.0.1~~~23513~1~A~os~1.2.3.4~"
                      "10.0.0.2~ ~5000~23513~1~B~os~1.2.3.5~10.0.0.3~ ~5001~23513~");
        QTRY_COMPARE(ann.client->memberRows().size(), std::size_t(3));
        for (const auto& row : ann.client->memberRows())
            QCOMPARE(row.ping, std::string("N/A"));

        host.sendLine("YourRemotePortIs~5000");
        host.sendLine("roomischat~x~y");
        host.sendLine("TimeToLaunchGame");
        QTRY_COMPARE(launches.size(), 1);
        QCOMPARE(ann.client->ownRemotePort(), QStringLiteral("5000"));
        QCOMPARE(ann.boxes->size(), 0);

        // A new stay starts with no team choices, whatever the last room offered.
        ann.client->close();
        ScriptedServer other;
        ann.client->open(roomAt(other.port(), "EDuke32-OldMP"), identity("Ann"));
        QCOMPARE(teamCount(), std::size_t(0));
        QCOMPARE(ann.client->ownRemotePort(), QStringLiteral("5000"));
    }

    // Where no echo can be sent at all (no right to send ICMP) the pass ends silently: the
    // rows keep what they show rather than all turning "N/A".
    void pingFillsThePingColumn_data()
    {
        QTest::addColumn<IcmpMethod>("method");
        QTest::newRow("echoes answered") << IcmpMethod::Automatic;
        QTest::newRow("no echo can be sent") << IcmpMethod::Disabled;
    }
    void pingFillsThePingColumn()
    {
        QFETCH(IcmpMethod, method);
        const auto probe = sendIcmpEcho(0x7f000001, 1000ms, IcmpMethod::Automatic, 1);
        if (method == IcmpMethod::Automatic && !probe.answered)
            QSKIP("no ICMP echo on loopback here");
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        Member ann(kSpeedUp, method);
        QSignalSpy pings(ann.client.get(), &RoomClient::memberPingChanged);
        ann.client->open(host.address(), identity("Ann"));
        QTRY_COMPARE(ann.client->memberRows().size(), std::size_t(2));

        // The host's row leads with " " as its address until it knows its public one: the
        // pass ends there, nothing is shown.
        QTest::qWait(static_cast<int>(2 * 10000 / kSpeedUp));
        QCOMPARE(pings.size(), 0);

        host.setHostRemoteAddress("127.0.0.1");
        host.ServerRoomSendUserListToAllClients();
        if (method == IcmpMethod::Disabled) {
            QTest::qWait(static_cast<int>(2 * 10000 / kSpeedUp));
            QCOMPARE(pings.size(), 0);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(pings.size() >= 2, 5000);
        for (const auto& row : ann.client->memberRows())
            QVERIFY2(QString::fromStdString(row.ping).endsWith(" ms"), row.ping.c_str());
    }
};

QTEST_GUILESS_MAIN(TestRoomClient)
#include "tst_roomclient.moc"
