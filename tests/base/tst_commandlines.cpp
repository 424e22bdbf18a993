#include "base/launch/GameFiles.h"
#include "base/launch/HDukeCommandLine.h"
#include "base/launch/NBloodCommandLine.h"
#include "base/launch/OldMpCommandLine.h"
#include "support/StringLists.h"

#include <functional>

#include <QTest>

using namespace vantrell;
using namespace vantrell::launch;
using roomhost::MemberRow;
using roomhost::RoomSettings;

namespace {

using Build = std::function<GameCommand()>;

MemberRow row(std::string remote, std::string local, std::string remotePort, std::string udp)
{
    MemberRow r;
    r.remoteAddress = std::move(remote);
    r.localAddress = std::move(local);
    r.remotePort = std::move(remotePort);
    r.udpPort = std::move(udp);
    return r;
}

// Host first; `count` rows in all.
std::vector<MemberRow> room(std::size_t count)
{
    std::vector<MemberRow> rows = {row("203.0.113.5", "192.168.1.10", "", "23513")};
    for (std::size_t i = 1; i < count; ++i)
        rows.push_back(row("198.51.100." + std::to_string(i), "10.0.0." + std::to_string(i),
                           std::to_string(50000 + i), "2351" + std::to_string(3 + i)));
    return rows;
}

RoomSettings choices(SourcePort kind)
{
    RoomSettings s;
    s.kind = kind;
    s.gameType = kind == SourcePort::HDuke ? "Dukematch (Spawn)" : "Dukematch";
    s.skill = "Piece Of Cake";
    s.spawn = "N/A";
    s.originalMap = "E1L1: Hollywood Holocaust";
    return s;
}

HostInputs host(RoomSettings settings, std::size_t rows = 1, std::string nickname = "Duke")
{
    HostInputs in;
    in.members = room(rows);
    in.settingsRows = roomhost::buildSettingsList(settings, rows);
    in.settings = std::move(settings);
    in.nickname = std::move(nickname);
    return in;
}

// A member's view of a room: the rows the host builds from its choices.
MemberInputs member(const RoomSettings& settings, std::size_t rows = 2,
                    std::string nickname = "Kim")
{
    MemberInputs in;
    in.settings = roomhost::buildSettingsList(settings, rows);
    in.members = room(rows);
    in.roomAddress = "203.0.113.99";
    in.nickname = std::move(nickname);
    return in;
}

template <typename In, typename Change>
In with(In in, Change change)
{
    change(in);
    return in;
}

void setRow(MemberInputs& in, std::size_t row, std::string value)
{
    in.settings.at(row).value = std::move(value);
}

} // namespace

Q_DECLARE_METATYPE(Build)

