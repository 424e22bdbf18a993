#include "base/lobby/JoinPlan.h"
#include "base/lobby/RoomFilter.h"
#include "support/StringLists.h"

#include <set>

#include <QTest>

using namespace vantrell::lobby;

namespace {

const std::string kSep(1, kPathSeparator);
const std::string kDuke = "/games/duke/maps";
const std::string kBlood = "/games/blood/maps";

// Every port enabled with its executable present, both usermaps folders present.
JoinSettings allSetUp()
{
    JoinSettings s;
    s.sourcePorts.port(vantrell::SourcePort::EDuke32OldMP) = {true, "/games/oldmp/eduke32"};
    s.sourcePorts.port(vantrell::SourcePort::HDuke) = {true, "/games/hduke/hduke"};
    s.sourcePorts.port(vantrell::SourcePort::NBlood) = {true, "/games/nblood/nblood"};
    s.sourcePorts.usermapsFolder(vantrell::Game::Duke3d) = kDuke;
    s.sourcePorts.usermapsFolder(vantrell::Game::Blood) = kBlood;
    return s;
}

struct Disk
{
    std::set<std::string> folders{kDuke, kBlood};
    std::set<std::string> files{"/games/oldmp/eduke32", "/games/hduke/hduke",
                                "/games/nblood/nblood", kDuke + kSep + "have.map"};
    JoinDisk facts() const
    {
        return {[this](const std::string& p) { return folders.count(p) > 0; },
                [this](const std::string& p) { return files.count(p) > 0; }};
    }
};

QStringList lines(std::initializer_list<const char*> l)
{
    QStringList out;
    for (const char* s : l)
        out << QString::fromUtf8(s);
    return out;
}

QStringList downloadLines(const std::string& target, const std::string& map, const std::string& url)
{
    return {QString(), QString::fromStdString(target + " does not exist."),
            QString::fromStdString("Attempting download of " + map),
            QString::fromStdString("Downloading: " + url)};
}

enum class Change
{
    None,
    OldMpOff,
    HDukeOff,
    HDukeMissing,
    DukeFolderMissing,
    BloodFolderMissing,
    DukeFolderEmpty,
    Unreadable,
};

} // namespace

Q_DECLARE_METATYPE(Change)

class TestJoinPlan : public QObject
{
    Q_OBJECT

private slots:
    void checks_data()
    {
        QTest::addColumn<QString>("game");
        QTest::addColumn<QString>("sourcePort");
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("openRoom");

        const QString duke = QStringLiteral("Duke Nukem 3D");
        const QString blood = QStringLiteral("Blood Game");
        QTest::newRow("hDuke ready") << duke << "hDuke" << Change::None << QStringList() << true;
        QTest::newRow("OldMP ready")
            << duke << "EDuke32-OldMP" << Change::None << QStringList() << true;
        QTest::newRow("NBlood ready") << blood << "NBlood" << Change::None << QStringList() << true;
        QTest::newRow("Duke room with NBlood port")
            << duke << "NBlood" << Change::None << QStringList() << false;
        QTest::newRow("unknown game") << "Shadow Warrior"
                                      << "hDuke" << Change::None << QStringList() << false;
        QTest::newRow("OldMP not enabled")
            << duke << "EDuke32-OldMP" << Change::OldMpOff
            << lines({"", "Your SourcePort for EDuke32-OldMP is not set up.",
                      "Please set up the EDuke32-OldMP SourcePort first before joining a room.",
                      ""})
            << false;
        QTest::newRow("another port disabled does not matter")
            << duke << "hDuke" << Change::OldMpOff << QStringList() << true;
        QTest::newRow("hDuke not enabled")
            << duke << "hDuke" << Change::HDukeOff
            << lines({"", "Your SourcePort for hDuke is not set up.",
                      "Please set up the hDuke SourcePort first before joining a room.", ""})
            << false;
        QTest::newRow("hDuke executable missing")
            << duke << "hDuke" << Change::HDukeMissing
            << lines({"", "Your SourcePort path location for hDuke is not set up correctly.",
                      "Please set up the hDuke SourcePort first before joining a room.", ""})
            << false;
        QTest::newRow("Duke folder missing skips the port check")
            << duke << "hDuke" << Change::DukeFolderMissing
            << lines({"", "Your UserMaps directory location is invalid!",
                      "You cannot join a game without setting up the game first!", ""})
            << false;
        QTest::newRow("Duke folder empty")
            << duke << "hDuke" << Change::DukeFolderEmpty
            << lines({"", "Your UserMaps directory location is invalid!",
                      "You cannot join a game without setting up the game first!", ""})
            << false;
        QTest::newRow("Blood folder missing skips the port check")
            << blood << "NBlood" << Change::BloodFolderMissing
            << lines({"", "Your Blood game UserMaps directory location is invalid!",
                      "You cannot join a game without setting up the game first!", ""})
            << false;
        QTest::newRow("Blood folder missing does not matter to Duke")
            << duke << "hDuke" << Change::BloodFolderMissing << QStringList() << true;
        QTest::newRow("unreadable file: the port counts as not enabled")
            << duke << "hDuke" << Change::Unreadable
            << lines({"There was an error trying to read the vantrel.cfg file!  Try running the "
                      "program with Admin Privilages! ",
                      "", "Your SourcePort for hDuke is not set up.",
                      "Please set up the hDuke SourcePort first before joining a room.", ""})
            << false;
    }

