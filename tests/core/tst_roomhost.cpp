#include "base/roomhost/RoomCodec.h"
#include "core/common/Timing.h"
#include "core/roomhost/RoomHost.h"
#include "core/roomhost/RoomPinger.h"
#include "support/RoomLab.h"
#include "support/RoomMemberScript.h"
#include "support/StringLists.h"

#include <memory>
#include <unistd.h>

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace vantrell;
using namespace vantrell::core;
using namespace std::chrono_literals;

namespace {

// The rows of a "UserRoomSettingsUpdate" or "RoomSettingsUpdate" line.
template <typename Update>
auto rowsIn(const QString& line) -> decltype(Update::rows)
{
    const auto message = roomhost::parseHostMessage(line.toStdString());
    if (!message)
        return {};
    if (const auto* update = std::get_if<Update>(&*message))
        return update->rows;
    return {};
}

std::vector<roomhost::MemberRow> rowsOf(const QString& line)
{
    return rowsIn<roomhost::UserRoomSettingsUpdate>(line);
}

std::vector<roomhost::SettingRow> settingsOf(const QString& line)
{
    return rowsIn<roomhost::RoomSettingsUpdate>(line);
}

QStringList nicknamesOf(const std::vector<roomhost::MemberRow>& rows)
{
    return fieldOf(rows, &roomhost::MemberRow::nickname);
}

} // namespace

class TestRoomHost : public QObject
{
    Q_OBJECT

private slots:
    void joinSequenceAndTimings()
    {
        // Slow enough that the member's announcement is in before the first member list.
        Timing timing(10.0);
        auto config = loopbackRoomConfig(8);
        config.settings.hostTeam = "Team 2";
        RoomHost host(timing, config, nullptr);
        QSignalSpy log(&host, &RoomHost::roomLog);
        QVERIFY(host.open());
        QCOMPARE(log.size(), 1);
        QCOMPARE(
            log[0][0].toString(),
            QStringLiteral("You are now hosting a room on TCP port %1.").arg(host.serverPort()));
        QCOMPARE(host.settingsList()[3].value, std::string("1/8"));

        RoomMemberScript member;
        QVERIFY(member.connectTo(host.serverPort()));
        member.send(addUser("Ann"));
        member.send("ClientRequestsRemotePort");

        QTRY_COMPARE_WITH_TIMEOUT(member.linesOf("RoomSettingsUpdate").size(), 2, 10000);
        QTRY_VERIFY(!member.linesOf("UserRoomSettingsUpdate").isEmpty());

        // Settings at once; the member list a designed second later; the settings again,
        // with the new count, two designed seconds after the connection.
        QCOMPARE(member.lines().first().section('~', 0, 0), QStringLiteral("RoomSettingsUpdate"));
        const auto firstSettings = settingsOf(member.linesOf("RoomSettingsUpdate")[0]);
        QCOMPARE(firstSettings.size(), std::size_t(17));
        QCOMPARE(firstSettings[3].value, std::string("1/8"));
        const auto secondSettings = settingsOf(member.linesOf("RoomSettingsUpdate")[1]);
        QCOMPARE(secondSettings[3].value, std::string("2/8"));
        QCOMPARE(host.settingsList()[3].value, std::string("2/8"));

        const qint64 listAt = member.arrivalOf("UserRoomSettingsUpdate");
        const qint64 refreshAt = member.arrivalOf("RoomSettingsUpdate", 1);
        QVERIFY2(listAt >= 1000 / timing.speedUp() * 0.9, qPrintable(QString::number(listAt)));
        QVERIFY2(refreshAt >= 2000 / timing.speedUp() * 0.9,
                 qPrintable(QString::number(refreshAt)));
        QVERIFY(refreshAt >= listAt);

        QCOMPARE(member.linesOf("YourRemotePortIs"),
                 QStringList{QStringLiteral("YourRemotePortIs~%1").arg(member.localPort())});

        const auto rows = rowsOf(member.linesOf("UserRoomSettingsUpdate").first());
        QCOMPARE(nicknamesOf(rows), QStringList({"Host", "Ann"}));
        QCOMPARE(rows[0].readyCode, std::string("0"));
        QCOMPARE(rows[0].remoteAddress, std::string(" "));
        QCOMPARE(rows[0].remotePort, std::string());
        QCOMPARE(rows[0].udpPort, std::string("23513"));
        QCOMPARE(rows[0].team, std::string("Team 2"));
        QCOMPARE(rows[0].localAddress, std::string("10.0.0.1"));
        QCOMPARE(rows[1].readyCode, std::string("1"));
        QCOMPARE(rows[1].team, std::string(" "));
        QCOMPARE(rows[1].remoteAddress, std::string("127.0.0.1"));
        QCOMPARE(rows[1].remotePort, std::to_string(member.localPort()));
        QCOMPARE(rows[1].os, std::string("Linux 64 bit "));

        host.setHostRemoteAddress("203.0.113.5");
        QCOMPARE(host.members()[0].remoteAddress, std::string("203.0.113.5"));
    }

