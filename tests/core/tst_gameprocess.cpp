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

namespace {

// A DOS header whose e_lfanew (at 0x3C, little-endian) says `offset`, followed by `tail`.
std::string dosHeader(std::uint32_t offset, const std::string& tail)
{
    std::string bytes(0x40, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i)
        bytes[std::size_t(0x3C + i)] = char((offset >> (8 * i)) & 0xFF);
    return bytes + tail;
}

} // namespace

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

    // A Windows program is told by its content, whatever its name; anything cut short is not.
    void windowsProgramByContent_data()
    {
        using namespace std::string_literals;
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("windows");
        const auto row = [](const char* name, const std::string& bytes, bool windows) {
            QTest::newRow(name) << QByteArray::fromStdString(bytes) << windows;
        };
        row("PE image", dosHeader(0x40, "PE\0\0"s), true);
        row("shell script named .exe", "#!/bin/sh\nexit 0\n", false);
        row("empty file", "", false);
        row("cut inside the DOS header", dosHeader(0x40, "PE\0\0"s).substr(0, 0x3E), false);
        row("e_lfanew past the end", dosHeader(0x1000, "PE\0\0"s), false);
        row("e_lfanew at the top of the range", dosHeader(0xFFFFFFFF, "PE\0\0"s), false);
        row("signature cut short", dosHeader(0x40, "PE\0"s), false);
        row("DOS program (NE)", dosHeader(0x40, "NE\0\0"s), false);
        row("no MZ", "ZM" + dosHeader(0x40, "PE\0\0"s).substr(2), false);
    }

    void windowsProgramByContent()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, windows);
        QTemporaryDir game;
        const fs::path path = fs::path(game.path().toStdString()) / "hduke.exe";
        writeFile(path, bytes.toStdString());
        QCOMPARE(isWindowsProgram(path.string()), windows);
    }

    // How a Windows program is handed to Wine, and what stops it, with a stand-in "wine" on
    // a search path of the test's own.
    void wineStart_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("message");

        const QStringList quiet{"WINEDEBUG=-all"};
        QTest::newRow("wine on the search path")
            << ""
            << "" << QStringList{"PATH=/nowhere::<bin>"} << quiet << "";
        QTest::newRow("the player's own WINEDEBUG and WINEPREFIX")
            << ""
            << "" << QStringList{"PATH=<bin>", "WINEDEBUG=+file", "WINEPREFIX=/p"} << QStringList{}
            << "";
        QTest::newRow("a command by name, a prefix in the home folder")
            << "wine"
            << "~/duke" << QStringList{"PATH=<bin>", "HOME=<root>"}
            << QStringList{"WINEPREFIX=<root>/duke", "WINEDEBUG=-all"} << "";
        QTest::newRow("a command that is not there")
            << "<root>/wine-9/bin/wine"
            << "" << QStringList{"PATH=<bin>"} << QStringList{}
            << "\"<game>/hduke.exe\" is a Windows program, to be started with the Wine command "
               "\"<root>/wine-9/bin/wine\", which cannot be started (No such file or "
               "directory). Correct the Wine command under Settings, Source Ports, or empty it "
               "to use Debian's \"wine\" package.";
        QTest::newRow("a prefix below a file")
            << ""
            << "<game>/hduke.exe/prefix" << QStringList{"PATH=<bin>"} << QStringList{}
            << "The Wine prefix \"<game>/hduke.exe/prefix\" cannot be made (Not a directory), "
               "so \"<game>/hduke.exe\", a Windows program, cannot be started. Choose another "
               "Wine prefix under Settings, Source Ports.";
    }

    void wineStart()
    {
        QFETCH(QString, command);
        QFETCH(QString, prefix);
        QFETCH(QStringList, variables);
        QFETCH(QStringList, environment);
        QFETCH(QString, message);
        QTemporaryDir root;
        const fs::path rootPath = root.path().toStdString();
        const auto fill = [&](QString text) {
            return text.replace(QStringLiteral("<root>"), root.path())
                .replace(QStringLiteral("<bin>"), root.filePath(QStringLiteral("bin")))
                .replace(QStringLiteral("<game>"), root.filePath(QStringLiteral("game")));
        };
        fs::create_directories(rootPath / "bin");
        fs::create_directories(rootPath / "game");
        writeFile(rootPath / "bin" / "wine", "#!/bin/sh\n");
        fs::permissions(rootPath / "bin" / "wine", fs::perms::owner_all);
        writeFile(rootPath / "game" / "hduke.exe", dosHeader(0x40, "PE"));

        WineSetup wine;
        wine.settings = {fill(command).toStdString(), fill(prefix).toStdString()};
        for (const QString& variable : variables)
            wine.variables.insert(variable.section('=', 0, 0), fill(variable.section('=', 1)));
        const std::string game = (rootPath / "game").string();
        const std::string program = game + "/hduke.exe";
        const auto start = throughWine({program, {"-map", "my map.map"}, game, {}}, wine);
        if (!message.isEmpty()) {
            QVERIFY(!start);
            QCOMPARE(QString::fromStdString(start.error()), fill(message));
            return;
        }
        QVERIFY2(start, start ? "" : start.error().c_str());
        QCOMPARE(start->executable, (rootPath / "bin" / "wine").string());
        QCOMPARE(start->arguments, (std::vector<std::string>{program, "-map", "my map.map"}));
        QCOMPARE(start->workingFolder, game);
        QStringList set;
        for (const auto& [name, value] : start->environment) {
            set << QString::fromStdString(name + "=" + value);
            if (name == "WINEPREFIX")
                QVERIFY(fs::is_directory(value));
        }
        QCOMPARE(set, fill(environment.join('|')).split('|', Qt::SkipEmptyParts));
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