    void checks()
    {
        QFETCH(QString, game);
        QFETCH(QString, sourcePort);
        QFETCH(Change, change);
        QFETCH(QStringList, log);
        QFETCH(bool, openRoom);

        JoinSettings settings = allSetUp();
        Disk disk;
        switch (change) {
        case Change::None:
            break;
        case Change::OldMpOff:
            settings.sourcePorts.port(vantrell::SourcePort::EDuke32OldMP).enabled = false;
            break;
        case Change::HDukeOff:
            settings.sourcePorts.port(vantrell::SourcePort::HDuke).enabled = false;
            break;
        case Change::HDukeMissing:
            disk.files.erase(settings.sourcePorts.port(vantrell::SourcePort::HDuke).path);
            break;
        case Change::DukeFolderMissing:
            disk.folders.erase(kDuke);
            break;
        case Change::BloodFolderMissing:
            disk.folders.erase(kBlood);
            break;
        case Change::DukeFolderEmpty:
            settings.sourcePorts.usermapsFolder(vantrell::Game::Duke3d).clear();
            disk.folders.insert("");
            break;
        case Change::Unreadable:
            settings.readable = false;
            break;
        }

        const JoinRow row{"198.51.100.4", "8501", sourcePort.toStdString(), game.toStdString(),
                          "E1L1: Hollywood Holocaust"};
        const JoinPlan plan = planJoin(row, settings, disk.facts(), "maps.example.test");
        QCOMPARE(toQt(plan.logLines), log);
        QCOMPARE(plan.openRoom, openRoom);
        QVERIFY(!plan.download);
        QCOMPARE(plan.address, (RoomAddress{"198.51.100.4", "8501", sourcePort.toStdString()}));
    }

