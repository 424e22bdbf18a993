#include "base/roomhost/OsDescription.h"
#include "base/roomhost/RoomCodec.h"

#include <QTest>

using namespace vantrell::roomhost;

using MaybeMember = std::optional<MemberMessage>;
using MaybeHost = std::optional<HostMessage>;
// Wrapped for the test tables: Qt's metatype checks would trip over the optional's
// unconstrained comparison operators.
struct MemberCase
{
    MaybeMember value;
};
struct HostCase
{
    MaybeHost value;
};
Q_DECLARE_METATYPE(MemberCase)
Q_DECLARE_METATYPE(HostCase)
Q_DECLARE_METATYPE(WindowsPlatform)

namespace {

MemberRow memberRow(std::string ready, std::string nick, std::string os, std::string remote,
                    std::string local, std::string team, std::string remotePort,
                    std::string udpPort)
{
    MemberRow row;
    row.readyCode = std::move(ready);
    row.nickname = std::move(nick);
    row.os = std::move(os);
    row.remoteAddress = std::move(remote);
    row.localAddress = std::move(local);
    row.team = std::move(team);
    row.remotePort = std::move(remotePort);
    row.udpPort = std::move(udpPort);
    return row;
}

// The host's own row and one member that has not picked a team.
const std::vector<MemberRow> kTwoMembers = {
    memberRow("0", "Host", "Windows 10 64 bit ", " ", "192.168.1.10", "", "", "23513"),
    memberRow("1", "Ann", "Debian GNU/Linux 12 (bookworm) 64 bit ", "203.0.113.7", "10.0.0.5", " ",
              "51234", "23514"),
};
const std::string kTwoMembersLine = "UserRoomSettingsUpdate~2~"
                                    "0~Host~Windows 10 64 bit ~ ~192.168.1.10~~~23513~"
                                    "1~Ann~Debian GNU/Linux 12 (bookworm) 64 bit ~203.0.113.7~"
                                    "10.0.0.5~ ~51234~23514~";

QByteArray describe(const MaybeMember& m)
{
    return m ? QByteArray::fromStdString(encodeMemberMessage(*m)) : QByteArray("(nothing)");
}
QByteArray describe(const MaybeHost& m)
{
    return m ? QByteArray::fromStdString(encodeHostMessage(*m)) : QByteArray("(nothing)");
}

} // namespace

class TestRoomCodec : public QObject
{
    Q_OBJECT

private slots:
    void memberMessagesRoundTrip_data()
    {
        QTest::addColumn<MemberCase>("message");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("AddUserToList")
            << MemberCase{MaybeMember(
                   AddUserToList{"Ann", "Windows 7 64 bit Service Pack 1", "10.0.0.5", "23513"})}
            << QByteArray("AddUserToList~Ann~Windows 7 64 bit Service Pack 1~10.0.0.5~23513");
        QTest::newRow("AddUserToList, description ending in a space")
            << MemberCase{MaybeMember(
                   AddUserToList{"Ann", "Windows 10 32 Bit ", "10.0.0.5", "23513"})}
            << QByteArray("AddUserToList~Ann~Windows 10 32 Bit ~10.0.0.5~23513");
        QTest::newRow("ClientRequestsRemotePort")
            << MemberCase{MaybeMember(ClientRequestsRemotePort{})}
            << QByteArray("ClientRequestsRemotePort");
        QTest::newRow("ClientSentReadyMessage") << MemberCase{MaybeMember(ClientSentReadyMessage{})}
                                                << QByteArray("ClientSentReadyMessage");
        QTest::newRow("ClientSentNotReadyMessage")
            << MemberCase{MaybeMember(ClientSentNotReadyMessage{})}
            << QByteArray("ClientSentNotReadyMessage");
        QTest::newRow("ClientSentTeamChanged")
            << MemberCase{MaybeMember(ClientSentTeamChanged{"Team 3"})}
            << QByteArray("ClientSentTeamChanged~Team 3");
        QTest::newRow("ClientSentTeamChanged, no team")
            << MemberCase{MaybeMember(ClientSentTeamChanged{" "})}
            << QByteArray("ClientSentTeamChanged~ ");
        QTest::newRow("RoomChat") << MemberCase{MaybeMember(RoomChat{"Ann", "gl hf"})}
                                  << QByteArray("RoomChat~Ann~gl hf");
        QTest::newRow("TCPPing echo")
            << MemberCase{MaybeMember(TCPPing{"51234"})} << QByteArray("TCPPing~51234");
    }
    void memberMessagesRoundTrip()
    {
        QFETCH(MemberCase, message);
        QFETCH(QByteArray, line);
        QCOMPARE(QByteArray::fromStdString(encodeMemberMessage(*message.value)), line);
        const auto parsed = parseMemberMessage(line.toStdString());
        QVERIFY2(parsed == message.value, describe(parsed));
    }