class TestCommandLines : public QObject
{
    Q_OBJECT

private slots:
    // Every command line: the exact string, the argument list the process gets (the string
    // split at blanks unless given) and the usermap to stage.
    void commandLine_data()
    {
        QTest::addColumn<Build>("build");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("usermap");

        const RoomSettings duke = choices(SourcePort::HDuke);
        const RoomSettings oldMp = choices(SourcePort::EDuke32OldMP);

        // ---- hDuke, host alone ----
        QTest::newRow("hduke solo example")
            << Build([=] { return hDukeHostSolo(host(duke)); }) << "-name Duke /q8 /s1 /v1 /l1 /c1"
            << QStringList() << "";
        QTest::newRow("hduke solo special respawn team game plays /c1") << Build([=] {
            return hDukeHostSolo(host(with(duke, [](RoomSettings& s) {
                s.gameType = "Team Dukematch (Special Respawn)";
                s.hostTeam = "Team 2";
                s.skill = "No Monsters";
            })));
        }) << "-name Duke /q8 /m /v1 /l1 /c1" << QStringList() << "";
        QTest::newRow("hduke solo cooperative usermap with blank")
            << Build([=] {
                   return hDukeHostSolo(host(with(duke, [](RoomSettings& s) {
                       s.gameType = "Cooperative";
                       s.skill = "Damn I'm Good";
                       s.originalMapChosen = false;
                       s.originalMap = "None";
                       s.userMap = "my map.map";
                   })));
               })
            << "-name Duke /q8 /s4 /c2 -map my map.map"
            << QStringList{"-name", "Duke", "/q8", "/s4", "/c2", "-map", "my map.map"}
            << "my map.map";

        // ---- hDuke, host room ----
        QTest::newRow("hduke room plain")
            << Build([=] { return hDukeHostRoom(host(duke, 2)); })
            << "-name Duke  /s1 /v1 /l1 /c1 -net netlist.txt" << QStringList() << "";
        QTest::newRow("hduke room team game without team") << Build([=] {
            return hDukeHostRoom(host(with(duke,
                                           [](RoomSettings& s) {
                                               s.gameType = "Team Dukematch";
                                               s.skill = "Let's Rock";
                                           }),
                                      3));
        }) << "-name 0#Duke  /s2 /v1 /l1 -team -net netlist.txt"
                                                           << QStringList() << "";
        QTest::newRow("hduke room special respawn team 2, everything on")
            << Build([=] {
                   auto in = host(with(duke,
                                       [](RoomSettings& s) {
                                           s.gameType = "Team Dukematch (Special Respawn)";
                                           s.hostTeam = "Team 2";
                                           s.skill = "Come Get Some";
                                           s.spawn = "All";
                                           s.fraglimit = 25;
                                           s.spectate = true;
                                           s.originalMap = "E2L10: Spin Cycle";
                                           s.hDukeOptions.fill(true);
                                       }),
                                  4);
                   in.recordDemo = true;
                   return hDukeHostRoom(in);
               })
            << "-name 2#Duke  /r /s3 /v2 /l10 /tx -dnweapons -noexpander /y25 -forcerespawn "
               "-nopistol -disablek -nochange -gametime -newfragbar -spectator -teamforts -net "
               "netlist.txt"
            << QStringList() << "";
        QTest::newRow("hduke room fraglimit 0, spawn items, some options") << Build([=] {
            return hDukeHostRoom(host(with(duke,
                                           [](RoomSettings& s) {
                                               s.gameType = "Dukematch (No Spawn)";
                                               s.spawn = "Items";
                                               s.hDukeOptions[0] = true;
                                               s.hDukeOptions[4] = true;
                                           }),
                                      2));
        }) << "-name Duke  /s1 /v1 /l1 /c3 /t2 -forcerespawn -gametime -net netlist.txt"
                                                                           << QStringList() << "";
        QTest::newRow("hduke room usermap: only -map names the map")
            << Build([=] {
                   return hDukeHostRoom(host(with(duke,
                                                  [](RoomSettings& s) {
                                                      s.originalMapChosen = false;
                                                      s.originalMap = "None";
                                                      s.userMap = "dukedc.map";
                                                  }),
                                             2, "Big Duke"));
               })
            << "-name Big Duke  /s1 -map dukedc.map /c1 -net netlist.txt"
            << QStringList{"-name",      "Big Duke", "/s1",  "-map",
                           "dukedc.map", "/c1",      "-net", "netlist.txt"}
            << "dukedc.map";
        QTest::newRow("hduke room level left in the list while the user map box is ticked")
            << Build([=] {
                   return hDukeHostRoom(host(with(duke,
                                                  [](RoomSettings& s) {
                                                      s.originalMapChosen = false;
                                                      s.userMap = "x.map";
                                                  }),
                                             2));
               })
            << "-name Duke  /s1 -map x.map /c1 -net netlist.txt" << QStringList() << "x.map";
        QTest::newRow("hduke room episode heading is no level") << Build([=] {
            return hDukeHostRoom(host(
                with(duke,
                     [](RoomSettings& s) { s.originalMap = "--- Episode 2: Lunar Apocalypse"; }),
                2));
        }) << "-name Duke  /s1 /c1 -net netlist.txt" << QStringList()
                                                                << "";

        // ---- hDuke, member ----
        const RoomSettings kimRoom = with(duke, [](RoomSettings& s) {
            s.gameType = "Team Dukematch";
            s.originalMap = "E3L4: L.A. Rumble";
            s.skill = "Let's Rock";
            s.spawn = "Items";
            s.fraglimit = 10;
            s.hDukeOptions[0] = true;
        });
        QTest::newRow("hduke member example") << Build([=] {
            return hDukeMember(with(member(kimRoom), [](MemberInputs& m) { m.teamPosition = 1; }));
        }) << "-name 2#Kim -team /v3 /l4 /s2 /t2 /y10 -forcerespawn -net netlist.txt"
                                              << QStringList() << "";
        QTest::newRow("hduke member team game without team")
            << Build([=] { return hDukeMember(member(kimRoom)); })
            << "-name 0#Kim -team /v3 /l4 /s2 /t2 /y10 -forcerespawn -net netlist.txt"
            << QStringList() << "";
        QTest::newRow("hduke member special respawn") << Build([=] {
            return hDukeMember(with(member(duke), [](MemberInputs& m) {
                setRow(m, roomhost::kGameTypeRow, "Team Dukematch (Special Respawn)");
                m.teamPosition = 0;
            }));
        }) << "-name 1#Kim -team /v1 /l1 /s1 -net netlist.txt"
                                                      << QStringList() << "";
        QTest::newRow("hduke member each game type switch") << Build([=] {
            return hDukeMember(with(member(duke), [](MemberInputs& m) {
                setRow(m, roomhost::kGameTypeRow, "Dukematch (No Spawn)");
                setRow(m, roomhost::kSkillRow, "No Monsters");
                setRow(m, roomhost::kSpawnRow, "Inventory");
            }));
        }) << "-name Kim /c3 /v1 /l1 /m /t3 -net netlist.txt"
                                                            << QStringList() << "";
        QTest::newRow("hduke member cooperative, demo and spectator") << Build([=] {
            return hDukeMember(with(member(duke), [](MemberInputs& m) {
                setRow(m, roomhost::kGameTypeRow, "Cooperative");
                setRow(m, roomhost::kSpawnRow, "Monsters");
                m.recordDemo = true;
                m.spectator = true;
            }));
        }) << "-name Kim /c2 /r /v1 /l1 /s1 /t1 -spectator -net netlist.txt"
                                                                      << QStringList() << "";
        QTest::newRow("hduke member unknown game type: no name piece") << Build([=] {
            return hDukeMember(with(member(duke), [](MemberInputs& m) {
                setRow(m, roomhost::kGameTypeRow, "Capture The Flag");
            }));
        }) << "/v1 /l1 /s1 -net netlist.txt" << QStringList() << "";
        QTest::newRow("hduke member capital .MAP is staged")
            << Build([=] {
                   return hDukeMember(with(member(duke), [](MemberInputs& m) {
                       setRow(m, roomhost::kMapRow, "My Map.MAP");
                   }));
               })
            << "-name Kim /c1 -map My Map.MAP /s1 -net netlist.txt"
            << QStringList{"-name",      "Kim", "/c1",  "-map",
                           "My Map.MAP", "/s1", "-net", "netlist.txt"}
            << "My Map.MAP";
        QTest::newRow("hduke member level text: no -map") << Build([=] {
            return hDukeMember(with(member(duke), [](MemberInputs& m) {
                setRow(m, roomhost::kMapRow, "E4L11: Area 51");
            }));
        }) << "-name Kim /c1 /v4 /l11 /s1 -net netlist.txt"
                                                          << QStringList() << "";
        QTest::newRow("hduke member every option row")
            << Build([=] {
                   return hDukeMember(with(member(with(duke,
                                                       [](RoomSettings& s) {
                                                           s.hDukeOptions.fill(true);
                                                           s.fraglimit = 25;
                                                       })),
                                           [](MemberInputs&) {}));
               })
            << "-name Kim /c1 /v1 /l1 /s1 /y25 -forcerespawn -nopistol -disablek -nochange "
               "-gametime -newfragbar -dnweapons -noexpander -net netlist.txt"
            << QStringList() << "";
        QTest::newRow("hduke member Srart with all Weapons row alone") << Build([=] {
            return hDukeMember(with(member(duke), [](MemberInputs& m) {
                QCOMPARE_EQ(m.settings.at(15).name, std::string("Srart with all Weapons"));
                setRow(m, 15, "Enabled");
            }));
        }) << "-name Kim /c1 /v1 /l1 /s1 -dnweapons -net netlist.txt" << QStringList()
                                                                       << "";
        QTest::newRow("hduke member values with blanks stay whole")
            << Build([=] {
                   return hDukeMember(with(member(duke, 2, "Big Kim"), [](MemberInputs& m) {
                       setRow(m, roomhost::kFraglimitRow, "10 -x");
                   }));
               })
            << "-name Big Kim /c1 /v1 /l1 /s1 /y10 -x -net netlist.txt"
            << QStringList{"-name", "Big Kim", "/c1",  "/v1",        "/l1",
                           "/s1",   "/y10 -x", "-net", "netlist.txt"}
            << "";

        // ---- EDuke32-OldMP ----
        QTest::newRow("oldmp solo")
            << Build([=] { return oldMpHostSolo(host(oldMp)); })
            << "-name Duke -q8 -s1 -v1 -l1 -c1 -nologo" << QStringList() << "";
        QTest::newRow("oldmp solo usermap") << Build([=] {
            return oldMpHostSolo(host(with(oldMp, [](RoomSettings& s) {
                s.originalMapChosen = false;
                s.originalMap = "None";
                s.userMap = "castle.map";
                s.gameType = "Team Dukematch";
            })));
        }) << "-name Duke -q8 -s1 -c3 -nologo -map castle.map"
                                            << QStringList() << "castle.map";
        QTest::newRow("oldmp room of three, everything on")
            << Build([=] {
                   return oldMpHostRoom(host(with(oldMp,
                                                  [](RoomSettings& s) {
                                                      s.gameType = "Cooperative";
                                                      s.originalMap = "E3L10: Tier Drops";
                                                      s.spawn = "Inventory";
                                                      s.fraglimit = 25;
                                                      s.oldMpOptions.fill(true);
                                                  }),
                                             3));
               })
            << "-name Duke  -s1 -v3 -l10 -c2 -nologo -t3 -y25 -wstay -noffire -allowvisibility "
               "/net /n0:3 /p23513"
            << QStringList() << "";
        QTest::newRow("oldmp room of two with usermap") << Build([=] {
            return oldMpHostRoom(host(with(oldMp,
                                           [](RoomSettings& s) {
                                               s.originalMapChosen = false;
                                               s.userMap = "castle.map";
                                               s.oldMpOptions[0] = true;
                                           }),
                                      2));
        }) << "-name Duke  -s1 -map castle.map -c1 -nologo -noffire /net /n0:2 /p23513"
                                                        << QStringList() << "castle.map";
        QTest::newRow("oldmp member")
            << Build([=] {
                   return oldMpMember(member(with(oldMp, [](RoomSettings& s) {
                       s.originalMap = "E3L10: Tier Drops";
                       s.skill = "Come Get Some";
                       s.spawn = "All";
                       s.fraglimit = 25;
                       s.oldMpOptions = {true, true, true};
                   })));
               })
            << "-name Kim -c1 -v3 -l10 -nologo -s3 -tx -y25 -noffire -wstay -allowvisibility "
               "/net /n0 203.0.113.5 /p23513"
            << QStringList() << "";
        QTest::newRow("oldmp member unknown game type, usermap, fraglimit 0") << Build([=] {
            return oldMpMember(with(member(oldMp, 3), [](MemberInputs& m) {
                setRow(m, roomhost::kGameTypeRow, "Dukematch (Spawn)");
                setRow(m, roomhost::kMapRow, "castle.Map");
            }));
        }) << "-nologo -map castle.Map -s1 /net /n0 203.0.113.5 /p23513" << QStringList()
                                                                              << "castle.Map";
        QTest::newRow("oldmp member: blank host address is the room address")
            << Build([=] {
                   return oldMpMember(with(member(oldMp), [](MemberInputs& m) {
                       m.members[0].remoteAddress = " ";
                       m.members[0].udpPort = "23 513";
                   }));
               })
            << "-name Kim -c1 -v1 -l1 -nologo -s1 /net /n0 203.0.113.99 /p23 513"
            << QStringList{"-name", "Kim",  "-c1", "-v1",          "-l1",     "-nologo",
                           "-s1",   "/net", "/n0", "203.0.113.99", "/p23 513"}
            << "";

        // ---- NBlood ----
        const RoomSettings blood = with(RoomSettings{}, [](RoomSettings& s) {
            s.kind = SourcePort::NBlood;
            s.userMap = "bloody.map";
        });
        QTest::newRow("nblood solo with usermap")
            << Build([=] { return nBloodHostSolo(host(blood)); })
            << "-pname Duke -setup -map bloody.map" << QStringList() << "bloody.map";
        QTest::newRow("nblood solo without usermap extension still stages") << Build([=] {
            return nBloodHostSolo(host(with(blood, [](RoomSettings& s) { s.userMap = "None"; })));
        }) << "-pname Duke -setup" << QStringList() << "None";
        QTest::newRow("nblood room of three")
            << Build([=] { return nBloodHostRoom(host(blood, 3)); })
            << "-pname Duke -nosetup -server 3 -port 23513" << QStringList() << "bloody.map";
        QTest::newRow("nblood room of two")
            << Build([=] { return nBloodHostRoom(host(blood, 2, "Red Duke")); })
            << "-pname Red Duke -nosetup -server 2 -port 23513"
            << QStringList{"-pname", "Red Duke", "-nosetup", "-server", "2", "-port", "23513"}
            << "bloody.map";
        QTest::newRow("nblood member") << Build([=] { return nBloodMember(member(blood)); })
                                       << "-pname Kim -nosetup -client 203.0.113.5 -port 23513"
                                       << QStringList() << "bloody.map";
        QTest::newRow("nblood member, map without extension")
            << Build([=] {
                   return nBloodMember(with(member(blood, 2, "Big Kim"), [](MemberInputs& m) {
                       setRow(m, roomhost::kMapRow, "None");
                   }));
               })
            << "-pname Big Kim -nosetup -client 203.0.113.5 -port 23513"
            << QStringList{"-pname",      "Big Kim", "-nosetup", "-client",
                           "203.0.113.5", "-port",   "23513"}
            << "";
    }