    void usermaps_data()
    {
        QTest::addColumn<QString>("game");
        QTest::addColumn<QString>("map");
        QTest::addColumn<Change>("change");
        // Empty when no download is planned.
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("openRoom");

        const QString duke = QStringLiteral("Duke Nukem 3D");
        const QString blood = QStringLiteral("Blood Game");
        const auto q = [](const std::string& s) { return QString::fromStdString(s); };
        QTest::newRow("level title") << duke << "E1L1: Hollywood Holocaust" << Change::None
                                     << QString() << QString() << false << true;
        QTest::newRow("a .map lookalike")
            << duke << "mapmap" << Change::None << QString() << QString() << false << true;
        QTest::newRow("Duke usermap")
            << duke << "dm7.map" << Change::None << q(kDuke + kSep + "dm7.map")
            << "https://maps.example.test/content/uploaded_files/dm7.map" << false << true;
        QTest::newRow("upper-case extension keeps its name")
            << duke << "DM7.MAP" << Change::None << q(kDuke + kSep + "DM7.MAP")
            << "https://maps.example.test/content/uploaded_files/DM7.MAP" << false << true;
        QTest::newRow("Blood usermap")
            << blood << "cryptic.map" << Change::None << q(kBlood + kSep + "cryptic.map")
            << "https://maps.example.test/bloodcontent/uploaded_files/cryptic.map" << false << true;
        QTest::newRow("blanks are logged as listed")
            << duke << "my map.map" << Change::None << q(kDuke + kSep + "my map.map")
            << "https://maps.example.test/content/uploaded_files/my map.map" << false << true;
        QTest::newRow("usermap already there")
            << duke << "have.map" << Change::None << QString() << QString() << false << true;
        QTest::newRow("port not enabled still downloads")
            << duke << "dm7.map" << Change::HDukeOff << q(kDuke + kSep + "dm7.map")
            << "https://maps.example.test/content/uploaded_files/dm7.map" << false << false;
        QTest::newRow("folder missing: attempted, refused, no room")
            << duke << "dm7.map" << Change::DukeFolderMissing << q(kDuke + kSep + "dm7.map")
            << "https://maps.example.test/content/uploaded_files/dm7.map" << true << false;
        QTest::newRow("empty folder never probes the root")
            << duke << "have.map" << Change::DukeFolderEmpty << q(kSep + "have.map")
            << "https://maps.example.test/content/uploaded_files/have.map" << true << false;
    }

    void usermaps()
    {
        QFETCH(QString, game);
        QFETCH(QString, map);
        QFETCH(Change, change);
        QFETCH(QString, target);
        QFETCH(QString, url);
        QFETCH(bool, refused);
        QFETCH(bool, openRoom);

        JoinSettings settings = allSetUp();
        Disk disk;
        if (change == Change::HDukeOff)
            settings.sourcePorts.port(vantrell::SourcePort::HDuke).enabled = false;
        if (change == Change::DukeFolderMissing)
            disk.folders.erase(kDuke);
        if (change == Change::DukeFolderEmpty) {
            settings.sourcePorts.usermapsFolder(vantrell::Game::Duke3d).clear();
            disk.files.insert(kSep + "have.map");
        }

        const std::string sourcePort = game.startsWith("Duke") ? "hDuke" : "NBlood";
        const JoinRow row{"198.51.100.4", "8501", sourcePort, game.toStdString(),
                          map.toStdString()};
        const JoinPlan plan = planJoin(row, settings, disk.facts(), "maps.example.test");
        QCOMPARE(plan.openRoom, openRoom);
        if (target.isEmpty()) {
            QVERIFY(!plan.download);
            QCOMPARE(toQt(plan.logLines), QStringList());
            return;
        }
        QVERIFY(plan.download);
        QCOMPARE(QString::fromStdString(plan.download->target), target);
        QCOMPARE(QString::fromStdString(plan.download->url), url);
        QCOMPARE(QString::fromStdString("https://" + plan.download->host + plan.download->path),
                 url);
        QCOMPARE(plan.download->refused, refused);
        // The download's lines come last, after whatever the checks said.
        const QStringList log = toQt(plan.logLines);
        QCOMPARE(log.mid(log.size() - 4),
                 downloadLines(target.toStdString(), map.toStdString(), url.toStdString()));
    }

    void namesThatLeaveTheFolderAreNeverRequested_data()
    {
        QTest::addColumn<QString>("map");
        QTest::newRow("parent") << "../../etc/evil.map";
        QTest::newRow("backslash") << "..\\evil.map";
        QTest::newRow("drive") << "C:evil.map";
        QTest::newRow("absolute") << "/tmp/evil.map";
    }

