#include "base/common/ChatMention.h"
#include "base/lobby/MainServerCodec.h"
#include "support/StringLists.h"

#include <QTest>

using namespace vantrell::lobby;

Q_DECLARE_METATYPE(ClientMessage)
Q_DECLARE_METATYPE(ServerMessage)

namespace {

RoomRecord room(std::string name, bool isPrivate, std::string id)
{
    RoomRecord r;
    r.field0 = "Host";
    r.address = "203.0.113.7";
    r.isPrivate = isPrivate;
    r.roomName = std::move(name);
    r.game = "Duke Nukem 3D";
    r.sourcePort = "hDuke";
    r.players = "1/8";
    r.map = "E1L1";
    r.gameType = "DukeMatch";
    r.skill = "Let's Rock";
    r.inGame = "No";
    r.id = std::move(id);
    r.roomPort = "8501";
    return r;
}

// The 13 fields of a record as they stand on the line.
std::string recordText(const std::string& name, const std::string& flag, const std::string& id)
{
    return "Host~203.0.113.7~" + flag + "~" + name +
           "~Duke Nukem 3D~hDuke~1/8~E1L1~DukeMatch~Let's Rock~No~" + id + "~8501";
}

QStringList roomNames(const NewRoomsListUpdate& update)
{
    QStringList names;
    for (const auto& r : update.rooms)
        names << QString::fromStdString(r.roomName);
    return names;
}

} // namespace

class TestMainServerCodec : public QObject
{
    Q_OBJECT

private slots:
    void clientMessagesRoundTrip_data()
    {
        QTest::addColumn<ClientMessage>("message");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("version") << ClientMessage(ClientVersionCheck{"Vantrex 3829"})
                                 << QByteArray("ClientVersionCheck~Vantrex 3829");
        QTest::newRow("nickname") << ClientMessage(AddNickName{"Ann", "DESKTOP-1"})
                                  << QByteArray("AddNickName,Ann,DESKTOP-1");
        // Written as stored: a comma or a quote in the nickname is not quoted, and the
        // server still finds the computer name after the last comma.
        QTest::newRow("nickname with comma") << ClientMessage(AddNickName{"Smith, J", "PC"})
                                             << QByteArray("AddNickName,Smith, J,PC");
        QTest::newRow("nickname with quotes")
            << ClientMessage(AddNickName{"\"Q\"", "PC"}) << QByteArray("AddNickName,\"Q\",PC");
        QTest::newRow("chat") << ClientMessage(GlobalChat{"Ann", "hello, all"})
                              << QByteArray("Globalchat~Ann~hello, all");
        QTest::newRow("chat empty text")
            << ClientMessage(GlobalChat{"Ann", ""}) << QByteArray("Globalchat~Ann~");
        QTest::newRow("rooms request")
            << ClientMessage(RequestRoomsList{}) << QByteArray("RequestRoomsList");
        QTest::newRow("advertise")
            << ClientMessage(AdvertiseRoom{"Ann", "0", "8501", "Ann's room", "Duke Nukem 3D",
                                           "hDuke", "1/8", "E1L1", "DukeMatch", "Let's Rock", "No"})
            << QByteArray("AdvertiseRoom~Ann~0~8501~Ann's room~Duke Nukem 3D~hDuke~1/8~E1L1~"
                          "DukeMatch~Let's Rock~No");
        QTest::newRow("advertise nblood, empty type and skill")
            << ClientMessage(AdvertiseRoom{"Bo", "1", "8501", "b", "Blood Game", "NBlood", "2/4",
                                           "x.map", "", "", "Yes"})
            << QByteArray("AdvertiseRoom~Bo~1~8501~b~Blood Game~NBlood~2/4~x.map~~~Yes");
        QTest::newRow("remote ip request")
            << ClientMessage(ClientRequestRemoteIP{}) << QByteArray("ClientRequestRemoteIP");
        QTest::newRow("stop") << ClientMessage(StopAdvertisingRoom{})
                              << QByteArray("StopAdvertisingRoom");
    }
    void clientMessagesRoundTrip()
    {
        QFETCH(ClientMessage, message);
        QFETCH(QByteArray, line);
        QCOMPARE(QByteArray::fromStdString(encodeClientMessage(message)), line);
        const auto parsed = parseClientMessage(line.toStdString());
        QVERIFY(parsed.has_value());
        QVERIFY(*parsed == message);
    }

