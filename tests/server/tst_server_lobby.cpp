// The main server's protocol as lobbies see it: the real executable over real sockets.
#include "ServerHarness.h"

#include <QTest>

using namespace vantrell;
using namespace vantrell::lobby;

namespace {

bool isChat(const ServerMessage& m)
{
    return std::holds_alternative<GlobalChat>(m);
}

AdvertiseRoom room(const std::string& nickname, const std::string& name,
                   const std::string& players = "1/8")
{
    return AdvertiseRoom{nickname,        "0",          "8501",  name,
                         "Duke Nukem 3D", "hDuke",      players, "E1L1",
                         "DukeMatch",     "Let's Rock", "No"};
}

std::string record(const std::string& nickname, const std::string& address, const std::string& name,
                   const std::string& players, const std::string& id)
{
    return nickname + "~" + address + "~0~" + name + "~Duke Nukem 3D~hDuke~" + players +
           "~E1L1~DukeMatch~Let's Rock~No~" + id + "~8501";
}

QStringList chatLines(const LobbyClient& client)
{
    QStringList out;
    for (const auto& m : client.messages()) {
        if (const auto* chat = std::get_if<GlobalChat>(&m))
            out << QString::fromStdString(chat->nickname + ": " + chat->text);
    }
    return out;
}

} // namespace