    void namesThatLeaveTheFolderAreNeverRequested()
    {
        QFETCH(QString, map);
        Disk disk;
        bool probed = false;
        JoinDisk facts = disk.facts();
        facts.isFile = [&probed, &disk](const std::string& p) {
            probed = probed || p.find("evil") != std::string::npos;
            return disk.files.count(p) > 0;
        };
        const JoinRow row{"198.51.100.4", "8501", "hDuke", std::string("Duke Nukem 3D"),
                          map.toStdString()};
        const JoinPlan plan = planJoin(row, allSetUp(), facts, "maps.example.test");
        QVERIFY(plan.download);
        QVERIFY(plan.download->refused);
        QVERIFY(plan.download->path.empty());
        QVERIFY(!probed);
        QVERIFY(plan.openRoom);
        QCOMPARE(toQt(plan.logLines), QStringList());
    }

    void roomFilters_data()
    {
        // The filters on (f full, g in game, p private, s set-up ports), then the room's players,
        // in-game flag, private flag, game and source port.
        QTest::addColumn<QString>("room");
        QTest::addColumn<bool>("shown");
        QTest::newRow("no filter") << "~8/8~Yes~1~Duke Nukem 3D~EDuke32-OldMP" << true;
        QTest::newRow("full") << "f~8/8~No~0~Duke Nukem 3D~hDuke" << false;
        QTest::newRow("over full") << "f~9/8~No~0~Duke Nukem 3D~hDuke" << false;
        QTest::newRow("counts as numbers") << "f~10/9~No~0~Duke Nukem 3D~hDuke" << false;
        QTest::newRow("places left") << "f~10/16~No~0~Duke Nukem 3D~hDuke" << true;
        QTest::newRow("count unreadable") << "f~x/8~No~0~Duke Nukem 3D~hDuke" << true;
        QTest::newRow("in game") << "g~1/8~Yes~0~Duke Nukem 3D~hDuke" << false;
        QTest::newRow("not in game") << "g~1/8~No~0~Duke Nukem 3D~hDuke" << true;
        QTest::newRow("private") << "p~1/8~No~1~Duke Nukem 3D~hDuke" << false;
        QTest::newRow("set up") << "s~1/8~No~0~Duke Nukem 3D~hDuke" << true;
        QTest::newRow("set up, Blood") << "s~1/4~No~0~Blood Game~NBlood" << true;
        QTest::newRow("not set up") << "s~1/8~No~0~Duke Nukem 3D~EDuke32-OldMP" << false;
        QTest::newRow("another game's port") << "s~1/8~No~0~Duke Nukem 3D~NBlood" << false;
        QTest::newRow("unknown port") << "s~1/8~No~0~Duke Nukem 3D~nDuke" << false;
        QTest::newRow("combined") << "fgp~2/8~No~1~Duke Nukem 3D~hDuke" << false;
    }

    void roomFilters()
    {
        QFETCH(QString, room);
        QFETCH(bool, shown);
        const QStringList v = room.split(QLatin1Char('~'));
        RoomRecord record;
        record.players = v[1].toStdString();
        record.inGame = v[2].toStdString();
        record.isPrivate = v[3] == QLatin1String("1");
        record.game = v[4].toStdString();
        record.sourcePort = v[5].toStdString();
        const vantrell::settings::RoomFilterSettings on{v[0].contains('f'), v[0].contains('g'),
                                                        v[0].contains('p'), v[0].contains('s')};
        // Set up: hDuke and NBlood; EDuke32-OldMP is ticked but its executable is gone.
        Disk disk;
        disk.files.erase("/games/oldmp/eduke32");
        const auto setUp = setUpRoomPorts(allSetUp().sourcePorts, disk.facts().isFile);
        QCOMPARE(roomPassesFilters(record, on, setUp), shown);
    }
};

QTEST_APPLESS_MAIN(TestJoinPlan)
#include "tst_joinplan.moc"