    void fullRoom_data()
    {
        QTest::addColumn<int>("places");
        QTest::newRow("8 places") << 8;
        QTest::newRow("1 place") << 1;
    }
    void fullRoom()
    {
        QFETCH(int, places);
        LoopbackRoom host(loopbackRoomConfig(places));
        QVERIFY(host.isOpen());

        std::vector<std::unique_ptr<RoomMemberScript>> members;
        for (int i = 1; i < places; ++i) {
            members.push_back(host.join(QStringLiteral("M%1").arg(i)));
            QVERIFY(members.back());
        }
        QCOMPARE(host.members().size(), std::size_t(places));

        // The one that fills the room and one more made while it is still open. Both are
        // connected before the host's event loop sees either.
        RoomMemberScript filling;
        RoomMemberScript beyond;
        QVERIFY(filling.connectTo(host.serverPort()));
        filling.send(addUser("Late"));
        QVERIFY(beyond.connectTo(host.serverPort()));
        beyond.send(addUser("Later"));

        QTRY_VERIFY(filling.isClosed());
        QTRY_VERIFY(beyond.isClosed());
        QCOMPARE(filling.lines(), QStringList{"RoomIsFull"});
        QCOMPARE(beyond.lines(), QStringList{});
        QCOMPARE(host.members().size(), std::size_t(places));
        QTRY_COMPARE(host.openConnectionCount(), places - 1);

        // Once the refused connection is gone the room is one short of full again, so the
        // next one is refused with the line.
        RoomMemberScript again;
        QVERIFY(again.connectTo(host.serverPort()));
        QTRY_VERIFY(again.isClosed());
        QCOMPARE(again.lines(), QStringList{"RoomIsFull"});

        for (const auto& member : members)
            QVERIFY(!member->isClosed());
    }

    void membersBehindOneAddressAreToldApartByPort()
    {
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        auto ann = host.join("Ann");
        auto bob = host.join("Bob");
        auto cid = host.join("Cid");
        QVERIFY(ann && bob && cid);
        QVERIFY(ann->localPort() != bob->localPort());

        bob->send("ClientSentReadyMessage");
        QTRY_COMPARE(host.members()[2].readyCode, std::string("0"));
        QCOMPARE(host.members()[1].readyCode, std::string("1"));
        QCOMPARE(host.members()[3].readyCode, std::string("1"));
        const int listsBefore = ann->linesOf("UserRoomSettingsUpdate").size();
        QTRY_VERIFY(ann->linesOf("UserRoomSettingsUpdate").size() > listsBefore);
        QTRY_COMPARE(rowsOf(ann->linesOf("UserRoomSettingsUpdate").last())[2].readyCode,
                     std::string("0"));

        bob->send("ClientSentNotReadyMessage");
        QTRY_COMPARE(host.members()[2].readyCode, std::string("1"));

        // The middle member leaves: exactly its row goes, and the others learn it.
        bob->disconnectNow();
        QTRY_COMPARE(nicknamesOf(host.members()), QStringList({"Host", "Ann", "Cid"}));
        QTRY_COMPARE(nicknamesOf(rowsOf(cid->linesOf("UserRoomSettingsUpdate").last())),
                     QStringList({"Host", "Ann", "Cid"}));
        QCOMPARE(host.members()[2].remotePort, std::to_string(cid->localPort()));
        QTRY_COMPARE(settingsOf(cid->linesOf("RoomSettingsUpdate").last())[3].value,
                     std::string("3/8"));
    }

