#include "base/roomhost/RoomSettings.h"
#include "base/settings/ConfigFile.h"
#include "base/transfer/UsermapTransfer.h"
#include "core/common/Environment.h"
#include "core/transfer/ClientUserMapCheckFileTransfer.h"
#include "core/transfer/FileServer.h"
#include "support/RoomLab.h"
#include "support/ScriptedServer.h"

#include <memory>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;
using namespace vantrell::core;
using namespace std::chrono_literals;
using roomhost::SettingRow;

namespace {

const QString kError = QStringLiteral("Error getting UserMap file.");

std::vector<SettingRow> roomRows(const QString& game, const QString& map)
{
    return {{"Game", game.toStdString()},
            {"Source Port", game == "Blood Game" ? "NBlood" : "hDuke"},
            {"Map", map.toStdString()},
            {"Players", "2/8"}};
}

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every entry of a folder, hidden temporary files included.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// One side's usermap folders (Duke Nukem 3D and Blood), kept in its own configuration file.
struct Folders
{
    Folders()
    {
        QDir(root.path()).mkdir("duke");
        QDir(root.path()).mkdir("blood");
        env.programFolder = root.path();
        env.timing = Timing(kSpeedUp);
        env.fileServerPort = 0;
        settings::ConfigFile config(env.configFolder());
        QVERIFY(config.writeString("Usermaps Directorys", "Duke3d Usermaps Path",
                                   duke().toStdString()));
        QVERIFY(config.writeString("Usermaps Directorys", "Blood Usermaps Path",
                                   blood().toStdString()));
    }
    QString duke() const { return root.filePath("duke"); }
    QString blood() const { return root.filePath("blood"); }
    QString folderFor(const QString& game) const { return game == "Blood Game" ? blood() : duke(); }

    QTemporaryDir root;
    Environment env;
};

// The member's usermap check as the room client starts it, pointed at a port of our choice.
struct Check
{
    Check(Folders& folders, quint16 port, std::vector<SettingRow> rows) : rows(std::move(rows))
    {
        ClientUserMapCheckFileTransfer::Setup setup;
        setup.hostAddress = QStringLiteral("127.0.0.1");
        setup.port = port;
        setup.settings = [this] { return this->rows; };
        setup.folders = configUsermapFolders(folders.env);
        check = std::make_unique<ClientUserMapCheckFileTransfer>(folders.env.timing, setup);
        log = std::make_unique<QSignalSpy>(check.get(), &ClientUserMapCheckFileTransfer::logLine);
        finished =
            std::make_unique<QSignalSpy>(check.get(), &ClientUserMapCheckFileTransfer::finished);
        check->start();
    }
    bool waitFinished(int timeout = 10000)
    {
        // An event loop, not a polling wait: the transfer runs at its own pace.
        return !finished->isEmpty() || finished->wait(timeout);
    }

    std::vector<SettingRow> rows;
    std::unique_ptr<ClientUserMapCheckFileTransfer> check;
    std::unique_ptr<QSignalSpy> log;
    std::unique_ptr<QSignalSpy> finished;
};

// The host's file server over its own folders and room settings.
struct Host
{
    explicit Host(std::vector<SettingRow> settingsRows) : rows(std::move(settingsRows))
    {
        server = std::make_unique<FileServer>(folders.env);
        server->setListenAddress(QHostAddress::LocalHost);
        server->setSettingsSource([this] { return rows; });
        log = std::make_unique<QSignalSpy>(server.get(), &FileServer::logLine);
        QVERIFY(server->start());
    }
    Folders folders;
    std::vector<SettingRow> rows;
    std::unique_ptr<FileServer> server;
    std::unique_ptr<QSignalSpy> log;
};

} // namespace

