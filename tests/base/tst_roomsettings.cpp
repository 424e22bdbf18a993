#include "base/roomhost/RoomChoices.h"
#include "base/roomhost/RoomSettings.h"
#include "base/roomhost/UsermapListing.h"
#include "support/StringLists.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;
using namespace vantrell::roomhost;

Q_DECLARE_METATYPE(RoomSettings)

namespace {
QStringList names(const std::vector<SettingRow>& rows)
{
    return fieldOf(rows, &SettingRow::name);
}
QStringList values(const std::vector<SettingRow>& rows)
{
    return fieldOf(rows, &SettingRow::value);
}

RoomSettings hDukeRoom()
{
    RoomSettings s;
    s.kind = SourcePort::HDuke;
    s.roomName = "Friday night";
    s.playerPlaces = 6;
    s.originalMap = "E1L2: Red Light District";
    s.userMap = "dukedc.map";
    s.gameType = "Team Dukematch";
    s.skill = "Let's Rock";
    s.spawn = "Items";
    s.fraglimit = 25;
    s.hDukeOptions = {true, false, false, true, false, false, true, true};
    return s;
}
} // namespace

class TestRoomSettings : public QObject
{
    Q_OBJECT

private slots:
    void rowsOfEachKind_data()
    {
        QTest::addColumn<RoomSettings>("settings");
        QTest::addColumn<int>("memberRows");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("values");

        const QStringList common = {"Game", "SourcePort", "Map", "Players"};
        const QStringList duke =
            common + QStringList{"Game Type", "Skill", "Spawn", "Connection", "Fraglimit"};

        QTest::newRow("hDuke original map")
            << hDukeRoom() << 1
            << duke + QStringList{"ForceRespawn",           "Disable Pistol",  "Disable Coop View",
                                  "Disable Changing Teams", "Chronometer",     "Special Fragbar",
                                  "Srart with all Weapons", "Disable Expander"}
            << QStringList{"Duke Nukem 3D",
                           "hDuke",
                           "E1L2: Red Light District",
                           "1/6",
                           "Team Dukematch",
                           "Let's Rock",
                           "Items",
                           "P2P",
                           "25",
                           "Enabled",
                           "Disabled",
                           "Disabled",
                           "Enabled",
                           "Disabled",
                           "Disabled",
                           "Enabled",
                           "Enabled"};

        RoomSettings oldMp;
        oldMp.kind = SourcePort::EDuke32OldMP;
        oldMp.playerPlaces = 16;
        oldMp.originalMapChosen = false;
        oldMp.originalMap = "E3L1: Raw Meat"; // not ticked: the user map plays
        oldMp.userMap = "Castle.MAP";
        oldMp.gameType = "Cooperative";
        oldMp.skill = "Damn I'm Good";
        oldMp.spawn = "All";
        oldMp.oldMpOptions = {false, true, false};
        oldMp.hDukeOptions.fill(true); // hidden boxes never reach an OldMP room's list
        QTest::newRow("OldMP user map")
            << oldMp << 3
            << duke + QStringList{"Disable Friendly Fire", "Enable Weapon Stay",
                                  "Allow Visibility Adjustment"}
            << QStringList{"Duke Nukem 3D", "EDuke32-OldMP", "Castle.MAP",   "3/16", "Cooperative",
                           "Damn I'm Good", "All",           "Master/Slave", "0",    "Disabled",
                           "Enabled",       "Disabled"};

        RoomSettings blood;
        blood.kind = SourcePort::NBlood;
        blood.originalMapChosen = true; // an NBlood room always plays its user map
        blood.originalMap = "E1L1: Hollywood Holocaust";
        blood.userMap = "bloodmap.map";
        blood.gameType = "Dukematch"; // stale control values are not rows of a Blood room
        blood.skill = "Let's Rock";
        QTest::newRow("NBlood") << blood << 2 << common
                                << QStringList{"Blood Game", "NBlood", "bloodmap.map", "2/8"};

        RoomSettings heading = hDukeRoom();
        heading.originalMap = "--- Episode 2: Lunar Apocalypse";
        auto headingValues = values(buildSettingsList(hDukeRoom(), 1));
        headingValues[2] = "--- Episode 2: Lunar Apocalypse";
        QTest::newRow("episode heading as map")
            << heading << 1 << names(buildSettingsList(hDukeRoom(), 1)) << headingValues;
    }
    void rowsOfEachKind()
    {
        QFETCH(RoomSettings, settings);
        QFETCH(int, memberRows);
        QFETCH(QStringList, names);
        QFETCH(QStringList, values);
        const auto rows = buildSettingsList(settings, std::size_t(memberRows));
        QCOMPARE(::names(rows), names);
        QCOMPARE(::values(rows), values);
        QCOMPARE(rows.size(), sourcePortRow(settings.kind).settingsRows);
        QCOMPARE(roomPortWithRows(rows.size()), std::optional<SourcePort>(settings.kind));
    }

    void playersRowOnlyPatchedInKnownShapes()
    {
        auto rows = buildSettingsList(hDukeRoom(), 1);
        const auto before = rows;
        QVERIFY(updatePlayersRow(rows, 4, 6));
        QCOMPARE(rows[kPlayersRow].value, std::string("4/6"));
        rows[kPlayersRow] = before[kPlayersRow];
        QVERIFY(rows == before); // nothing else moved

        std::vector<SettingRow> odd(5, SettingRow{"x", "y"});
        QVERIFY(!updatePlayersRow(odd, 4, 6));
        QCOMPARE(odd[kPlayersRow].value, std::string("y"));
        std::vector<SettingRow> empty;
        QVERIFY(!updatePlayersRow(empty, 1, 8));
    }