    void commandLine()
    {
        QFETCH(Build, build);
        QFETCH(QString, text);
        QFETCH(QStringList, arguments);
        QFETCH(QString, usermap);

        const GameCommand command = build();
        QCOMPARE(QString::fromStdString(command.line.text()), text);
        if (arguments.isEmpty())
            arguments = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QCOMPARE(toQt(command.line.arguments()), arguments);
        QCOMPARE(QString::fromStdString(command.usermap), usermap);
    }

    void peerList_data()
    {
        QTest::addColumn<bool>("onHost");
        QTest::addColumn<QString>("ownRemotePort");
        QTest::addColumn<QString>("expected");

        // Rows: host 203.0.113.5, then members on remote ports 50001, 50002, 50001.
        QTest::newRow("host") << true << ""
                              << "interface 192.168.1.10:23513\r\nmode peer\r\n"
                                 "allow 198.51.100.1:23514\r\nallow 198.51.100.2:23515\r\n"
                                 "allow 198.51.100.3:23516\r\n";
        QTest::newRow("member on 50002")
            << false << "50002"
            << "interface 10.0.0.2:23515\r\nmode peer\r\n"
               "allow 203.0.113.5:23513\r\nallow 198.51.100.1:23514\r\n"
               "allow 198.51.100.3:23516\r\n";
        QTest::newRow("member matching two rows")
            << false << "50001"
            << "interface 10.0.0.1:23514\r\nmode peer\r\ninterface 10.0.0.3:23516\r\nmode peer\r\n"
               "allow 203.0.113.5:23513\r\nallow 198.51.100.2:23515\r\n";
        QTest::newRow("member matching no row")
            << false << "60000"
            << "allow 203.0.113.5:23513\r\nallow 198.51.100.1:23514\r\n"
               "allow 198.51.100.2:23515\r\nallow 198.51.100.3:23516\r\n";
        QTest::newRow("member before its remote port is known still allows the host")
            << false << ""
            << "allow 203.0.113.5:23513\r\nallow 198.51.100.1:23514\r\n"
               "allow 198.51.100.2:23515\r\nallow 198.51.100.3:23516\r\n";
    }

    void peerList()
    {
        QFETCH(bool, onHost);
        QFETCH(QString, ownRemotePort);
        QFETCH(QString, expected);

        auto rows = room(4);
        rows[3].remotePort = "50001";
        const std::string list =
            onHost ? hostPeerList(rows) : memberPeerList(rows, ownRemotePort.toStdString());
        QCOMPARE(QString::fromStdString(list), expected);
    }
};

QTEST_APPLESS_MAIN(TestCommandLines)
#include "tst_commandlines.moc"