class TestUsermapTransfer : public QObject
{
    Q_OBJECT

private slots:
    void fetchFromTheFileServer_data()
    {
        QTest::addColumn<QString>("game");
        QTest::addColumn<QString>("map");
        QTest::addColumn<qint64>("size");
        QTest::newRow("empty usermap") << "Duke Nukem 3D"
                                       << "empty.map" << qint64(0);
        QTest::newRow("capital MAP") << "Duke Nukem 3D"
                                     << "DM.MAP" << qint64(1000);
        QTest::newRow("blood room") << "Blood Game"
                                    << "bb.map" << qint64(70000);
        QTest::newRow("50 MiB") << "Duke Nukem 3D"
                                << "big.map" << qint64(50) * 1024 * 1024;
    }
    void fetchFromTheFileServer()
    {
        QFETCH(QString, game);
        QFETCH(QString, map);
        QFETCH(qint64, size);
        Host host(roomRows(game, map));
        const QByteArray content = pattern(size);
        const QString hostPath = host.folders.folderFor(game) + "/" + map;
        QVERIFY(writeFile(hostPath, content));

        Folders member;
        Check check(member, host.server->serverPort(), roomRows(game, map));
        QVERIFY(check.waitFinished(60000));

        const QString folder = member.folderFor(game);
        QCOMPARE(texts(*check.log),
                 (QStringList{"Sent request to get file",
                              QStringLiteral("Received file length (%1 bytes)").arg(size),
                              QStringLiteral("Received content of file, actual file length is "
                                             "%1 bytes")
                                  .arg(size),
                              "", "Usermap transfer success: " + folder + "/" + map}));
        QCOMPARE(entries(folder), QStringList{map});
        QCOMPARE(QCryptographicHash::hash(readFile(folder + "/" + map), QCryptographicHash::Sha256),
                 QCryptographicHash::hash(content, QCryptographicHash::Sha256));
        QCOMPARE(texts(*host.log), QStringList{"Sent file to a client " + hostPath});
        // The member closes after the last byte and the host lets the connection go.
        QTRY_COMPARE(host.server->connectionCount(), 0);
    }

    // Rooms where the member has nothing to fetch, or must not: no connection is made.
    void noConnection_data()
    {
        QTest::addColumn<QString>("game");
        QTest::addColumn<QString>("map");
        QTest::addColumn<bool>("memberHasIt");
        QTest::addColumn<bool>("removeFolder");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("map already there") << "Duke Nukem 3D"
                                           << "dm.map" << true << false << QStringList{};
        QTest::newRow("game level") << "Duke Nukem 3D"
                                    << "E1L1" << false << false << QStringList{};
        QTest::newRow("no map row") << "Duke Nukem 3D"
                                    << "" << false << false << QStringList{};
        QTest::newRow("name leaves the folder")
            << "Duke Nukem 3D"
            << "../x.map" << false << false << QStringList{kError};
        QTest::newRow("name with a backslash")
            << "Blood Game"
            << "..\\x.map" << false << false << QStringList{kError};
        QTest::newRow("usermaps folder missing")
            << "Blood Game"
            << "bb.map" << false << true << QStringList{kError};
    }
    void noConnection()
    {
        QFETCH(QString, game);
        QFETCH(QString, map);
        QFETCH(bool, memberHasIt);
        QFETCH(bool, removeFolder);
        QFETCH(QStringList, log);
        ScriptedServer host;
        Folders member;
        const QString folder = member.folderFor(game);
        if (memberHasIt)
            QVERIFY(writeFile(folder + "/" + map, "mine"));
        if (removeFolder)
            QVERIFY(QDir(folder).removeRecursively());
        auto rows = roomRows(game, map);
        if (map.isEmpty())
            rows.resize(2);
        Check check(member, host.port(), rows);
        QVERIFY(check.waitFinished());
        QCOMPARE(texts(*check.log), log);
        QCOMPARE(host.connectionCount(), 0);
        QCOMPARE(entries(folder), memberHasIt ? QStringList{map} : QStringList{});
        // Nothing else was made beside the folders either (a name that climbs out).
        QCOMPARE(entries(member.root.path()).filter(".map"), QStringList{});
    }