    void advertisementFollowsTheList()
    {
        RoomSettings s = hDukeRoom();
        s.passwordProtected = true;
        s.password = "secret";
        auto rows = buildSettingsList(s, 1);
        auto ad = makeAdvertisement(s, rows, 2, "Ann", "8501", "No");
        QCOMPARE(ad.nickname, std::string("Ann"));
        QCOMPARE(ad.privateFlag, std::string("1"));
        QCOMPARE(ad.roomPort, std::string("8501"));
        QCOMPARE(ad.roomName, std::string("Friday night"));
        QCOMPARE(ad.game, std::string("Duke Nukem 3D"));
        QCOMPARE(ad.sourcePort, std::string("hDuke"));
        QCOMPARE(ad.players, std::string("2/6"));
        QCOMPARE(ad.map, std::string("E1L2: Red Light District"));
        QCOMPARE(ad.gameType, std::string("Team Dukematch"));
        QCOMPARE(ad.skill, std::string("Let's Rock"));
        QCOMPARE(ad.inGame, std::string("No"));

        RoomSettings blood;
        blood.kind = SourcePort::NBlood;
        blood.userMap = "b.map";
        blood.gameType = "Cooperative";
        blood.skill = "Let's Rock";
        ad = makeAdvertisement(blood, buildSettingsList(blood, 1), 1, "Bo", "9000", "Yes");
        QCOMPARE(ad.privateFlag, std::string("0"));
        QCOMPARE(ad.game, std::string("Blood Game"));
        QCOMPARE(ad.map, std::string("b.map"));
        QVERIFY(ad.gameType.empty());
        QVERIFY(ad.skill.empty());
        QCOMPARE(ad.players, std::string("1/8"));
    }

    void kindNames()
    {
        for (auto [name, port] : {std::pair{"hDuke", "hDuke"}, std::pair{"OldMP", "EDuke32-OldMP"},
                                  std::pair{"NBlood", "NBlood"}}) {
            auto kind = roomPortOfKind(name);
            QVERIFY(kind);
            QCOMPARE(sourcePortRow(*kind).kindName, std::string_view(name));
            QCOMPARE(sourcePortRow(*kind).name, std::string_view(port));
        }
        QVERIFY(!roomPortOfKind("hduke"));
        QVERIFY(!roomPortOfKind("EDuke32-OldMP"));
    }

    void choiceLists()
    {
        const auto& maps = originalMaps();
        QCOMPARE(maps.size(), std::size_t(45));
        QCOMPARE(maps.front(), std::string_view("None"));
        QCOMPARE(maps[9], std::string_view("--- Episode 2: Lunar Apocalypse"));
        QCOMPARE(maps.back(), std::string_view("E4L11: Area 51"));
        QCOMPARE(gameTypes(SourcePort::HDuke).size(), std::size_t(5));
        QCOMPARE(gameTypes(SourcePort::EDuke32OldMP).size(), std::size_t(3));
        QVERIFY(gameTypes(SourcePort::NBlood).empty());
        QCOMPARE(teamsForGameType(3).size(), std::size_t(9));
        QCOMPARE(teamsForGameType(3).back(), std::string_view("Team 9"));
        QCOMPARE(teamsForGameType(4).size(), std::size_t(2));
        QVERIFY(teamsForGameType(2).empty());
        QVERIFY(teamsForGameType(-1).empty());
    }

    void permittedCharacters_data()
    {
        QTest::addColumn<uint>("c");
        QTest::addColumn<bool>("permitted");
        QTest::newRow("letter") << uint('q') << true;
        QTest::newRow("digit") << uint('7') << true;
        QTest::newRow("space") << uint(' ') << true;
        QTest::newRow("backslash") << uint('\\') << true;
        QTest::newRow("braces") << uint('}') << true;
        QTest::newRow("backspace") << uint('\b') << true;
        QTest::newRow("tilde") << uint('~') << false;
        QTest::newRow("bar") << uint('|') << false;
        QTest::newRow("comma") << uint(',') << false;
        QTest::newRow("quote") << uint('"') << false;
        QTest::newRow("latin-1 letter") << uint(0xE9) << false;
        QTest::newRow("above 255") << uint(0x20AC) << false;
        QTest::newRow("line feed") << uint('\n') << false;
    }
    void permittedCharacters()
    {
        QFETCH(uint, c);
        QFETCH(bool, permitted);
        QCOMPARE(isPermittedNameChar(char32_t(c)), permitted);
    }

    void usermapListing()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir d(dir.path());
        for (const char* name : {"zeta.map", "Alpha.MAP", "beta.map", "notes.txt", "map",
                                 "old.map.bak", ".map", "gamma.Map"}) {
            QFile f(d.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(d.mkdir("folder.map")); // a directory is never a map
        QVERIFY(QFile::link(d.filePath("beta.map"), d.filePath("linked.map")));
        QVERIFY(QFile::link(d.filePath("nowhere.map"), d.filePath("dangling.map")));

        const auto maps = listUsermaps(dir.path().toStdString());
        QStringList got;
        for (const auto& m : maps)
            got << QString::fromStdString(m);
        QCOMPARE(got,
                 (QStringList{"Alpha.MAP", "beta.map", "gamma.Map", "linked.map", "zeta.map"}));

        QVERIFY(listUsermaps(d.filePath("missing").toStdString()).empty());
        QVERIFY(listUsermaps({}).empty());
        QVERIFY(listUsermaps(d.filePath("notes.txt").toStdString()).empty());
    }
};

QTEST_APPLESS_MAIN(TestRoomSettings)
#include "tst_roomsettings.moc"