    void teamAndChatRelay()
    {
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        QSignalSpy log(&host, &RoomHost::roomLog);
        auto ann = host.join("Ann");
        auto bob = host.join("Bob");
        QVERIFY(ann && bob);

        // The member's next line waits out the team change but is not lost.
        ann->send("ClientSentTeamChanged~Team 3");
        ann->send("ClientSentReadyMessage");
        QTRY_COMPARE(host.members()[1].team, std::string("Team 3"));
        QTRY_COMPARE(host.members()[1].readyCode, std::string("0"));
        QTRY_COMPARE(rowsOf(bob->linesOf("UserRoomSettingsUpdate").last())[1].team,
                     std::string("Team 3"));
        QCOMPARE(host.members()[2].team, std::string(" "));

        ann->send("RoomChat~Ann~a~b");
        QTRY_COMPARE(bob->linesOf("RoomChat"), QStringList{"RoomChat~Ann~a"});
        QTRY_COMPARE(ann->linesOf("RoomChat"), QStringList{"RoomChat~Ann~a"});
        QVERIFY(log.contains(QVariantList{QStringLiteral("Ann: a")}));

        // Unknown keywords and short lines are ignored.
        ann->send("NoSuchKeyword~x");
        ann->send("ClientSentTeamChanged");
        ann->send("");

        QVERIFY(!host.ServerRoomSendChatMessageToClientsTyped(QString()));
        QVERIFY(host.ServerRoomSendChatMessageToClientsTyped("hello all"));
        QTRY_COMPARE(bob->linesOf("RoomChat").size(), 2);
        QCOMPARE(bob->linesOf("RoomChat").last(), QStringLiteral("RoomChat~Host~hello all"));
        QVERIFY(log.contains(QVariantList{QStringLiteral("Host: hello all")}));
        QCOMPARE(host.members()[1].team, std::string("Team 3"));
        QVERIFY(!ann->isClosed());
    }

    void memberThatNeverAnnouncesItself()
    {
        // Faster still: this waits out the keep-alive interval twice.
        LoopbackRoom host(loopbackRoomConfig(), 100.0);
        QVERIFY(host.isOpen());
        RoomMemberScript silent;
        QVERIFY(silent.connectTo(host.serverPort()));
        silent.send("ClientRequestsRemotePort");
        silent.setEchoPings(true); // answers the host's link checks, as a member program does
        RoomMemberScript mute;     // says nothing, answers nothing: its place is given back
        QVERIFY(mute.connectTo(host.serverPort()));
        QTRY_VERIFY(!silent.linesOf("UserRoomSettingsUpdate").isEmpty());
        QCOMPARE(host.members().size(), std::size_t(1));
        QCOMPARE(rowsOf(silent.linesOf("UserRoomSettingsUpdate").last()).size(), std::size_t(1));

        // With the host alone in the list neither keep-alive nor pings go out.
        QTest::qWait(int(2.5 * 60000 / host.timing.speedUp()));
        QVERIFY(silent.linesOf("PingPong").isEmpty());
        QVERIFY(mute.isClosed());

        // It still hears about everyone else.
        auto ann = host.join("Ann");
        QVERIFY(ann);
        ann->setEchoPings(true); // Ann answers the host's probes, as a member program does
        QTRY_COMPARE(nicknamesOf(rowsOf(silent.linesOf("UserRoomSettingsUpdate").last())),
                     QStringList({"Host", "Ann"}));
        QTRY_VERIFY(!silent.linesOf("PingPong").isEmpty());

        silent.disconnectNow();
        QTRY_COMPARE(host.openConnectionCount(), 1);
        QCOMPARE(nicknamesOf(host.members()), QStringList({"Host", "Ann"}));
    }

    void launchBroadcastKeepsItsOrder()
    {
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        auto ann = host.join("Ann");
        QVERIFY(ann);
        // Let the join's own broadcasts settle.
        QTRY_COMPARE(ann->linesOf("RoomSettingsUpdate").size(), 2);
        QTRY_COMPARE(ann->linesOf("UserRoomSettingsUpdate").size(), 1);
        QVERIFY(!host.allMembersReady());
        ann->send("ClientSentReadyMessage");
        QTRY_VERIFY(host.allMembersReady());
        QTRY_COMPARE(ann->linesOf("UserRoomSettingsUpdate").size(), 2);

        const int from = ann->lines().size();
        QSignalSpy done(&host, &RoomHost::launchBroadcastFinished);
        host.launchBroadcast();
        QVERIFY(done.wait(5000));
        QTRY_VERIFY(ann->linesOf("TimeToLaunchGame").size() == 1);
        QStringList keywords;
        for (int i = from; i < ann->lines().size(); ++i) {
            const auto keyword = ann->lines()[i].section('~', 0, 0);
            if (keyword != "TCPPing" && keyword != "PingPong")
                keywords << keyword;
        }
        QCOMPARE(keywords,
                 QStringList({"RoomSettingsUpdate", "UserRoomSettingsUpdate", "TimeToLaunchGame"}));
        const auto settingsAt = ann->arrivalOf("RoomSettingsUpdate", 2);
        const auto listAt = ann->arrivalOf("UserRoomSettingsUpdate", 2);
        const auto launchAt = ann->arrivalOf("TimeToLaunchGame");
        QVERIFY(listAt - settingsAt >= 1000 / kSpeedUp * 0.9);
        QVERIFY(launchAt - listAt >= 1000 / kSpeedUp * 0.9);
        QCOMPARE(rowsOf(ann->linesOf("UserRoomSettingsUpdate").last())[1].readyCode,
                 std::string("0"));
    }