    void hostMessagesRoundTrip_data()
    {
        QTest::addColumn<HostCase>("message");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("RoomSettingsUpdate, two rows")
            << HostCase{MaybeHost(RoomSettingsUpdate{{{"Source Port", "hDuke"}, {"Map", "E1L1"}}})}
            << QByteArray("RoomSettingsUpdate~2~Source Port~hDuke~Map~E1L1~");
        QTest::newRow("RoomSettingsUpdate, empty value")
            << HostCase{MaybeHost(RoomSettingsUpdate{{{"Options", ""}, {"Skill", "2"}}})}
            << QByteArray("RoomSettingsUpdate~2~Options~~Skill~2~");
        QTest::newRow("RoomSettingsUpdate, no rows")
            << HostCase{MaybeHost(RoomSettingsUpdate{})} << QByteArray("RoomSettingsUpdate~0~");
        QTest::newRow("UserRoomSettingsUpdate, host and member")
            << HostCase{MaybeHost(UserRoomSettingsUpdate{kTwoMembers})}
            << QByteArray::fromStdString(kTwoMembersLine);
        QTest::newRow("YourRemotePortIs") << HostCase{MaybeHost(YourRemotePortIs{"51234"})}
                                          << QByteArray("YourRemotePortIs~51234");
        QTest::newRow("RoomIsFull")
            << HostCase{MaybeHost(RoomIsFull{})} << QByteArray("RoomIsFull");
        QTest::newRow("TimeToLaunchGame")
            << HostCase{MaybeHost(TimeToLaunchGame{})} << QByteArray("TimeToLaunchGame");
        QTest::newRow("RoomChat relayed")
            << HostCase{MaybeHost(RoomChat{"Ann", "ready?"})} << QByteArray("RoomChat~Ann~ready?");
        QTest::newRow("TCPPing probe")
            << HostCase{MaybeHost(TCPPing{"51234"})} << QByteArray("TCPPing~51234");
        QTest::newRow("PingPong") << HostCase{MaybeHost(PingPong{})} << QByteArray("PingPong");
    }
    void hostMessagesRoundTrip()
    {
        QFETCH(HostCase, message);
        QFETCH(QByteArray, line);
        QCOMPARE(QByteArray::fromStdString(encodeHostMessage(*message.value)), line);
        const auto parsed = parseHostMessage(line.toStdString());
        QVERIFY2(parsed == message.value, describe(parsed));
    }

