#include "core/launch/GameFolder.h"
#include "core/launch/GameProcess.h"
#include "core/launch/WineStart.h"
#include "support/FileContents.h"
#include "support/StandInPort.h"
#include "support/StringLists.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;
using namespace vantrell::core;
namespace fs = std::filesystem;

class TestGameProcess : public QObject
{
    Q_OBJECT

private slots:
    void startsInTheGameFolderWithTheArgumentList()
    {
        QTemporaryDir game;
        StandInPort port;
        QVERIFY(port.install(game.path(), QStringLiteral("hduke")));
        port.configure(3, 50);
        writeFile(fs::path(game.path().toStdString()) / "netlist.txt", "mode peer\r\n");
        const QString before = QDir::currentPath();

        GameProcess process;
        QSignalSpy exited(&process, &GameProcess::exited);
        const auto started = process.RunAndWait({port.path().toStdString(),
                                                 {"-name", "Big Kim", "/y10 -x", ""},
                                                 game.path().toStdString()});
        QVERIFY2(started.ok(), started.ok() ? "" : started.error().c_str());
        QVERIFY(process.isRunning());
        QVERIFY(!process.ShellRunAndWait({port.path().toStdString(), {}, {}})); // one at a time
        QTRY_COMPARE(exited.size(), 1);
        QCOMPARE(exited.at(0).at(0).toInt(), 3);
        QVERIFY(!process.isRunning());

        QCOMPARE(port.arguments(), (QStringList{"-name", "Big Kim", "/y10 -x", ""}));
        QCOMPARE(QDir(port.workingFolder()).canonicalPath(), QDir(game.path()).canonicalPath());
        QCOMPARE(port.netlist(), QStringLiteral("mode peer\r\n"));
        QCOMPARE(QDir::currentPath(), before);
    }

    // A game outlives a program that is killed outright while it waits for the game.
    void gameOutlivesAKilledProgram()
    {
        QTemporaryDir game;
        StandInPort port;
        QVERIFY(port.install(game.path(), QStringLiteral("hduke")));
        port.configure(0, 3000);
        QProcess program;
        program.start(QStringLiteral(GAME_STARTER_PROCESS), {port.path(), game.path()});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY(program.canReadLine());
        QVERIFY(program.readLine().startsWith("started "));
        QTRY_VERIFY(port.hasStarted());

        program.kill();
        QVERIFY(program.waitForFinished());
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        QVERIFY(!port.hasFinished());
        QTRY_VERIFY_WITH_TIMEOUT(port.hasFinished(), 10000);
    }

    // A source port path relative to the program's working folder still names the same
    // file once the game runs in its own folder.
    void relativePathIsTheOneSeenFromHere()
    {
        QTemporaryDir root;
        QDir(root.path()).mkdir(QStringLiteral("game"));
        StandInPort port;
        QVERIFY(port.install(root.filePath(QStringLiteral("game")), QStringLiteral("hduke")));
        const QString before = QDir::currentPath();
        QDir::setCurrent(root.path());
        const std::string relative = "game/hduke";
        GameProcess process;
        QSignalSpy exited(&process, &GameProcess::exited);
        const bool started =
            process.ShellRunAndWait({relative, {}, GameFolder::ofExecutable(relative).string()});
        QDir::setCurrent(before);
        QVERIFY(started);
        QTRY_COMPARE(exited.size(), 1);
        QCOMPARE(QDir(port.workingFolder()).canonicalPath(),
                 QDir(root.filePath(QStringLiteral("game"))).canonicalPath());
    }