    // Found by the community simulator: a member who joins during the broadcast is not in the
    // game the host starts, and must not be told to start one.
    void launchTellsOnlyTheMembersAtItsStart()
    {
        LoopbackRoom host;
        auto ann = host.join("Ann", true);
        QVERIFY(ann);
        QSignalSpy done(&host, &RoomHost::launchBroadcastFinished);
        host.launchBroadcast();
        auto bob = host.join("Bob", true);
        QVERIFY(bob);
        QVERIFY(done.wait(5000));
        QTRY_COMPARE(ann->linesOf("TimeToLaunchGame").size(), 1);
        QTest::qWait(200);
        QVERIFY(bob->linesOf("TimeToLaunchGame").isEmpty());
    }

    void tcpProbeMeasuresInFifteenMillisecondTicks_data()
    {
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<QString>("shown");
        QTest::newRow("before the first tick") << 0 << "37 ms";
        QTest::newRow("still before it") << 14 << "37 ms";
        QTest::newRow("after one tick") << 15 << "44 ms";
        QTest::newRow("after two ticks") << 30 << "73 ms";
    }
    void tcpProbeMeasuresInFifteenMillisecondTicks()
    {
        QFETCH(int, elapsedMs);
        QFETCH(QString, shown);
        LoopbackRoom host(loopbackRoomConfig(), 1.0);
        QVERIFY(host.isOpen());
        auto now = Timing::Clock::time_point{} + std::chrono::hours(1);
        host.timing.setNowFunction([&now] { return now; });
        auto ann = host.join("Ann");
        QVERIFY(ann);
        const QString probe = QStringLiteral("TCPPing~%1").arg(ann->localPort());

        host.pinger().HostPingClientsByTCP("127.0.0.1", ann->localPort());
        QTRY_COMPARE(ann->linesOf("TCPPing"), QStringList{probe});
        now += std::chrono::milliseconds(elapsedMs);
        ann->send(probe);
        QTRY_COMPARE(QString::fromStdString(host.members()[1].ping), shown);

        // An echo nobody asked for measures nothing.
        now += std::chrono::milliseconds(1000);
        ann->send(probe);
        ann->send("ClientSentReadyMessage"); // handled after the echo: a marker
        QTRY_COMPARE(host.members()[1].readyCode, std::string("0"));
        QCOMPARE(QString::fromStdString(host.members()[1].ping), shown);
    }

    void probesOfOneRoundAreMeasuredSeparately()
    {
        LoopbackRoom host(loopbackRoomConfig(), 1.0);
        QVERIFY(host.isOpen());
        auto now = Timing::Clock::time_point{} + std::chrono::hours(1);
        host.timing.setNowFunction([&now] { return now; });
        auto ann = host.join("Ann");
        auto bob = host.join("Bob");
        QVERIFY(ann && bob);
        const QString annProbe = QStringLiteral("TCPPing~%1").arg(ann->localPort());
        const QString bobProbe = QStringLiteral("TCPPing~%1").arg(bob->localPort());

        host.pinger().HostPingClientsByTCP("127.0.0.1", ann->localPort());
        now += std::chrono::milliseconds(30);
        host.pinger().HostPingClientsByTCP("127.0.0.1", bob->localPort());
        QTRY_COMPARE(ann->linesOf("TCPPing").size(), 1);
        QTRY_COMPARE(bob->linesOf("TCPPing").size(), 1);

        // A member cannot answer for another.
        ann->send(bobProbe);
        ann->send(annProbe);
        QTRY_COMPARE(host.members()[1].ping, std::string("73 ms"));
        QCOMPARE(host.members()[2].ping, std::string("N/A"));
        bob->send(bobProbe);
        QTRY_COMPARE(host.members()[2].ping, std::string("37 ms"));
        now += std::chrono::seconds(6); // Ann is silent: the host checks the link
        QTRY_COMPARE_WITH_TIMEOUT(ann->linesOf("TCPPing").size(), 2, 5000);
        host.pinger().HostPingClientsByTCP("127.0.0.1", ann->localPort());
        ann->send(annProbe);                 // answers the check: measures nothing
        ann->send("ClientSentReadyMessage"); // handled after the echo: a marker
        QTRY_COMPARE(host.members()[1].readyCode, std::string("0"));
        QCOMPARE(host.members()[1].ping, std::string("73 ms"));
    }

