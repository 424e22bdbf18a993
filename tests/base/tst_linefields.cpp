// The field rule both protocols share: whatever a player types into a field, the line the
// encoder writes has the same fields as with a harmless text, and reads back as that text.
#include "base/common/Fields.h"
#include "base/lobby/MainServerCodec.h"
#include "base/roomhost/RoomCodec.h"

#include <functional>
#include <utility>

#include <QTest>

using namespace vantrell;

namespace {

enum class Codec
{
    Member,
    Host,
    Client,
    Server
};

std::string encode(const roomhost::MemberMessage& m)
{
    return roomhost::encodeMemberMessage(m);
}
std::string encode(const roomhost::HostMessage& m)
{
    return roomhost::encodeHostMessage(m);
}
std::string encode(const lobby::ClientMessage& m)
{
    return lobby::encodeClientMessage(m);
}
std::string encode(const lobby::ServerMessage& m)
{
    return lobby::encodeServerMessage(m);
}
Codec codecOf(const roomhost::MemberMessage&)
{
    return Codec::Member;
}
Codec codecOf(const roomhost::HostMessage&)
{
    return Codec::Host;
}
Codec codecOf(const lobby::ClientMessage&)
{
    return Codec::Client;
}
Codec codecOf(const lobby::ServerMessage&)
{
    return Codec::Server;
}

template <typename Parse>
bool readAlike(Parse parse, const std::string& a, const std::string& b)
{
    const auto first = parse(a);
    const auto second = parse(b);
    return first && second && *first == *second;
}

bool parsesAlike(Codec codec, const std::string& a, const std::string& b)
{
    switch (codec) {
    case Codec::Member:
        return readAlike(roomhost::parseMemberMessage, a, b);
    case Codec::Host:
        return readAlike(roomhost::parseHostMessage, a, b);
    case Codec::Client:
        return readAlike(lobby::parseClientMessage, a, b);
    case Codec::Server:
        return readAlike(lobby::parseServerMessage, a, b);
    }
    return false;
}

std::size_t fieldCount(const std::string& line)
{
    const bool commaLine =
        line.rfind("AddNickName,", 0) == 0 || line.rfind("UserListUpdate,", 0) == 0;
    return commaLine ? splitComma(line).size() : splitTilde(line).size();
}

// What a player may type into a field, and what the other side must then read in it.
struct Typed
{
    const char* name;
    std::string typed;
    std::string read;
};
const std::vector<Typed> kLineBreaks = {{"LF", "a\nb", "a b"}, {"CR LF", "a\r\nb", "a  b"}};
const std::vector<Typed> kEverything = {
    {"tilde", "a~b", "a-b"}, {"tildes only", "~~", "--"}, kLineBreaks[0], kLineBreaks[1]};

// One row per text for the field `make` fills in. Comma lines and free text keep their "~",
// so they are only given line breaks.
template <typename Make>
void addRows(const QString& field, Make make, const std::vector<Typed>& texts = kEverything)
{
    for (const auto& t : texts) {
        const auto typed = make(t.typed);
        QTest::newRow(qPrintable(field + ", " + t.name))
            << int(codecOf(typed)) << QByteArray::fromStdString(encode(typed))
            << QByteArray::fromStdString(encode(make(t.read)));
    }
}

template <typename Message, typename Variant>
void addFieldRows(const char* keyword, const Message& sample,
                  std::initializer_list<std::pair<const char*, std::string Message::*>> fields)
{
    for (const auto& [name, member] : fields) {
        addRows(QString("%1 %2").arg(keyword, name), [&, member = member](const std::string& v) {
            Message m = sample;
            m.*member = v;
            return Variant(m);
        });
    }
}

const lobby::AdvertiseRoom kAdvertised{"Ann",           "0",          "8501", "Ann's room",
                                       "Duke Nukem 3D", "hDuke",      "1/8",  "E1L1",
                                       "DukeMatch",     "Let's Rock", "No"};

lobby::RoomRecord record(std::string name)
{
    return lobby::RoomRecord{"Host",  "203.0.113.7", false,  std::move(name), "Duke Nukem 3D",
                             "hDuke", "1/8",         "E1L1", "DukeMatch",     "Let's Rock",
                             "No",    "42",          "8501"};
}

roomhost::MemberRow memberRow(std::string nickname)
{
    roomhost::MemberRow row;
    row.readyCode = "1";
    row.nickname = std::move(nickname);
    row.os = "Linux 64 bit ";
    row.remoteAddress = "203.0.113.7";
    row.localAddress = "10.0.0.5";
    row.team = " ";
    row.remotePort = "51234";
    row.udpPort = "23514";
    return row;
}

} // namespace