    void startFailures_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing"
                                 << "No such file or directory";
        QTest::newRow("empty path") << "empty"
                                    << "No such file or directory";
        QTest::newRow("not executable") << "plain file"
                                        << "Permission denied";
        QTest::newRow("folder") << "folder"
                                << "Permission denied";
    }

    void startFailures()
    {
        QFETCH(QString, what);
        QFETCH(QString, message);
        QTemporaryDir game;
        const fs::path folder = game.path().toStdString();
        std::string path;
        if (what == "missing")
            path = (folder / "hduke").string();
        else if (what == "plain file") {
            path = (folder / "hduke").string();
            writeFile(path, "#!/bin/sh\n");
        } else if (what == "folder")
            path = folder.string();

        const auto check = checkExecutable(path);
        QVERIFY(!check.ok());
        QCOMPARE(QString::fromStdString(check.error()), message);

        GameProcess process;
        QSignalSpy exited(&process, &GameProcess::exited);
        const auto run = process.RunAndWait({path, {}, folder.string()});
        QVERIFY(!run.ok());
        QCOMPARE(QString::fromStdString(run.error()), message);
        QVERIFY(!process.ShellRunAndWait({path, {}, folder.string()}));
        QVERIFY(!process.isRunning());
        QTest::qWait(20);
        QCOMPARE(exited.size(), 0);
    }

    // A Windows program is told by its content, whatever its name; a file that ends before
    // its headers do is not one.
    void windowsProgramByContent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("windows");
        // "MZ", the PE header's offset at 0x3C (little-endian), the header at 0x40.
        const QByteArray pe = "MZ" + QByteArray(0x3A, 0) + QByteArray("\x40\0\0\0PE\0\0", 8);
        QTest::newRow("PE image") << pe << true;
        QTest::newRow("shell script") << QByteArray("#!/bin/sh\n").leftJustified(0x80) << false;
        QTest::newRow("cut in the signature") << pe.left(0x43) << false;
        QTest::newRow("offset at the top")
            << QByteArray(pe).replace(0x3C, 4, "\xFF\xFF\xFF\xFF") << false;
        QTest::newRow("NE header") << QByteArray(pe).replace(0x40, 1, "N") << false;
    }

    void windowsProgramByContent()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir game;
        const std::string path = game.filePath(QStringLiteral("hduke.exe")).toStdString();
        writeFile(path, bytes.toStdString());
        QTEST(isWindowsProgram(path), "windows");
    }

    // A Windows game gets a quiet Wine unless the player's WINEDEBUG says otherwise, and its
    // prefix with "~" as the home folder; a Wine command or prefix that cannot be used is named.
    void wineStart_data()
    {
        QTest::addColumn<QStringList>("choice"); // the Wine command and prefix, the WINEDEBUG
        QTest::addColumn<QString>("outcome");    // the variables the game gets, or the message
        QTest::newRow("quiet") << QStringList{"/bin/sh", "~/duke", ""}
                               << "WINEPREFIX=~/duke WINEDEBUG=-all";
        QTest::newRow("the player's own WINEDEBUG") << QStringList{"/bin/sh", "", "+file"} << "";
        QTest::newRow("no command")
            << QStringList{"/opt/wine", "", ""}
            << "\"/games/hduke.exe\" is a Windows program, to be started with the Wine command "
               "\"/opt/wine\", which cannot be started (No such file or directory). Correct the "
               "Wine command under Settings, Source Ports, or empty it to use Debian's \"wine\" "
               "package.";
        QTest::newRow("a prefix below a file")
            << QStringList{"/bin/sh", "/bin/sh/wine", ""}
            << "The Wine prefix \"/bin/sh/wine\" cannot be made (Not a directory), so "
               "\"/games/hduke.exe\", a Windows program, cannot be started. Choose another Wine "
               "prefix under Settings, Source Ports.";
    }

    void wineStart()
    {
        QFETCH(QStringList, choice);
        QFETCH(QString, outcome);
        QTemporaryDir home;
        WineSetup wine{{choice[0].toStdString(), choice[1].toStdString()}, {}};
        wine.variables.insert(QStringLiteral("HOME"), home.path());
        if (!choice[2].isEmpty())
            wine.variables.insert(QStringLiteral("WINEDEBUG"), choice[2]);
        const auto start = throughWine({"/games/hduke.exe", {}, "/games", {}}, wine);
        QString got = start ? QString() : QString::fromStdString(start.error());
        for (const auto& [name, value] : start ? start->environment : GameStart{}.environment)
            got += QString::fromStdString(" " + name + "=" + value);
        QCOMPARE(got.trimmed(), outcome.replace("~", home.path()));
    }

    // Usermap staging: which files are there after the copy and after the game.
    void usermapStaging_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inUsermaps");
        QTest::addColumn<bool>("inGameFolder");
        QTest::addColumn<QString>("duringGame");
        QTest::addColumn<QString>("afterGame");

        QTest::newRow("absent: copied, then removed") << "my map.map" << true << false << "usermap"
                                                      << "<missing>";
        QTest::newRow("present: overwritten and kept") << "dm1.MAP" << true << true << "usermap"
                                                       << "usermap";
        QTest::newRow("missing from the usermap folder: nothing")
            << "gone.map" << false << false << "<missing>"
            << "<missing>";
        QTest::newRow("missing from usermaps, but in the game folder: kept")
            << "gone.map" << false << true << "old"
            << "old";
    }

    void usermapStaging()
    {
        QFETCH(QString, name);
        QFETCH(bool, inUsermaps);
        QFETCH(bool, inGameFolder);
        QFETCH(QString, duringGame);
        QFETCH(QString, afterGame);

        QTemporaryDir root;
        const fs::path base = root.path().toStdString();
        fs::create_directories(base / "game");
        fs::create_directories(base / "usermaps");
        const std::string file = name.toStdString();
        if (inUsermaps)
            writeFile(base / "usermaps" / file, "usermap");
        if (inGameFolder)
            writeFile(base / "game" / file, "old");

        GameFolder folder(base / "game");
        folder.stageUsermap(base / "usermaps", file);
        QCOMPARE(contentsOf(base / "game" / file), duringGame);
        folder.removeStagedUsermap();
        QCOMPARE(contentsOf(base / "game" / file), afterGame);
        QVERIFY(fs::exists(base / "usermaps" / file) == inUsermaps);
    }

    // A map name from a peer that is not a plain file name is never copied or deleted.
    void usermapNameThatIsAPathIsLeftAlone()
    {
        QTemporaryDir root;
        const fs::path base = root.path().toStdString();
        fs::create_directories(base / "game");
        fs::create_directories(base / "usermaps" / "sub");
        writeFile(base / "usermaps" / "sub" / "x.map", "usermap");
        writeFile(base / "victim.map", "keep me");

        GameFolder folder(base / "game");
        folder.stageUsermap(base / "usermaps", "../victim.map");
        folder.stageUsermap(base / "usermaps", "sub/x.map");
        QVERIFY(folder.stagedUsermap().empty());
        folder.removeStagedUsermap();
        QCOMPARE(contentsOf(base / "victim.map"), QStringLiteral("keep me"));
        QVERIFY(fs::is_empty(base / "game"));
    }

    // A marker that cannot be taken away stays as it is and is not written over after.
    void markerThatCannotBeRemoved()
    {
        QTemporaryDir game;
        const fs::path marker = fs::path(game.path().toStdString()) / "kesh.txt";
        fs::create_directories(marker / "inside");
        GameFolder folder(game.path().toStdString());
        QCOMPARE(folder.removeMarker(), GameFolder::MarkerRemoval::CannotRemove);
        QVERIFY(!folder.markerRemoved());
        QVERIFY(folder.restoreMarker().ok());
        QVERIFY(fs::is_directory(marker / "inside"));
    }

    void fileErrorsCarryTheFullPath()
    {
        QTemporaryDir root;
        const fs::path missing = fs::path(root.path().toStdString()) / "no such game";
        GameFolder folder(missing);
        const auto written = folder.writePeerList("mode peer\r\n");
        QVERIFY(!written.ok());
        QCOMPARE(
            QString::fromStdString(written.error()),
            QString::fromStdString("Unable to write to " + (missing / "netlist.txt").string()));
    }
};

QTEST_GUILESS_MAIN(TestGameProcess)
#include "tst_gameprocess.moc"