    void pingRound_data()
    {
        QTest::addColumn<bool>("icmp");
        QTest::newRow("no ICMP: every member by TCP") << false;
        QTest::newRow("ICMP echo (root)") << true;
    }
    void pingRound()
    {
        QFETCH(bool, icmp);
        if (icmp && ::geteuid() != 0)
            QSKIP("ICMP echo from here needs root");
        auto config = loopbackRoomConfig();
        config.icmpMethod = icmp ? IcmpMethod::RawOnly : IcmpMethod::Disabled;
        LoopbackRoom host(config);
        QVERIFY(host.isOpen());
        auto ann = host.join("Ann");
        auto bob = host.join("Bob");
        QVERIFY(ann && bob);
        ann->setEchoPings(true);
        bob->setEchoPings(true);

        QSignalSpy round(&host.pinger(), &RoomPinger::roundFinished);
        host.pinger().HostPingClients();
        QVERIFY(round.wait(10000));
        const QRegularExpression measured(QStringLiteral("^\\d+ ms$"));
        QTRY_VERIFY(measured.match(QString::fromStdString(host.members()[1].ping)).hasMatch());
        QTRY_VERIFY(measured.match(QString::fromStdString(host.members()[2].ping)).hasMatch());
        QCOMPARE(host.members()[0].ping, std::string("N/A"));
        if (icmp) {
            // Loopback answers well within a second, so nothing goes over TCP.
            QVERIFY(ann->linesOf("TCPPing").isEmpty());
            QVERIFY(bob->linesOf("TCPPing").isEmpty());
        } else {
            QVERIFY(!ann->linesOf("TCPPing").isEmpty());
            QVERIFY(!bob->linesOf("TCPPing").isEmpty());
        }
    }

    void closingTheRoomClosesEveryMember()
    {
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        auto ann = host.join("Ann");
        auto bob = host.join("Bob");
        QVERIFY(ann && bob);
        host.close();
        QTRY_VERIFY(ann->isClosed());
        QTRY_VERIFY(bob->isClosed());
        QVERIFY(!host.isListening());
        QVERIFY(!host.ServerRoomSendChatMessageToClientsTyped("nobody hears this"));
    }

    void overlongLineClosesTheConnection()
    {
        LoopbackRoom host;
        QVERIFY(host.isOpen());
        auto ann = host.join("Ann");
        QVERIFY(ann);
        ann->send(QString(kMaxLineLength + 10, QLatin1Char('x')));
        QTRY_VERIFY(ann->isClosed());
        QTRY_COMPARE(host.members().size(), std::size_t(1));
    }

    void portInUseIsReportedAndTheRoomStaysQuiet()
    {
        LoopbackRoom first;
        QVERIFY(first.isOpen());
        auto config = loopbackRoomConfig();
        config.roomPort = first.serverPort();
        RoomHost second(first.timing, config, nullptr);
        QSignalSpy log(&second, &RoomHost::roomLog);
        QVERIFY(!second.open());
        QCOMPARE(log.size(), 3);
        QCOMPARE(log[0][0].toString(),
                 QStringLiteral("Your room failed to start on TCP port %1.").arg(config.roomPort));
        QCOMPARE(log[1][0].toString(),
                 QStringLiteral("Try enabling UPnP in the \"Settings\" and \"Multiplayer and "
                                "Networking\" menu, or changing the port number."));
        QCOMPARE(log[2][0].toString(),
                 QStringLiteral("You may need to forward your ports on your Router, or enable "
                                "UPnP on your Router settings."));
        QVERIFY(!second.ServerRoomSendChatMessageToClientsTyped("hello"));
    }
};

QTEST_GUILESS_MAIN(TestRoomHost)
#include "tst_roomhost.moc"