class TestLineFields : public QObject
{
    Q_OBJECT

private slots:
    void typedTextKeepsTheLineShape_data()
    {
        using namespace roomhost;
        using namespace lobby;
        QTest::addColumn<int>("codec");
        QTest::addColumn<QByteArray>("typedLine");
        QTest::addColumn<QByteArray>("readLine");

        // ---- room, member to host
        addFieldRows<AddUserToList, MemberMessage>(
            "AddUserToList", AddUserToList{"Ann", "Linux 64 bit ", "10.0.0.5", "23513"},
            {{"nickname", &AddUserToList::nickname},
             {"os", &AddUserToList::os},
             {"local address", &AddUserToList::localAddress},
             {"UDP port", &AddUserToList::udpPort}});
        addFieldRows<ClientSentTeamChanged, MemberMessage>(
            "ClientSentTeamChanged", ClientSentTeamChanged{"Team 1"},
            {{"team", &ClientSentTeamChanged::team}});
        addFieldRows<RoomChat, MemberMessage>("RoomChat to host", RoomChat{"Ann", "hi"},
                                              {{"nickname", &RoomChat::nickname}});
        addRows(
            "RoomChat to host text",
            [](const std::string& v) {
                return MemberMessage(RoomChat{"Ann", v});
            },
            kLineBreaks);
        addFieldRows<TCPPing, MemberMessage>("TCPPing echo", TCPPing{"51234"},
                                             {{"remote port", &TCPPing::remotePort}});

        // ---- room, host to members; a value in the first row must not move the second
        addRows("RoomSettingsUpdate name", [](const std::string& v) {
            return HostMessage(RoomSettingsUpdate{{{v, "x"}, {"Map", "E1L1"}}});
        });
        addRows("RoomSettingsUpdate value", [](const std::string& v) {
            return HostMessage(RoomSettingsUpdate{{{"Room Name", v}, {"Map", "E1L1"}}});
        });
        for (auto [name, member] :
             std::initializer_list<std::pair<const char*, std::string MemberRow::*>>{
                 {"ready code", &MemberRow::readyCode},
                 {"nickname", &MemberRow::nickname},
                 {"os", &MemberRow::os},
                 {"remote address", &MemberRow::remoteAddress},
                 {"local address", &MemberRow::localAddress},
                 {"team", &MemberRow::team},
                 {"remote port", &MemberRow::remotePort},
                 {"UDP port", &MemberRow::udpPort}}) {
            addRows(QString("UserRoomSettingsUpdate %1").arg(name),
                    [member = member](const std::string& v) {
                        UserRoomSettingsUpdate update{{memberRow("Host"), memberRow("Bob")}};
                        update.rows[0].*member = v;
                        return HostMessage(update);
                    });
        }
        addFieldRows<YourRemotePortIs, HostMessage>("YourRemotePortIs", YourRemotePortIs{"51234"},
                                                    {{"port", &YourRemotePortIs::remotePort}});
        addFieldRows<RoomChat, HostMessage>("RoomChat relayed", RoomChat{"Ann", "hi"},
                                            {{"nickname", &RoomChat::nickname}});
        addRows(
            "RoomChat relayed text",
            [](const std::string& v) {
                return HostMessage(RoomChat{"Ann", v});
            },
            kLineBreaks);
        addFieldRows<TCPPing, HostMessage>("TCPPing probe", TCPPing{"51234"},
                                           {{"remote port", &TCPPing::remotePort}});

        // ---- lobby to main server
        addFieldRows<ClientVersionCheck, ClientMessage>("ClientVersionCheck",
                                                        ClientVersionCheck{"Vantrex 3829"},
                                                        {{"token", &ClientVersionCheck::token}});
        addRows(
            "AddNickName nickname",
            [](const std::string& v) {
                return ClientMessage(AddNickName{v, "PC"});
            },
            kLineBreaks);
        addRows(
            "AddNickName computer name",
            [](const std::string& v) {
                return ClientMessage(AddNickName{"Ann", v});
            },
            kLineBreaks);
        addFieldRows<GlobalChat, ClientMessage>("Globalchat out", GlobalChat{"Ann", "hi"},
                                                {{"nickname", &GlobalChat::nickname}});
        addRows(
            "Globalchat out text",
            [](const std::string& v) {
                return ClientMessage(GlobalChat{"Ann", v});
            },
            kLineBreaks);
        addFieldRows<AdvertiseRoom, ClientMessage>("AdvertiseRoom", kAdvertised,
                                                   {{"nickname", &AdvertiseRoom::nickname},
                                                    {"private flag", &AdvertiseRoom::privateFlag},
                                                    {"room port", &AdvertiseRoom::roomPort},
                                                    {"room name", &AdvertiseRoom::roomName},
                                                    {"game", &AdvertiseRoom::game},
                                                    {"source port", &AdvertiseRoom::sourcePort},
                                                    {"players", &AdvertiseRoom::players},
                                                    {"map", &AdvertiseRoom::map},
                                                    {"game type", &AdvertiseRoom::gameType},
                                                    {"skill", &AdvertiseRoom::skill},
                                                    {"in game", &AdvertiseRoom::inGame}});

        // ---- main server to lobby
        addRows(
            "UserListUpdate nickname",
            [](const std::string& v) {
                return ServerMessage(UserListUpdate{"2", {v, "Bob"}});
            },
            kLineBreaks);
        addFieldRows<GlobalChat, ServerMessage>("Globalchat relayed", GlobalChat{"Ann", "hi"},
                                                {{"nickname", &GlobalChat::nickname}});
        addRows(
            "Globalchat relayed text",
            [](const std::string& v) {
                return ServerMessage(GlobalChat{"Ann", v});
            },
            kLineBreaks);
        for (auto [name, member] :
             std::initializer_list<std::pair<const char*, std::string RoomRecord::*>>{
                 {"field 0", &RoomRecord::field0},
                 {"address", &RoomRecord::address},
                 {"room name", &RoomRecord::roomName},
                 {"game", &RoomRecord::game},
                 {"source port", &RoomRecord::sourcePort},
                 {"players", &RoomRecord::players},
                 {"map", &RoomRecord::map},
                 {"game type", &RoomRecord::gameType},
                 {"skill", &RoomRecord::skill},
                 {"in game", &RoomRecord::inGame},
                 {"id", &RoomRecord::id},
                 {"room port", &RoomRecord::roomPort}}) {
            addRows(QString("NewRoomsListUpdate %1").arg(name),
                    [member = member](const std::string& v) {
                        NewRoomsListUpdate update{{record("A"), record("B")}};
                        update.rooms[0].*member = v;
                        return ServerMessage(update);
                    });
        }
        addFieldRows<YourRemoteIP, ServerMessage>("YourRemoteIP", YourRemoteIP{"198.51.100.4"},
                                                  {{"address", &YourRemoteIP::address}});
        addRows("UpdateTimedUserList nickname", [](const std::string& v) {
            return ServerMessage(UpdateTimedUserList{{v, "Bob"}});
        });
    }
    void typedTextKeepsTheLineShape()
    {
        QFETCH(int, codec);
        QFETCH(QByteArray, typedLine);
        QFETCH(QByteArray, readLine);
        const std::string typed = typedLine.toStdString();
        const std::string read = readLine.toStdString();

        QVERIFY2(typed.find_first_of("\r\n") == std::string::npos, typedLine.constData());
        QCOMPARE(fieldCount(typed), fieldCount(read));
        QVERIFY2(parsesAlike(Codec(codec), typed, read), typedLine.constData());
    }