    // A host that answers badly: the member ends with the error line, nothing under the
    // map's name and no temporary file; a file the member had is left as it was.
    void brokenHost_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("closeAfter");
        QTest::addColumn<QString>("sizeLine"); // empty: none expected
        QTest::newRow("closes without answer") << QByteArray() << true << QString();
        QTest::newRow("half a size") << QByteArray(4, '\0') << true << QString();
        QTest::newRow("negative size")
            << QByteArray(8, '\xff') << true << "Received file length (-1 bytes)";
        QTest::newRow("size past 512 MiB") << QByteArray("\0\0\0\0\x20\0\0\x01", 8) << false
                                           << "Received file length (536870913 bytes)";
        QTest::newRow("fewer bytes than announced")
            << QByteArray("\0\0\0\0\0\0\0\x10", 8) + "0123456789" << true
            << "Received file length (16 bytes)";
        QTest::newRow("stalls after the size")
            << QByteArray("\0\0\0\0\0\0\0\x10", 8) << false << "Received file length (16 bytes)";
    }
    void brokenHost()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, closeAfter);
        QFETCH(QString, sizeLine);
        ScriptedServer host;
        connect(&host, &ScriptedServer::lineReceived, this, [&](const QString& line) {
            if (line != "RequestFile")
                return;
            host.sendRaw(answer);
            if (closeAfter)
                host.closeClients();
        });
        Folders member;
        Check check(member, host.port(), roomRows("Duke Nukem 3D", "dm.map"));
        // The member's own copy turns up while the check waits to ask (a web download,
        // say): a broken transfer must not touch it.
        QTRY_COMPARE(host.connectionCount(), 1);
        QVERIFY(writeFile(member.duke() + "/dm.map", "old copy"));
        QVERIFY(check.waitFinished());

        QStringList expected{"Sent request to get file"};
        if (!sizeLine.isEmpty())
            expected << sizeLine;
        expected << kError;
        QCOMPARE(texts(*check.log), expected);
        QCOMPARE(entries(member.duke()), QStringList{"dm.map"});
        QCOMPARE(readFile(member.duke() + "/dm.map"), QByteArray("old copy"));
        QCOMPARE(host.lines(), QStringList{"RequestFile"});
    }

    void replacesAFileThatTurnedUpMeanwhile()
    {
        ScriptedServer host;
        connect(&host, &ScriptedServer::lineReceived, this, [&](const QString& line) {
            if (line == "NBloodRequestFile")
                host.sendRaw(QByteArray("\0\0\0\0\0\0\0\x03", 8) + "new");
        });
        Folders member;
        Check check(member, host.port(), roomRows("Blood Game", "bb.map"));
        QTRY_COMPARE(host.connectionCount(), 1);
        QVERIFY(writeFile(member.blood() + "/bb.map", "old copy"));
        QVERIFY(check.waitFinished());
        QCOMPARE(texts(*check.log),
                 (QStringList{"Sent request to get file", "Received file length (3 bytes)",
                              "Received content of file, actual file length is 3 bytes",
                              "Deleted old file", "",
                              "Usermap transfer success: " + member.blood() + "/bb.map"}));
        QCOMPARE(readFile(member.blood() + "/bb.map"), QByteArray("new"));
        QCOMPARE(entries(member.blood()), QStringList{"bb.map"});
    }

    // The room closes (the server stops) once the size is out.
    void hostStopsMidFile()
    {
        Host host(roomRows("Duke Nukem 3D", "big.map"));
        QVERIFY(writeFile(host.folders.duke() + "/big.map", pattern(qint64(50) * 1024 * 1024)));
        Folders member;
        Check check(member, host.server->serverPort(), roomRows("Duke Nukem 3D", "big.map"));
        connect(check.check.get(), &ClientUserMapCheckFileTransfer::logLine, this,
                [&](const QString& line) {
                    if (line.startsWith("Received file length"))
                        host.server->stop();
                });
        QVERIFY(check.waitFinished());
        QCOMPARE(texts(*check.log).last(), kError);
        QCOMPARE(entries(member.duke()), QStringList{});
    }

    // The file is cut short under the server after it announced the size: the server
    // closes the connection at once rather than leave the member waiting for bytes that
    // will never come (its own 30-second limit runs at real speed here).
    void serverClosesWhenTheFileShrinks()
    {
        Host host(roomRows("Duke Nukem 3D", "big.map"));
        host.folders.env.timing = Timing(1.0);
        const QString path = host.folders.duke() + "/big.map";
        const qint64 size = qint64(50) * 1024 * 1024;
        QVERIFY(writeFile(path, pattern(size)));
        QTcpSocket socket;
        // The member takes bytes only when the test reads them, and through a small window,
        // so the server cannot send the whole file (loopback moves 50 MiB in a blink) before
        // it is cut.
        socket.setReadBufferSize(64 * 1024);
        socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 * 1024);
        socket.connectToHost(QHostAddress::LocalHost, host.server->serverPort());
        QVERIFY(socket.waitForConnected(5000));
        socket.write("RequestFile\r\n");
        QTRY_VERIFY(socket.bytesAvailable() >= 8);
        QVERIFY(QFile::resize(path, 1024 * 1024));
        qint64 received = 0;
        QTRY_VERIFY_WITH_TIMEOUT((received += socket.readAll().size(),
                                  socket.state() == QAbstractSocket::UnconnectedState),
                                 5000);
        QVERIFY(received < size + 8);
        QCOMPARE(host.server->connectionCount(), 0);
    }

    // A member that takes the whole file and then keeps the connection open is let go.
    void memberThatStaysIsLetGo()
    {
        Host host(roomRows("Duke Nukem 3D", "dm.map"));
        QVERIFY(writeFile(host.folders.duke() + "/dm.map", "0123456789"));
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, host.server->serverPort());
        QVERIFY(socket.waitForConnected(5000));
        socket.write("RequestFile\r\n");
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT(
            (received += socket.readAll(), socket.state() == QAbstractSocket::UnconnectedState),
            5000);
        QCOMPARE(received, QByteArray("\0\0\0\0\0\0\0\x0a", 8) + "0123456789");
        QCOMPARE(host.server->connectionCount(), 0);
    }

    // Let go: one that never reads 30 s after the size, a trickle at 1 min + 256 KiB / 4 KiB/s.
    void slowMembersAreLetGo()
    {
        Host host(roomRows("Duke Nukem 3D", "dm.map"));
        Timing& timing = host.folders.env.timing = Timing(25);
        QVERIFY(writeFile(host.folders.duke() + "/dm.map", pattern(256 * 1024)));
        QTcpSocket never, trickle;
        for (QTcpSocket* socket : {&never, &trickle}) {
            QVERIFY(socket->bind(QHostAddress::LocalHost)); // the small window from the start
            socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
            socket->setReadBufferSize(4096);
            socket->connectToHost(QHostAddress::LocalHost, host.server->serverPort());
            socket->write("RequestFile\r\n");
        }
        QTRY_VERIFY(never.bytesAvailable() > 0 && trickle.bytesAvailable() > 0);
        const auto from = timing.now();
        const auto after = [&] { return timing.designedElapsed(from, timing.now()); };
        QTRY_VERIFY_WITH_TIMEOUT((trickle.read(1024), host.server->connectionCount() < 2), 5000);
        QVERIFY(after() > 27s && after() < 45s);
        QTRY_VERIFY_WITH_TIMEOUT((trickle.read(1024), host.server->connectionCount() == 0), 15000);
        QVERIFY(after() > 110s && after() < 150s);
    }

    void closingTheRoomWindowMidTransferLeavesNoFile()
    {
        ScriptedServer host;
        connect(&host, &ScriptedServer::lineReceived, this, [&](const QString&) {
            host.sendRaw(QByteArray("\0\0\0\0\0\0\0\x10", 8) + "0123");
        });
        Folders member;
        Check check(member, host.port(), roomRows("Duke Nukem 3D", "dm.map"));
        QTRY_VERIFY(texts(*check.log).contains("Received file length (16 bytes)"));
        QCOMPARE(entries(member.duke()).size(), 1); // the temporary file
        check.check->cancel();
        QCOMPARE(entries(member.duke()), QStringList{});
        QTest::qWait(static_cast<int>(30000 / kSpeedUp) + 100);
        QCOMPARE(check.finished->size(), 0);
    }

    // What the file server never serves: another game's request, a map that is not a
    // usermap, a name that leaves the folder, a file it does not have. The connection
    // closes without a byte.
    void serverRefuses_data()
    {
        QTest::addColumn<QString>("map");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("logged");
        QTest::newRow("other game") << "dm.map" << QByteArray("NBloodRequestFile\r\n") << false;
        QTest::newRow("game level") << "E1L1" << QByteArray("RequestFile\r\n") << false;
        QTest::newRow("outside the folder")
            << "../secret.map" << QByteArray("RequestFile\r\n") << false;
        QTest::newRow("missing file") << "gone.map" << QByteArray("RequestFile\r\n") << true;
    }
    void serverRefuses()
    {
        QFETCH(QString, map);
        QFETCH(QByteArray, request);
        QFETCH(bool, logged);
        Host host(roomRows("Duke Nukem 3D", map));
        QVERIFY(writeFile(host.folders.duke() + "/dm.map", "x"));
        QVERIFY(writeFile(host.folders.root.path() + "/secret.map", "secret"));
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, host.server->serverPort());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(request);
        QTRY_COMPARE(socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(socket.readAll(), QByteArray());
        QCOMPARE(host.log->size(), logged ? 1 : 0);
    }

    // A member that connects and says nothing, and more connections than the server
    // holds, do not keep an honest member from its map.
    void misbehavingMembersDoNotBlockOthers()
    {
        Host host(roomRows("Duke Nukem 3D", "dm.map"));
        const QByteArray content = pattern(300000);
        QVERIFY(writeFile(host.folders.duke() + "/dm.map", content));
        std::vector<std::unique_ptr<QTcpSocket>> silent;
        for (int i = 0; i < FileServer::kMaxConnections - 1; ++i) {
            silent.push_back(std::make_unique<QTcpSocket>());
            silent.back()->bind(QHostAddress(0x7f000002 + i / FileServer::kMaxPerAddress));
            silent.back()->connectToHost(QHostAddress::LocalHost, host.server->serverPort());
            QVERIFY(silent.back()->waitForConnected(5000));
        }
        QTRY_COMPARE(host.server->connectionCount(), FileServer::kMaxConnections - 1);
        QTcpSocket crowded; // from an address that has its share, while there is room
        crowded.bind(QHostAddress(0x7f000002));
        crowded.connectToHost(QHostAddress::LocalHost, host.server->serverPort());
        QTRY_COMPARE(crowded.state(), QAbstractSocket::UnconnectedState);

        Folders member;
        Check check(member, host.server->serverPort(), roomRows("Duke Nukem 3D", "dm.map"));
        // While the honest member holds the last place, one more is turned away at once.
        QTRY_COMPARE(host.server->connectionCount(), FileServer::kMaxConnections);
        QTcpSocket extra;
        extra.connectToHost(QHostAddress::LocalHost, host.server->serverPort());
        QTRY_COMPARE(extra.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(silent.front()->state() == QAbstractSocket::ConnectedState);

        QVERIFY(check.waitFinished());
        QCOMPARE(readFile(member.duke() + "/dm.map"), content);
        // The silent ones are let go once their time to ask is up.
        QTRY_COMPARE_WITH_TIMEOUT(host.server->connectionCount(), 0, 5000);
        for (const auto& socket : silent)
            QTRY_COMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    }

    void cannotReachTheFileServer()
    {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        // Nobody listens there any more.
        Folders member;
        Check check(member, port, roomRows("Duke Nukem 3D", "dm.map"));
        QVERIFY(check.waitFinished());
        QCOMPARE(texts(*check.log),
                 QStringList{QString("Unable to get/transfer the UserMap file because cannot "
                                     "connect to the Room owners Host TCP port %1.")
                                 .arg(port)});
        QCOMPARE(entries(member.duke()), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestUsermapTransfer)
#include "tst_usermaptransfer.moc"
