#include "core/common/Timing.h"
#include "core/lobby/LobbyConnection.h"
#include "core/roomhost/LobbyMainServerLink.h"
#include "core/roomhost/RoomHost.h"
#include "server/ServerHarness.h"
#include "support/RoomLab.h"
#include "support/RoomMemberScript.h"

#include <memory>
#include <variant>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace vantrell;
using namespace vantrell::core;

namespace {

// Passes every line on to the real lobby connection and notes which went out when.
class RecordingLink : public MainServerLink
{
public:
    explicit RecordingLink(MainServerLink& inner) : m_inner(inner) { m_clock.start(); }

    bool isMainServerOpen() const override { return !cut && m_inner.isMainServerOpen(); }
    void sendToMainServer(const lobby::ClientMessage& message) override
    {
        sent.push_back({m_clock.elapsed(), message});
        m_inner.sendToMainServer(message);
    }

    struct Sent
    {
        qint64 at;
        lobby::ClientMessage message;
    };
    std::vector<Sent> sent;
    bool cut = false; // the main server is away

    QStringList keywords() const
    {
        QStringList out;
        for (const auto& s : sent) {
            const auto line = QString::fromStdString(lobby::encodeClientMessage(s.message));
            out << line.section(QLatin1Char('~'), 0, 0);
        }
        return out;
    }
    const lobby::AdvertiseRoom* lastAdvertisement() const
    {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
            if (const auto* ad = std::get_if<lobby::AdvertiseRoom>(&it->message))
                return ad;
        }
        return nullptr;
    }

private:
    MainServerLink& m_inner;
    QElapsedTimer m_clock;
};

RoomHostConfig roomConfig()
{
    RoomHostConfig config = loopbackRoomConfig();
    config.settings.roomName = "Friday frags";
    config.settings.originalMap = "E1L1: Hollywood Holocaust";
    config.settings.gameType = "Dukematch (Spawn)";
    config.settings.skill = "No Monsters";
    config.nickname = "Hosty";
    return config;
}

// The rooms the main server lists to another lobby right now.
std::vector<lobby::RoomRecord> listedRooms(LobbyClient& watcher)
{
    const auto line = watcher.requestRoomsLine();
    const auto message = lobby::parseServerMessage(line.toStdString());
    if (!message)
        return {};
    if (const auto* list = std::get_if<lobby::NewRoomsListUpdate>(&*message))
        return list->rooms;
    return {};
}

std::string firstInGameFlag(LobbyClient& watcher)
{
    const auto rooms = listedRooms(watcher);
    return rooms.empty() ? std::string() : rooms.front().inGame;
}

} // namespace