    void hostReadsMemberLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<MemberCase>("expected");
        QTest::newRow("chat text a~b keeps a")
            << QByteArray("RoomChat~Ann~a~b") << MemberCase{MaybeMember(RoomChat{"Ann", "a"})};
        QTest::newRow("extra fields ignored")
            << QByteArray("AddUserToList~Ann~Linux 64 bit ~10.0.0.5~23513~more")
            << MemberCase{MaybeMember(AddUserToList{"Ann", "Linux 64 bit ", "10.0.0.5", "23513"})};
        QTest::newRow("bare keyword with a field")
            << QByteArray("ClientSentReadyMessage~")
            << MemberCase{MaybeMember(ClientSentReadyMessage{})};
        QTest::newRow("empty team") << QByteArray("ClientSentTeamChanged~")
                                    << MemberCase{MaybeMember(ClientSentTeamChanged{""})};
        QTest::newRow("AddUserToList short")
            << QByteArray("AddUserToList~Ann~Linux 64 bit ~10.0.0.5") << MemberCase{MaybeMember()};
        QTest::newRow("chat without text")
            << QByteArray("RoomChat~Ann") << MemberCase{MaybeMember()};
        QTest::newRow("team change without team")
            << QByteArray("ClientSentTeamChanged") << MemberCase{MaybeMember()};
        QTest::newRow("ping without port") << QByteArray("TCPPing") << MemberCase{MaybeMember()};
        QTest::newRow("wrong case") << QByteArray("roomchat~Ann~hi") << MemberCase{MaybeMember()};
        QTest::newRow("keyword with a blank")
            << QByteArray("ClientSentReadyMessage ") << MemberCase{MaybeMember()};
        QTest::newRow("unknown keyword") << QByteArray("Hello~there") << MemberCase{MaybeMember()};
        QTest::newRow("host's keyword") << QByteArray("PingPong") << MemberCase{MaybeMember()};
        QTest::newRow("empty line") << QByteArray() << MemberCase{MaybeMember()};
    }
    void hostReadsMemberLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(MemberCase, expected);
        const auto parsed = parseMemberMessage(line.toStdString());
        QVERIFY2(parsed == expected.value, describe(parsed));
    }

    void memberReadsHostLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<HostCase>("expected");
        const SettingRow a{"a", "1"};
        const SettingRow b{"b", "2"};
        QTest::newRow("count larger than the rows: whole rows only")
            << QByteArray("RoomSettingsUpdate~3~a~1~b~2~")
            << HostCase{MaybeHost(RoomSettingsUpdate{{a, b}})};
        QTest::newRow("row cut after its name") << QByteArray("RoomSettingsUpdate~2~a~1~b~")
                                                << HostCase{MaybeHost(RoomSettingsUpdate{{a}})};
        QTest::newRow("last value without its closing ~")
            << QByteArray("RoomSettingsUpdate~2~a~1~b~2")
            << HostCase{MaybeHost(RoomSettingsUpdate{{a}})};
        QTest::newRow("count smaller than the rows")
            << QByteArray("RoomSettingsUpdate~1~a~1~b~2~")
            << HostCase{MaybeHost(RoomSettingsUpdate{{a}})};
        QTest::newRow("huge count, one row") << QByteArray("RoomSettingsUpdate~4000000000~a~1~")
                                             << HostCase{MaybeHost(RoomSettingsUpdate{{a}})};
        QTest::newRow("count without rows")
            << QByteArray("RoomSettingsUpdate~0") << HostCase{MaybeHost(RoomSettingsUpdate{})};
        QTest::newRow("count not a number")
            << QByteArray("RoomSettingsUpdate~two~a~1~b~2~") << HostCase{MaybeHost()};
        QTest::newRow("count empty")
            << QByteArray("RoomSettingsUpdate~~a~1~") << HostCase{MaybeHost()};
        QTest::newRow("count negative: an empty list") << QByteArray("RoomSettingsUpdate~-1~a~1~")
                                                       << HostCase{MaybeHost(RoomSettingsUpdate{})};
        QTest::newRow("count a lone minus")
            << QByteArray("RoomSettingsUpdate~-~a~1~") << HostCase{MaybeHost()};
        QTest::newRow("count overflows")
            << QByteArray("RoomSettingsUpdate~99999999999999999999~a~1~") << HostCase{MaybeHost()};
        QTest::newRow("keyword alone") << QByteArray("RoomSettingsUpdate") << HostCase{MaybeHost()};

        // The second member row lacks its UDP port.
        const std::string cut = kTwoMembersLine.substr(0, kTwoMembersLine.size() - 6);
        QTest::newRow("member list cut inside the second row")
            << QByteArray::fromStdString(cut)
            << HostCase{MaybeHost(UserRoomSettingsUpdate{{kTwoMembers[0]}})};
        QTest::newRow("member list count not a number")
            << QByteArray("UserRoomSettingsUpdate~x~0~Host~os~ ~1.2.3.4~~~23513~")
            << HostCase{MaybeHost()};
        QTest::newRow("member list count negative: an empty list")
            << QByteArray("UserRoomSettingsUpdate~-2~0~Host~os~ ~1.2.3.4~~~23513~")
            << HostCase{MaybeHost(UserRoomSettingsUpdate{})};
        QTest::newRow("member list keyword alone")
            << QByteArray("UserRoomSettingsUpdate") << HostCase{MaybeHost()};

        QTest::newRow("chat text a~b keeps a")
            << QByteArray("RoomChat~Ann~a~b") << HostCase{MaybeHost(RoomChat{"Ann", "a"})};
        QTest::newRow("port answer without port")
            << QByteArray("YourRemotePortIs") << HostCase{MaybeHost()};
        QTest::newRow("wrong case") << QByteArray("Roomisfull") << HostCase{MaybeHost()};
        QTest::newRow("member's keyword")
            << QByteArray("ClientRequestsRemotePort") << HostCase{MaybeHost()};
        QTest::newRow("empty line") << QByteArray() << HostCase{MaybeHost()};
    }
    void memberReadsHostLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(HostCase, expected);
        const auto parsed = parseHostMessage(line.toStdString());
        QVERIFY2(parsed == expected.value, describe(parsed));
    }

    void twoRowSettingsLineHasSevenFieldsLastEmpty()
    {
        const std::string line =
            encodeHostMessage(RoomSettingsUpdate{{{"Players", "2/8"}, {"Map", "E1L1"}}});
        QCOMPARE(std::count(line.begin(), line.end(), '~'), 6);
        QCOMPARE(line.back(), '~');
    }

    void parsedMemberRowsShowNoPing()
    {
        const auto parsed = parseHostMessage(kTwoMembersLine);
        QVERIFY(parsed);
        const auto& rows = std::get<UserRoomSettingsUpdate>(*parsed).rows;
        QCOMPARE(rows.size(), std::size_t(2));
        QCOMPARE(rows[1].ping, std::string("N/A"));
        QCOMPARE(rows[1].team, std::string(" "));
        QCOMPARE(rows[0].remoteAddress, std::string(" "));
    }

    void windowsSystemName_data()
    {
        QTest::addColumn<WindowsPlatform>("platform");
        QTest::addColumn<unsigned>("major");
        QTest::addColumn<unsigned>("minor");
        QTest::addColumn<QByteArray>("servicePack");
        QTest::addColumn<QByteArray>("expected");
        const auto w9x = WindowsPlatform::Win9x;
        const auto nt = WindowsPlatform::WinNT;
        QTest::newRow("32s") << WindowsPlatform::Win32s << 3u << 1u << QByteArray()
                             << QByteArray("Windows 32S");
        QTest::newRow("95") << w9x << 4u << 0u << QByteArray() << QByteArray("Windows 95");
        QTest::newRow("95 A") << w9x << 4u << 0u << QByteArray(" A") << QByteArray("Windows 95");
        QTest::newRow("95 OSR2 B")
            << w9x << 4u << 0u << QByteArray(" B") << QByteArray("Windows 95 OSR2");
        QTest::newRow("95 OSR2 C")
            << w9x << 4u << 0u << QByteArray(" C") << QByteArray("Windows 95 OSR2");
        QTest::newRow("95, B as first character")
            << w9x << 4u << 0u << QByteArray("B") << QByteArray("Windows 95");
        QTest::newRow("98") << w9x << 4u << 10u << QByteArray(" ") << QByteArray("Windows 98");
        QTest::newRow("98 SE") << w9x << 4u << 10u << QByteArray(" A")
                               << QByteArray("Windows 98 SE");
        QTest::newRow("Me") << w9x << 4u << 90u << QByteArray() << QByteArray("Windows Millenium");
        QTest::newRow("9x other") << w9x << 4u << 20u << QByteArray()
                                  << QByteArray("Unknown Windows Version");
        QTest::newRow("9x major 5")
            << w9x << 5u << 0u << QByteArray() << QByteArray("Unknown Windows Version");
        QTest::newRow("NT 3.51") << nt << 3u << 51u << QByteArray() << QByteArray("Windows NT 3.x");
        QTest::newRow("NT 4.0") << nt << 4u << 0u << QByteArray("Service Pack 6")
                                << QByteArray("Windows NT 4.x");
        QTest::newRow("2000") << nt << 5u << 0u << QByteArray() << QByteArray("Windows 2000");
        QTest::newRow("XP") << nt << 5u << 1u << QByteArray() << QByteArray("Windows XP");
        QTest::newRow("2003") << nt << 5u << 2u << QByteArray()
                              << QByteArray("Windows Server 2003");
        QTest::newRow("5.3") << nt << 5u << 3u << QByteArray()
                             << QByteArray("Unknown Windows Version");
        QTest::newRow("Vista") << nt << 6u << 0u << QByteArray() << QByteArray("Windows Vista");
        QTest::newRow("7") << nt << 6u << 1u << QByteArray() << QByteArray("Windows 7");
        QTest::newRow("8") << nt << 6u << 2u << QByteArray() << QByteArray("Windows 8");
        QTest::newRow("8.1") << nt << 6u << 3u << QByteArray() << QByteArray("Windows 8.1");
        QTest::newRow("6.4") << nt << 6u << 4u << QByteArray()
                             << QByteArray("Unknown Windows Version");
        QTest::newRow("10") << nt << 10u << 0u << QByteArray() << QByteArray("Windows 10");
        QTest::newRow("10.1") << nt << 10u << 1u << QByteArray()
                              << QByteArray("Unknown Windows Version");
        QTest::newRow("11.0") << nt << 11u << 0u << QByteArray()
                              << QByteArray("Unknown Windows Version");
    }
    void windowsSystemName()
    {
        QFETCH(WindowsPlatform, platform);
        QFETCH(unsigned, major);
        QFETCH(unsigned, minor);
        QFETCH(QByteArray, servicePack);
        QFETCH(QByteArray, expected);
        QCOMPARE(QByteArray::fromStdString(vantrell::roomhost::windowsSystemName(
                     platform, major, minor, servicePack.toStdString())),
                 expected);
    }

    void osDescriptionJoinsWithSpaces()
    {
        QCOMPARE(osDescription("Windows 7", true, "Service Pack 1"),
                 std::string("Windows 7 64 bit Service Pack 1"));
        QCOMPARE(osDescription("Windows XP", false, ""), std::string("Windows XP 32 Bit "));
    }

    void linuxSystemName_data()
    {
        QTest::addColumn<QByteArray>("osRelease");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("debian") << QByteArray("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                              "NAME=\"Debian GNU/Linux\"\nID=debian\n")
                                << QByteArray("Debian GNU/Linux 12 (bookworm)");
        QTest::newRow("unquoted, CR LF")
            << QByteArray("ID=x\r\nPRETTY_NAME=Alpine\r\n") << QByteArray("Alpine");
        QTest::newRow("single quotes")
            << QByteArray("PRETTY_NAME='Arch \"Linux\"'") << QByteArray("Arch \"Linux\"");
        QTest::newRow("escaped quote")
            << QByteArray("PRETTY_NAME=\"My \\\"OS\\\"\"") << QByteArray("My \"OS\"");
        QTest::newRow("tilde replaced") << QByteArray("PRETTY_NAME=\"Rolling ~ nightly~2\"")
                                        << QByteArray("Rolling - nightly-2");
        QTest::newRow("later line wins")
            << QByteArray("PRETTY_NAME=One\nPRETTY_NAME=Two\n") << QByteArray("Two");
        QTest::newRow("commented out")
            << QByteArray("#PRETTY_NAME=Nope\nNAME=Distro\n") << QByteArray("Linux");
        QTest::newRow("empty value") << QByteArray("PRETTY_NAME=\"\"\n") << QByteArray("Linux");
        QTest::newRow("no file contents") << QByteArray() << QByteArray("Linux");
    }
    void linuxSystemName()
    {
        QFETCH(QByteArray, osRelease);
        QFETCH(QByteArray, expected);
        QCOMPARE(
            QByteArray::fromStdString(vantrell::roomhost::linuxSystemName(osRelease.toStdString())),
            expected);
    }
};

QTEST_GUILESS_MAIN(TestRoomCodec)
#include "tst_roomcodec.moc"