class TestServerLobby : public QObject
{
    Q_OBJECT

private slots:
    void userListsFollowJoinsAndLeaves()
    {
        ServerProcess server;
        QVERIFY(server.start());
        LobbyClient ann(server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        QVERIFY(ann.waitForUserList({"Ann"}));

        // Joins in quick succession: whatever the server merges, every client ends up with
        // the full list in join order, and nicknames with "," or quotes read back whole.
        LobbyClient smith(server.port());
        QVERIFY(smith.loginInOrder("Smith, J"));
        LobbyClient quoted(server.port());
        QVERIFY(quoted.loginInOrder("\"Q\" Ann"));
        LobbyClient twin(server.port());
        QVERIFY(twin.loginInOrder("Ann"));
        const QStringList all{"Ann", "Smith, J", "\"Q\" Ann", "Ann"};
        for (auto* client : {&ann, &smith, &quoted, &twin})
            QVERIFY2(client->waitForUserList(all), qPrintable(client->lastUserList().join('|')));

        smith.disconnect();
        const QStringList left{"Ann", "\"Q\" Ann", "Ann"};
        for (auto* client : {&ann, &quoted, &twin})
            QVERIFY2(client->waitForUserList(left), qPrintable(client->lastUserList().join('|')));
        QVERIFY(server.waitForLog("disconnect #2"));
    }

    void nicknameRules()
    {
        ServerProcess server;
        QVERIFY(server.start({"--user-list-min-gap", "0"}));
        LobbyClient watcher(server.port());
        QVERIFY(watcher.loginInOrder("Watcher"));
        QVERIFY(watcher.waitForUserList({"Watcher"}));

        // A nickname before the version check is not registered; the one after it is.
        LobbyClient early(server.port());
        early.send(AddNickName{"Early", "PC"});
        early.send(ClientVersionCheck{"Vantrex 3829"});
        QVERIFY(early.roundTrip());
        early.send(AddNickName{"Later", "PC"});
        // A second nickname does not rename or duplicate the user.
        early.send(AddNickName{"Renamed", "PC"});
        QVERIFY(early.roundTrip());
        // "~" would split the relayed and timed lines, so it is kept as "?".
        LobbyClient tilde(server.port());
        QVERIFY(tilde.loginInOrder("a~b"));
        QVERIFY(watcher.waitForUserList({"Watcher", "Later", "a?b"}));
        QCOMPARE(watcher.lastUserList(), (QStringList{"3", "Watcher", "Later", "a?b"}));
        QVERIFY(server.waitForLog("second AddNickName ignored"));
        QVERIFY(server.waitForLog("line before an accepted version check ignored"));

        // Empty and oversized nicknames are refused.
        LobbyClient empty(server.port());
        QVERIFY(empty.loginInOrder(""));
        LobbyClient huge(server.port());
        QVERIFY(huge.loginInOrder(std::string(65, 'x')));
        QCOMPARE(server.countLog("refused #4"), 1);
        QCOMPARE(server.countLog("refused #5"), 1);
        QCOMPARE(watcher.lastUserList(), (QStringList{"3", "Watcher", "Later", "a?b"}));
    }

    void versionCheck_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("default token") << QStringList{} << "Vantrex 3829" << true;
        QTest::newRow("older token") << QStringList{} << "Vantrex 3828" << false;
        QTest::newRow("token in other case") << QStringList{} << "vantrex 3829" << false;
        QTest::newRow("empty token") << QStringList{} << "" << false;
        QTest::newRow("configured token")
            << QStringList{"--version-token", "Vantrex 4000"} << "Vantrex 4000" << true;
        QTest::newRow("default token when another is configured")
            << QStringList{"--version-token", "Vantrex 4000"} << "Vantrex 3829" << false;
    }
    void versionCheck()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, token);
        QFETCH(bool, accepted);
        ServerProcess server;
        QVERIFY(server.start(options + QStringList{"--user-list-min-gap", "0"}));
        LobbyClient watcher(server.port());
        const std::string serverToken = options.isEmpty() ? "Vantrex 3829" : "Vantrex 4000";
        watcher.send(ClientVersionCheck{serverToken});
        watcher.send(AddNickName{"Watcher", "PC"});
        QVERIFY(watcher.waitForUserList({"Watcher"}));

        LobbyClient client(server.port());
        client.send(ClientVersionCheck{token.toStdString()});
        client.send(AddNickName{"Tester", "PC"});
        // A repeated check cannot turn a refusal into an acceptance.
        client.send(ClientVersionCheck{"Vantrex 3829"});
        client.send(ClientVersionCheck{"Vantrex 4000"});
        if (accepted) {
            QVERIFY(watcher.waitForUserList({"Watcher", "Tester"}));
            QVERIFY(client.roundTrip());
        } else {
            QVERIFY(client.waitForLine("WrongVersion"));
            // Nothing else is served to it, and it never joins the list.
            client.send(RequestRoomsList{});
            LobbyClient marker(server.port());
            marker.send(ClientVersionCheck{serverToken});
            marker.send(AddNickName{"Marker", "PC"});
            QVERIFY(watcher.waitForUserList({"Watcher", "Marker"}));
            QCOMPARE(client.lines(), std::vector<std::string>{"WrongVersion"});
            QVERIFY(client.isConnected());
        }
    }

    void chatIsRelayedUnderTheRegisteredNickname()
    {
        ServerProcess server;
        QVERIFY(server.start({"--flood-lines", "0"}));
        LobbyClient ann(server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        LobbyClient bob(server.port());
        QVERIFY(bob.loginInOrder("Bob"));
        LobbyClient stranger(server.port());
        stranger.send(ClientVersionCheck{"Vantrex 3829"});
        QVERIFY(ann.waitForUserList({"Ann", "Bob"}));

        stranger.send(GlobalChat{"Stranger", "not registered"});
        QVERIFY(stranger.roundTrip());
        ann.send(GlobalChat{"Mallory", "hi, all"});
        ann.send(GlobalChat{"Ann", ""});
        ann.sendLine("Globalchat~Ann~cut~here");
        ann.sendLine("globalchat~Ann~wrong case");
        ann.send(GlobalChat{"Ann", "last"});
        const QStringList expected{"Ann: hi, all", "Ann: cut", "Ann: last"};
        for (auto* client : {&ann, &bob}) {
            QVERIFY(client->waitFor([](const ServerMessage& m) {
                return isChat(m) && std::get<GlobalChat>(m).text == "last";
            }));
            QCOMPARE(chatLines(*client), expected);
        }
        QVERIFY(ann.waitForLine("Globalchat~Ann~hi, all"));
        // Not registered: neither relayed nor sent chat.
        QVERIFY(stranger.roundTrip());
        QCOMPARE(chatLines(stranger), QStringList{});
    }

    void relayedChatStaysWithinOneReadableLine()
    {
        ServerProcess server;
        QVERIFY(server.start());
        // The longest line a client may send, naming a short nickname, is relayed under a
        // long registered one: it must be cut, not grow past what the lobbies read.
        const std::string nickname(64, 'N');
        LobbyClient talker(server.port());
        QVERIFY(talker.loginInOrder(nickname));
        QVERIFY(talker.waitForUserList({QString::fromStdString(nickname)}));
        const std::string sent = "Globalchat~x~" + std::string(16384 - 13, 'y');
        talker.sendLine(sent);
        QVERIFY(talker.waitFor(isChat));
        const auto& relayed = talker.lines().back();
        QCOMPARE(relayed.size(), std::size_t(16384));
        QCOMPARE(relayed.substr(0, 11 + 64 + 4), "Globalchat~" + nickname + "~yyy");
        QVERIFY(talker.isConnected());
    }

    void chatFloodLimitDropsAndCounts()
    {
        ServerProcess server;
        QVERIFY(server.start({"--flood-lines", "3", "--flood-window", "600"}));
        LobbyClient ann(server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        LobbyClient bob(server.port());
        QVERIFY(bob.loginInOrder("Bob"));
        QVERIFY(bob.waitForUserList({"Ann", "Bob"}));

        for (int i = 1; i <= 5; ++i)
            ann.send(GlobalChat{"Ann", "line " + std::to_string(i)});
        // Once Ann's round trip is answered, all five lines have been handled; Bob's own line
        // then reaches Bob after every relay of Ann's.
        QVERIFY(ann.roundTrip());
        bob.send(GlobalChat{"Bob", "marker"});
        QVERIFY(bob.waitFor([](const ServerMessage& m) {
            return isChat(m) && std::get<GlobalChat>(m).text == "marker";
        }));
        QCOMPARE(chatLines(bob),
                 (QStringList{"Ann: line 1", "Ann: line 2", "Ann: line 3", "Bob: marker"}));
        // Other connections have budgets of their own.
        bob.send(GlobalChat{"Bob", "again"});
        QVERIFY(ann.waitForLine("Globalchat~Bob~again"));
        ann.disconnect();
        QVERIFY(server.waitForLog("(2 chat lines dropped by the flood limit)"));
        QCOMPARE(server.countLog("chat over the flood limit dropped"), 1);
    }

    void roomsAdvertiseReplaceStopAndDisconnect()
    {
        ServerProcess server;
        QVERIFY(server.start());
        LobbyClient ann(server.port(), "127.0.0.2");
        QVERIFY(ann.loginInOrder("Ann"));
        LobbyClient bob(server.port(), "127.0.0.3");
        QVERIFY(bob.loginInOrder("Bob"));
        LobbyClient viewer(server.port());
        QVERIFY(viewer.loginInOrder("Viewer"));
        QVERIFY(viewer.waitForUserList({"Ann", "Bob", "Viewer"}));
        QCOMPARE(viewer.requestRoomsLine(), QString("NewRoomsListUpdate~0"));

        // Field 0 is the registered nickname (not the advertised one), the address is the
        // one the server sees, and the id is the server's.
        ann.send(room("NotAnn", "Ann's room"));
        QVERIFY(ann.roundTrip());
        bob.send(room("Bob", "Bob's room"));
        QVERIFY(bob.roundTrip());
        QCOMPARE(viewer.requestRoomsLine(),
                 QString::fromStdString("NewRoomsListUpdate~2~" +
                                        record("Ann", "127.0.0.2", "Ann's room", "1/8", "1") + "~" +
                                        record("Bob", "127.0.0.3", "Bob's room", "1/8", "2")));

        // A replacement keeps its id and its place.
        ann.send(room("Ann", "Ann's room", "2/8"));
        QVERIFY(ann.roundTrip());
        QCOMPARE(viewer.requestRoomsLine(),
                 QString::fromStdString("NewRoomsListUpdate~2~" +
                                        record("Ann", "127.0.0.2", "Ann's room", "2/8", "1") + "~" +
                                        record("Bob", "127.0.0.3", "Bob's room", "1/8", "2")));

        // Withdrawn and advertised again: a new id, at the end.
        ann.send(StopAdvertisingRoom{});
        QVERIFY(ann.roundTrip());
        QCOMPARE(viewer.requestRoomsLine(),
                 QString::fromStdString("NewRoomsListUpdate~1~" +
                                        record("Bob", "127.0.0.3", "Bob's room", "1/8", "2")));
        ann.send(room("Ann", "Ann's room"));
        QVERIFY(ann.roundTrip());
        QCOMPARE(viewer.requestRoomsLine(),
                 QString::fromStdString("NewRoomsListUpdate~2~" +
                                        record("Bob", "127.0.0.3", "Bob's room", "1/8", "2") + "~" +
                                        record("Ann", "127.0.0.2", "Ann's room", "1/8", "3")));

        // A host that goes away takes its room and its user with it.
        bob.disconnect();
        QVERIFY(viewer.waitForUserList({"Ann", "Viewer"}));
        QCOMPARE(viewer.requestRoomsLine(),
                 QString::fromStdString("NewRoomsListUpdate~1~" +
                                        record("Ann", "127.0.0.2", "Ann's room", "1/8", "3")));
        QVERIFY(server.waitForLog("room 2 removed: host #2 disconnected"));
        QVERIFY(server.waitForLog("room 1 removed by #1"));
    }

    void invalidAdvertisementsAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("line");
        const QByteArray tail = "~Duke Nukem 3D~hDuke~1/8~E1L1~DukeMatch~Let's Rock~No";
        QTest::newRow("private flag 2") << "AdvertiseRoom~Ann~2~8501~room" + tail;
        QTest::newRow("private flag empty") << "AdvertiseRoom~Ann~~8501~room" + tail;
        QTest::newRow("port 0") << "AdvertiseRoom~Ann~0~0~room" + tail;
        QTest::newRow("port 65536") << "AdvertiseRoom~Ann~0~65536~room" + tail;
        QTest::newRow("port not a number") << "AdvertiseRoom~Ann~0~85x1~room" + tail;
        QTest::newRow("port negative") << "AdvertiseRoom~Ann~0~-1~room" + tail;
        QTest::newRow("11 fields") << QByteArray("AdvertiseRoom~Ann~0~8501~room~Duke Nukem 3D~"
                                                 "hDuke~1/8~E1L1~DukeMatch~Let's Rock");
        QTest::newRow("13 fields") << "AdvertiseRoom~Ann~0~8501~room" + tail + "~extra";
    }
    void invalidAdvertisementsAreIgnored()
    {
        QFETCH(QByteArray, line);
        ServerProcess server;
        QVERIFY(server.start());
        LobbyClient ann(server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        ann.send(room("Ann", "valid"));
        // An invalid line neither adds a room nor replaces the valid one.
        ann.sendLine(line.toStdString());
        QVERIFY(ann.roundTrip());
        QCOMPARE(ann.requestRoomsLine(),
                 QString::fromStdString("NewRoomsListUpdate~1~" +
                                        record("Ann", "127.0.0.1", "valid", "1/8", "1")));
    }

    void advertisingNeedsARegisteredUser()
    {
        ServerProcess server;
        QVERIFY(server.start());
        LobbyClient anon(server.port());
        anon.send(ClientVersionCheck{"Vantrex 3829"});
        anon.send(room("Anon", "sneaky"));
        QVERIFY(anon.roundTrip());
        QCOMPARE(anon.requestRoomsLine(), QString("NewRoomsListUpdate~0"));
    }

    void remoteAddress_data()
    {
        QTest::addColumn<QString>("listen");
        QTest::addColumn<QString>("source");
        QTest::newRow("ipv4") << "127.0.0.1"
                              << "127.0.0.2";
        QTest::newRow("ipv4-mapped on an ipv6 listener") << "::ffff:127.0.0.1"
                                                         << "127.0.0.5";
    }
    void remoteAddress()
    {
        QFETCH(QString, listen);
        QFETCH(QString, source);
        ServerProcess server;
        if (!server.start({"--address", listen}))
            QSKIP("cannot listen on this address here");
        LobbyClient client(server.port(), source);
        client.send(ClientVersionCheck{"Vantrex 3829"});
        client.send(ClientRequestRemoteIP{});
        QVERIFY(client.waitForLine("YourRemoteIP~" + source.toStdString()));
    }

    void timedUserListReachesRegisteredClients()
    {
        ServerProcess server;
        QVERIFY(server.start({"--timed-list-interval", "0.1"}));
        LobbyClient ann(server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        LobbyClient bob(server.port());
        QVERIFY(bob.loginInOrder("Smith, J"));
        LobbyClient unregistered(server.port());
        unregistered.send(ClientVersionCheck{"Vantrex 3829"});
        for (auto* client : {&ann, &bob})
            QVERIFY(client->waitForLine("UpdateTimedUserList~2~Ann~Smith, J"));
        QVERIFY(unregistered.roundTrip());
        QVERIFY(ann.waitForLine("UpdateTimedUserList~2~Ann~Smith, J"));
        for (const auto& line : unregistered.lines())
            QVERIFY(line.rfind("UpdateTimedUserList", 0) != 0);
    }
};

QTEST_GUILESS_MAIN(TestServerLobby)
#include "tst_server_lobby.moc"