class TestRoomAdvertising : public QObject
{
    Q_OBJECT

private slots:
    void joinLeadsToWithdrawalAndFreshAdvertisement()
    {
        ServerProcess server;
        QVERIFY(server.start());
        LobbyConnection lobbyConnection("127.0.0.1", server.port());
        QSignalSpy connected(&lobbyConnection, &LobbyConnection::connected);
        lobbyConnection.open();
        QVERIFY(connected.wait(10000));
        lobbyConnection.ClientVersionCheck();
        lobbyConnection.SendUserDetails("Hosty", "HOSTPC");
        LobbyMainServerLink lobbyLink(lobbyConnection);
        RecordingLink link(lobbyLink);

        LobbyClient watcher(server.port());
        watcher.login("Watcher");

        Timing timing(kSpeedUp);
        RoomHost host(timing, roomConfig(), &link);
        connect(&lobbyConnection, &LobbyConnection::yourRemoteIP, &host,
                &RoomHost::setHostRemoteAddress);
        QSignalSpy advertising(&host, &RoomHost::advertisingChanged);
        QVERIFY(host.open());
        QVERIFY(!host.isAdvertised());
        QVERIFY(listedRooms(watcher).empty());

        // A member joins a room that was never advertised.
        RoomMemberScript member;
        QVERIFY(member.connectTo(host.serverPort()));
        member.send("AddUserToList~Ann~Linux 64 bit ~127.0.0.1~23513");
        QVERIFY(advertising.wait(10000));
        QCOMPARE(advertising.last()[0].toBool(), true);
        QVERIFY(host.isAdvertised());

        QCOMPARE(link.keywords(),
                 QStringList({"StopAdvertisingRoom", "AdvertiseRoom", "ClientRequestRemoteIP"}));
        QVERIFY2(link.sent[0].at >= 2000 / kSpeedUp * 0.9,
                 qPrintable(QString::number(link.sent[0].at)));
        QVERIFY(link.sent[1].at - link.sent[0].at >= 5000 / kSpeedUp * 0.9);
        const auto* ad = link.lastAdvertisement();
        QVERIFY(ad);
        QCOMPARE(ad->players, std::string("2/8"));
        QCOMPARE(ad->nickname, std::string("Hosty"));
        QCOMPARE(ad->privateFlag, std::string("0"));
        QCOMPARE(ad->roomPort, std::string("8501"));
        QCOMPARE(ad->map, std::string("E1L1: Hollywood Holocaust"));
        QCOMPARE(ad->inGame, std::string("No"));

        // The main server lists it for everyone, and tells the host its address.
        std::vector<lobby::RoomRecord> rooms;
        QTRY_COMPARE((rooms = listedRooms(watcher)).size(), std::size_t(1));
        QCOMPARE(rooms[0].roomName, std::string("Friday frags"));
        QCOMPARE(rooms[0].players, std::string("2/8"));
        QCOMPARE(rooms[0].sourcePort, std::string("hDuke"));
        QCOMPARE(rooms[0].inGame, std::string("No"));
        QTRY_COMPARE(host.members()[0].remoteAddress, std::string("127.0.0.1"));

        // The launch flips the flag and asks for a refresh; the next advertisement has it.
        host.setInGame(true);
        host.startSettingsRefresh();
        QTRY_COMPARE_WITH_TIMEOUT(link.sent.size(), std::size_t(6), 10000);
        QCOMPARE(link.lastAdvertisement()->inGame, std::string("Yes"));
        QTRY_COMPARE(firstInGameFlag(watcher), std::string("Yes"));

        // The member leaves: the count follows.
        host.setInGame(false);
        member.disconnectNow();
        QTRY_COMPARE_WITH_TIMEOUT(link.sent.size(), std::size_t(9), 10000);
        QCOMPARE(link.lastAdvertisement()->players, std::string("1/8"));
        QCOMPARE(host.settingsList()[3].value, std::string("1/8"));
        link.cut = true; // a refresh while the main server is away
        host.startSettingsRefresh();
        QTest::qWait(int(7000 * 1.5 / kSpeedUp));
        link.cut = false;
        host.advertiseAgain(); // back on it: listed again
        QCOMPARE(link.keywords().mid(9), QStringList({"AdvertiseRoom", "ClientRequestRemoteIP"}));

        // The button withdraws it; closing the room withdraws it again.
        host.advertiseButtonClicked();
        QVERIFY(!host.isAdvertised());
        QCOMPARE(link.keywords().last(), QStringLiteral("StopAdvertisingRoom"));
        QTRY_VERIFY(listedRooms(watcher).empty());
        host.advertiseButtonClicked();
        QVERIFY(host.isAdvertised());
        QTRY_COMPARE(listedRooms(watcher).size(), std::size_t(1));
        host.close();
        QVERIFY(!host.isAdvertised());
        QTRY_VERIFY(listedRooms(watcher).empty());
    }

    void advertisingNeedsTheLobby()
    {
        // A lobby connection that was never opened.
        LobbyConnection lobbyConnection("127.0.0.1", 9);
        LobbyMainServerLink lobbyLink(lobbyConnection);
        RecordingLink link(lobbyLink);
        Timing timing(kSpeedUp);
        RoomHost host(timing, roomConfig(), &link);
        QSignalSpy log(&host, &RoomHost::roomLog);
        QVERIFY(host.open());
        log.clear();

        host.advertiseButtonClicked();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0][0].toString(),
                 QStringLiteral("You need to login before advertising a room!"));
        QVERIFY(!host.isAdvertised());

        // The timed chain runs but sends nothing.
        RoomMemberScript member;
        QVERIFY(member.connectTo(host.serverPort()));
        member.send("AddUserToList~Ann~Linux 64 bit ~127.0.0.1~23513");
        QTRY_COMPARE(host.settingsList()[3].value, std::string("2/8"));
        QTest::qWait(int(2 * 5000 / kSpeedUp));
        QVERIFY(link.sent.empty());
        QVERIFY(!host.isAdvertised());
    }
};

QTEST_GUILESS_MAIN(TestRoomAdvertising)
#include "tst_roomadvertising.moc"