    void clientLinesThatAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("other case") << QByteArray("globalchat~Ann~hi");
        QTest::newRow("chat without text") << QByteArray("Globalchat~Ann");
        QTest::newRow("advertise 11 fields")
            << QByteArray("AdvertiseRoom~Ann~0~8501~r~Duke Nukem 3D~hDuke~1/8~E1L1~DM~S");
        QTest::newRow("advertise 13 fields")
            << QByteArray("AdvertiseRoom~Ann~0~8501~r~Duke Nukem 3D~hDuke~1/8~E1L1~DM~S~No~x");
        QTest::newRow("nickname on tilde") << QByteArray("AddNickName~Ann~PC");
        QTest::newRow("keyword with suffix") << QByteArray("RequestRoomsListX");
        QTest::newRow("server keyword") << QByteArray("WrongVersion");
        QTest::newRow("empty") << QByteArray("");
    }
    void clientLinesThatAreIgnored()
    {
        QFETCH(QByteArray, line);
        QVERIFY(!parseClientMessage(line.toStdString()).has_value());
    }

    void clientLinesWithExtraFields()
    {
        // Text after a further "~" is not part of the chat text, on either side.
        auto chat = parseClientMessage("Globalchat~Ann~hi~there");
        QVERIFY(chat && *chat == ClientMessage(GlobalChat{"Ann", "hi"}));
        auto version = parseClientMessage("ClientVersionCheck");
        QVERIFY(version && *version == ClientMessage(ClientVersionCheck{""}));
        auto nick = parseClientMessage("AddNickName,Ann");
        QVERIFY(nick && *nick == ClientMessage(AddNickName{"Ann", ""}));
        auto bare = parseClientMessage("AddNickName");
        QVERIFY(bare && *bare == ClientMessage(AddNickName{"", ""}));
    }

    void serverMessagesRoundTrip_data()
    {
        QTest::addColumn<ServerMessage>("message");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("users") << ServerMessage(UserListUpdate{"2", {"Ann", "Bob"}})
                               << QByteArray("UserListUpdate,2,Ann,Bob");
        QTest::newRow("no users") << ServerMessage(UserListUpdate{"0", {}})
                                  << QByteArray("UserListUpdate,0");
        QTest::newRow("quoted users")
            << ServerMessage(UserListUpdate{"3", {"Smith, J", "say \"hi\"", " Bob "}})
            << QByteArray("UserListUpdate,3,\"Smith, J\",\"say \"\"hi\"\"\", Bob ");
        QTest::newRow("empty last nickname") << ServerMessage(UserListUpdate{"2", {"Ann", ""}})
                                             << QByteArray("UserListUpdate,2,Ann,");
        QTest::newRow("count holding a comma") << ServerMessage(UserListUpdate{"1,5", {"Ann"}})
                                               << QByteArray("UserListUpdate,\"1,5\",Ann");
        QTest::newRow("wrong version")
            << ServerMessage(WrongVersion{}) << QByteArray("WrongVersion");
        QTest::newRow("chat") << ServerMessage(GlobalChat{"Ann", "hi, you"})
                              << QByteArray("Globalchat~Ann~hi, you");
        QTest::newRow("no rooms") << ServerMessage(NewRoomsListUpdate{})
                                  << QByteArray("NewRoomsListUpdate~0");
        QTest::newRow("two rooms")
            << ServerMessage(NewRoomsListUpdate{{room("A", true, "1"), room("B", false, "7")}})
            << QByteArray::fromStdString("NewRoomsListUpdate~2~" + recordText("A", "1", "1") + "~" +
                                         recordText("B", "0", "7"));
        QTest::newRow("remote ip") << ServerMessage(YourRemoteIP{"198.51.100.4"})
                                   << QByteArray("YourRemoteIP~198.51.100.4");
        QTest::newRow("timed users") << ServerMessage(UpdateTimedUserList{{"Ann", "Bob"}})
                                     << QByteArray("UpdateTimedUserList~2~Ann~Bob");
        QTest::newRow("timed no users")
            << ServerMessage(UpdateTimedUserList{}) << QByteArray("UpdateTimedUserList~0");
    }
    void serverMessagesRoundTrip()
    {
        QFETCH(ServerMessage, message);
        QFETCH(QByteArray, line);
        QCOMPARE(QByteArray::fromStdString(encodeServerMessage(message)), line);
        const auto parsed = parseServerMessage(line.toStdString());
        QVERIFY(parsed.has_value());
        QVERIFY(*parsed == message);
    }

    void userListKeepsCountAsReceived_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QStringList>("nicknames");
        QTest::newRow("count larger than names")
            << QByteArray("UserListUpdate,3,Ann,Bob") << "3" << QStringList{"Ann", "Bob"};
        QTest::newRow("zero") << QByteArray("UserListUpdate,0") << "0" << QStringList{};
        QTest::newRow("quoted with comma") << QByteArray("UserListUpdate,2,\"Smith, J\",Bob") << "2"
                                           << QStringList{"Smith, J", "Bob"};
        QTest::newRow("blanks belong to fields")
            << QByteArray("UserListUpdate, 2 , Ann") << " 2 " << QStringList{" Ann"};
        QTest::newRow("trailing comma")
            << QByteArray("UserListUpdate,1,Ann,") << "1" << QStringList{"Ann", ""};
        QTest::newRow("keyword alone") << QByteArray("UserListUpdate") << "" << QStringList{};
        QTest::newRow("tildes are plain text")
            << QByteArray("UserListUpdate,1,A~B") << "1" << QStringList{"A~B"};
    }
    void userListKeepsCountAsReceived()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, count);
        QFETCH(QStringList, nicknames);
        const auto parsed = parseServerMessage(line.toStdString());
        QVERIFY(parsed && std::holds_alternative<UserListUpdate>(*parsed));
        const auto& update = std::get<UserListUpdate>(*parsed);
        QCOMPARE(QString::fromStdString(update.countText), count);
        QCOMPARE(toQt(update.nicknames), nicknames);
    }

    void roomsList_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("names");
        const auto a = recordText("A", "1", "1");
        const auto b = recordText("B", "0", "2");
        const auto c = recordText("C", "0", "3");
        QTest::newRow("zero") << QByteArray("NewRoomsListUpdate~0") << QStringList{};
        QTest::newRow("zero with records")
            << QByteArray::fromStdString("NewRoomsListUpdate~0~" + a) << QStringList{};
        QTest::newRow("count not a number")
            << QByteArray::fromStdString("NewRoomsListUpdate~x~" + a) << QStringList{};
        QTest::newRow("negative count")
            << QByteArray::fromStdString("NewRoomsListUpdate~-1~" + a) << QStringList{};
        QTest::newRow("count missing") << QByteArray("NewRoomsListUpdate") << QStringList{};
        QTest::newRow("private flag 2 skipped, later kept")
            << QByteArray::fromStdString("NewRoomsListUpdate~3~" + a + "~" +
                                         recordText("X", "2", "9") + "~" + c)
            << QStringList{"A", "C"};
        QTest::newRow("count beyond records")
            << QByteArray::fromStdString("NewRoomsListUpdate~5~" + a + "~" + b)
            << QStringList{"A", "B"};
        QTest::newRow("incomplete last record")
            << QByteArray::fromStdString("NewRoomsListUpdate~2~" + a + "~Host~1.2.3.4~0~D")
            << QStringList{"A"};
        QTest::newRow("records beyond count")
            << QByteArray::fromStdString("NewRoomsListUpdate~1~" + a + "~" + b) << QStringList{"A"};
    }
    void roomsList()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, names);
        const auto parsed = parseServerMessage(line.toStdString());
        QVERIFY(parsed && std::holds_alternative<NewRoomsListUpdate>(*parsed));
        QCOMPARE(roomNames(std::get<NewRoomsListUpdate>(*parsed)), names);
    }

    void roomRecordFieldsByPosition()
    {
        const auto parsed = parseServerMessage(
            "NewRoomsListUpdate~1~f0~10.0.0.1~1~name~game~port~2/4~map~type~skill~Yes~42~8600");
        QVERIFY(parsed);
        const auto& rooms = std::get<NewRoomsListUpdate>(*parsed).rooms;
        QCOMPARE(rooms.size(), std::size_t(1));
        const RoomRecord expected{"f0",  "10.0.0.1", true,    "name", "game", "port", "2/4",
                                  "map", "type",     "skill", "Yes",  "42",   "8600"};
        QVERIFY(rooms[0] == expected);
    }

    void timedUserList_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("nicknames");
        QTest::newRow("two") << QByteArray("UpdateTimedUserList~2~Ann~Bob")
                             << QStringList{"Ann", "Bob"};
        QTest::newRow("fewer fields than count")
            << QByteArray("UpdateTimedUserList~3~Ann") << QStringList{"Ann"};
        QTest::newRow("more fields than count")
            << QByteArray("UpdateTimedUserList~1~Ann~Bob") << QStringList{"Ann"};
        QTest::newRow("count not a number")
            << QByteArray("UpdateTimedUserList~two~Ann~Bob") << QStringList{};
        QTest::newRow("empty last field")
            << QByteArray("UpdateTimedUserList~2~Ann~") << QStringList{"Ann", ""};
    }
    void timedUserList()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, nicknames);
        const auto parsed = parseServerMessage(line.toStdString());
        QVERIFY(parsed && std::holds_alternative<UpdateTimedUserList>(*parsed));
        QCOMPARE(toQt(std::get<UpdateTimedUserList>(*parsed).nicknames), nicknames);
    }

    void serverLinesThatAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("lower case chat") << QByteArray("globalchat~Ann~hi");
        QTest::newRow("user list on tilde") << QByteArray("UserListUpdate~1~Ann");
        QTest::newRow("chat on comma") << QByteArray("Globalchat,Ann,hi");
        QTest::newRow("remote ip without address") << QByteArray("YourRemoteIP");
        QTest::newRow("client keyword") << QByteArray("RequestRoomsList");
        QTest::newRow("empty") << QByteArray("");
    }
    void serverLinesThatAreIgnored()
    {
        QFETCH(QByteArray, line);
        QVERIFY(!parseServerMessage(line.toStdString()).has_value());
    }

    void serverChatDropsTextAfterFurtherTilde()
    {
        const auto parsed = parseServerMessage("Globalchat~Ann~hi~there");
        QVERIFY(parsed && *parsed == ServerMessage(GlobalChat{"Ann", "hi"}));
    }

    void wrongVersionIgnoresFurtherFields()
    {
        const auto parsed = parseServerMessage("WrongVersion~please update");
        QVERIFY(parsed && std::holds_alternative<WrongVersion>(*parsed));
    }

    // When a chat line names the player (desktop notifications).
    void mentions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("mentioned");
        QTest::newRow("any case") << "come on ANN!" << true;
        QTest::newRow("whole line") << "ann" << true;
        QTest::newRow("inside words") << "Annie and joanna" << false;
        QTest::newRow("second time whole") << "Annie, Ann?" << true;
        QTest::newRow("digit continues") << "Ann2 here" << false;
        QTest::newRow("UTF-8 continues") << "Ann\xc3\xa9" << false;
    }
    void mentions()
    {
        QFETCH(QString, text);
        QFETCH(bool, mentioned);
        QCOMPARE(vantrell::mentionsPlayer("Bob", text.toStdString(), "Ann"), mentioned);
        // The player's own lines and an empty nickname never count.
        QVERIFY(!vantrell::mentionsPlayer("Ann", text.toStdString(), "Ann"));
        QVERIFY(!vantrell::mentionsPlayer("Bob", text.toStdString(), ""));
    }
};

QTEST_APPLESS_MAIN(TestMainServerCodec)
#include "tst_mainservercodec.moc"
