#include "base/settings/Settings.h"
#include "core/lobby/RoomJoin.h"
#include "support/HttpsTestServer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;

Q_DECLARE_METATYPE(vantrell::lobby::RoomAddress)

namespace {

const QString kUnreadable = QStringLiteral("There was an error trying to read the vantrel.cfg "
                                           "file!  Try running the program with Admin "
                                           "Privilages! ");
const QString kDownloadError = QStringLiteral(
    "An error occured while downloading the usermap file from the website database!!");

enum class Setup
{
    Ready,
    FolderMissing,
    Unreadable,
};

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestRoomJoin : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    std::unique_ptr<HttpsTestServer> m_server;
    const QByteArray m_map = QByteArray(30000, 'm');

    // A program folder with "vantrel.cfg" for hDuke, the executable and the usermaps folder.
    void prepare(const QTemporaryDir& dir, Setup setup, core::Environment& env)
    {
        env.programFolder = dir.path();
        env.webHost = m_server->authority();
        env.tls.setCaCertificates({m_certificates.authority});
        const QString maps = dir.filePath(QStringLiteral("maps"));
        const QString exe = dir.filePath(QStringLiteral("hduke"));
        if (setup != Setup::FolderMissing)
            QVERIFY(QDir().mkpath(maps));
        QFile executable(exe);
        QVERIFY(executable.open(QIODevice::WriteOnly));
        if (setup == Setup::Unreadable) {
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("vantrel.cfg"))));
            return;
        }
        settings::ConfigFile config(env.configFolder());
        QVERIFY(config.writeBool("GamePath", "hDuke Checkbox", true).ok());
        QVERIFY(config.writeString("GamePath", "hDuke Path", exe.toStdString()).ok());
        QVERIFY(
            config.writeString("Usermaps Directorys", "Duke3d Usermaps Path", maps.toStdString())
                .ok());
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(m_certificates.make(), QString());
        m_server =
            std::make_unique<HttpsTestServer>(m_certificates.server, m_certificates.serverKey);
        HttpsTestResponse map;
        map.body = m_map;
        m_server->setResponse(QStringLiteral("/content/uploaded_files/dm7.map"), map);
    }

    void joins_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("map");
        QTest::addColumn<QStringList>("log"); // <maps> stands for the usermaps folder
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("opens");

        const QString url = QStringLiteral("Downloading: https://<host>/content/uploaded_files/");
        QTest::newRow("usermap fetched")
            << Setup::Ready << "dm7.map"
            << QStringList{QString(), "<maps>/dm7.map does not exist.",
                           "Attempting download of dm7.map", url + "dm7.map",
                           "Recieved <maps>/dm7.map of 30000 bytes."}
            << QStringList() << true;
        QTest::newRow("usermap not on the site: the join goes on")
            << Setup::Ready << "gone.map"
            << QStringList{QString(), "<maps>/gone.map does not exist.",
                           "Attempting download of gone.map", url + "gone.map"}
            << QStringList{kDownloadError} << true;
        QTest::newRow("folder missing: attempt, error box, no room")
            << Setup::FolderMissing << "dm7.map"
            << QStringList{QString(),
                           "Your UserMaps directory location is invalid!",
                           "You cannot join a game without setting up the game first!",
                           QString(),
                           QString(),
                           "<maps>/dm7.map does not exist.",
                           "Attempting download of dm7.map",
                           url + "dm7.map"}
            << QStringList{kDownloadError} << false;
        QTest::newRow("settings file unreadable")
            << Setup::Unreadable << "dm7.map"
            << QStringList{kUnreadable, QString(), "Your SourcePort for hDuke is not set up.",
                           "Please set up the hDuke SourcePort first before joining a room.",
                           QString()}
            << QStringList() << false;
    }

    void joins()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, map);
        QFETCH(QStringList, log);
        QFETCH(QStringList, boxes);
        QFETCH(bool, opens);

        QTemporaryDir dir;
        core::Environment env;
        prepare(dir, setup, env);
        log.replaceInStrings(QStringLiteral("<maps>"), dir.filePath(QStringLiteral("maps")));
        log.replaceInStrings(QStringLiteral("<host>"), env.webHost);
        const int requestsBefore = m_server->requests().size();

        settings::Settings settings(env.configFolder());
        core::RoomJoin join(env, settings);
        QStringList lines;
        QStringList shown;
        connect(&join, &core::RoomJoin::logLine, this, [&](const QString& l) { lines << l; });
        connect(&join, &core::RoomJoin::messageBox, this, [&](const QString& t) { shown << t; });
        QSignalSpy opened(&join, &core::RoomJoin::openRoom);
        QSignalSpy finished(&join, &core::RoomJoin::finished);
        QVERIFY(join.join({"192.0.2.9", "8502", "hDuke", "Duke Nukem 3D", map.toStdString()}));
        QTRY_COMPARE(finished.size(), 1);

        QCOMPARE(lines, log);
        QCOMPARE(shown, boxes);
        QCOMPARE(opened.size(), opens ? 1 : 0);
        if (opens)
            QCOMPARE(opened.first().first().value<lobby::RoomAddress>(),
                     (lobby::RoomAddress{"192.0.2.9", "8502", "hDuke"}));
        if (setup == Setup::FolderMissing)
            QCOMPARE(m_server->requests().size(), requestsBefore);
        QVERIFY(!join.isJoining());
    }

    // The program quits while the download-error box waits: the join ends there.
    void abortFromTheErrorBox()
    {
        QTemporaryDir dir;
        core::Environment env;
        prepare(dir, Setup::Ready, env);
        settings::Settings settings(env.configFolder());
        core::RoomJoin join(env, settings);
        QSignalSpy boxes(&join, &core::RoomJoin::messageBox);
        QSignalSpy opened(&join, &core::RoomJoin::openRoom);
        connect(&join, &core::RoomJoin::messageBox, &join, &core::RoomJoin::abort);
        QVERIFY(join.join({"192.0.2.9", "8502", "hDuke", "Duke Nukem 3D", "gone.map"}));
        QTRY_COMPARE(boxes.size(), 1);
        QTest::qWait(100);
        QCOMPARE(opened.size(), 0);
        QVERIFY(!join.isJoining());
    }

    // The list is rebuilt while a download runs and the player may double-click again: the
    // second join is ignored, and closing the window leaves no file behind.
    void oneJoinAtATime()
    {
        HttpsTestResponse slow;
        slow.body = QByteArray(64 * 1024, 's');
        slow.chunkSize = 4096;
        slow.chunkIntervalMs = 40;
        m_server->setResponse(QStringLiteral("/content/uploaded_files/slow.map"), slow);

        QTemporaryDir dir;
        core::Environment env;
        prepare(dir, Setup::Ready, env);
        settings::Settings settings(env.configFolder());
        core::RoomJoin join(env, settings);
        QSignalSpy progress(&join, &core::RoomJoin::downloadProgress);
        QSignalSpy opened(&join, &core::RoomJoin::openRoom);
        QSignalSpy finished(&join, &core::RoomJoin::finished);
        const lobby::JoinRow row{"192.0.2.9", "8502", "hDuke", "Duke Nukem 3D", "slow.map"};
        QVERIFY(join.join(row));
        QTRY_VERIFY(!progress.isEmpty());
        QVERIFY(!join.join(row));
        join.abort();
        QTest::qWait(200);
        QCOMPARE(opened.size() + finished.size(), 0);
        QVERIFY(QDir(dir.filePath(QStringLiteral("maps"))).isEmpty(QDir::Files | QDir::Hidden));
        QVERIFY(join.join(row)); // free again after the abort
    }
};

QTEST_GUILESS_MAIN(TestRoomJoin)
#include "tst_roomjoin.moc"