    // The chat texts are the one field sent as typed: the other side reads up to the "~".
    void chatTextIsCutAtItsTilde_data()
    {
        QTest::addColumn<int>("codec");
        QTest::addColumn<QByteArray>("line");
        const roomhost::RoomChat room{"A~n", "gl~hf"};
        const lobby::GlobalChat lobby{"A~n", "gl~hf"};
        QTest::newRow("room, member to host")
            << int(Codec::Member)
            << QByteArray::fromStdString(encode(roomhost::MemberMessage(room)));
        QTest::newRow("room, host to members")
            << int(Codec::Host) << QByteArray::fromStdString(encode(roomhost::HostMessage(room)));
        QTest::newRow("lobby to main server")
            << int(Codec::Client) << QByteArray::fromStdString(encode(lobby::ClientMessage(lobby)));
        QTest::newRow("main server to lobby")
            << int(Codec::Server) << QByteArray::fromStdString(encode(lobby::ServerMessage(lobby)));
    }
    void chatTextIsCutAtItsTilde()
    {
        QFETCH(int, codec);
        QFETCH(QByteArray, line);
        QCOMPARE(line.split('~').size(), 4);
        QVERIFY(line.endsWith("~gl~hf"));
        const std::string expected = Codec(codec) == Codec::Member || Codec(codec) == Codec::Host
                                         ? "RoomChat~A-n~gl"
                                         : "Globalchat~A-n~gl";
        QVERIFY(parsesAlike(Codec(codec), line.toStdString(), expected));
    }
};

QTEST_GUILESS_MAIN(TestLineFields)
#include "tst_linefields.moc"
