#include "base/settings/ConfigFile.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using vantrell::settings::ConfigFile;

namespace {

std::filesystem::path folderOf(const QTemporaryDir& dir)
{
    return std::filesystem::path(dir.path().toStdString());
}

void writeRaw(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string readRaw(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

QByteArray qt(const std::string& s)
{
    return QByteArray::fromStdString(s);
}

const std::string kLong(3000, 'p');

} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void missingFileGivesDefaultsAndFirstWriteCreatesIt()
    {
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        QCOMPARE(cfg.path(), folderOf(dir) / "vantrel.cfg");
        QVERIFY(!cfg.exists());
        QCOMPARE(cfg.readString("Nicknames", "Launcher Nickname", "Build-game player"),
                 std::string("Build-game player"));
        QCOMPARE(cfg.readBool("UPnP", "UPnP Checkbox", true), true);
        const auto size = cfg.restoreSize("Window Size");
        QVERIFY(!size.height && !size.width);
        QVERIFY(!cfg.exists()); // reading never creates the file

        QVERIFY(cfg.writeStrings("Configured Ports", {{"UDPPort", "23513"}, {"TCPPort", "8501"}}));
        QVERIFY(cfg.writeBool("UPnP", "UPnP Checkbox", true));
        QVERIFY(cfg.exists());
        QCOMPARE(qt(readRaw(cfg.path())),
                 QByteArray("[Configured Ports]\r\nUDPPort=23513\r\nTCPPort=8501\r\n"
                            "[UPnP]\r\nUPnP Checkbox=1\r\n"));
    }

    void readString_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray gamePath = "[GamePath]\r\nnBlood Path=C:\\nblood\\nblood.exe\r\n"
                                    "HDUKE PATH=C:\\hduke\\hduke.exe\r\n";
        QTest::newRow("key case differs from the writer's")
            << gamePath << QByteArray("GamePath") << QByteArray("NBlood Path")
            << QByteArray("C:\\nblood\\nblood.exe");
        QTest::newRow("key stored in capitals")
            << gamePath << QByteArray("GamePath") << QByteArray("hDuke Path")
            << QByteArray("C:\\hduke\\hduke.exe");
        QTest::newRow("section case differs")
            << gamePath << QByteArray("GAMEPATH") << QByteArray("hduke path")
            << QByteArray("C:\\hduke\\hduke.exe");
        QTest::newRow("missing key") << gamePath << QByteArray("GamePath")
                                     << QByteArray("VoidSW Path") << QByteArray("<default>");
        QTest::newRow("missing section") << gamePath << QByteArray("UPnP")
                                         << QByteArray("nBlood Path") << QByteArray("<default>");
        QTest::newRow("key of another section")
            << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n") << QByteArray("B") << QByteArray("x")
            << QByteArray("<default>");
        QTest::newRow("entry before any section is no entry")
            << QByteArray("x=0\r\n[A]\r\ny=1\r\n") << QByteArray("A") << QByteArray("x")
            << QByteArray("<default>");
        QTest::newRow("blanks around key and value trimmed")
            << QByteArray("[ A ]\r\n \t key \t= \t some value \t\r\n") << QByteArray("a")
            << QByteArray("KEY") << QByteArray("some value");
        QTest::newRow("value after the first =")
            << QByteArray("[A]\r\nk=b=c\r\n") << QByteArray("A") << QByteArray("k")
            << QByteArray("b=c");
        QTest::newRow("empty value is not the default")
            << QByteArray("[A]\r\nk=\r\n") << QByteArray("A") << QByteArray("k") << QByteArray();
        QTest::newRow("LF-only file") << QByteArray("[A]\nk=v\n[B]\nk=w") << QByteArray("B")
                                      << QByteArray("k") << QByteArray("w");
        QTest::newRow("first of two entries wins")
            << QByteArray("[A]\r\nk=1\r\nK=2\r\n") << QByteArray("A") << QByteArray("k")
            << QByteArray("1");
        QTest::newRow("commented-out key is not the key")
            << QByteArray("[A]\r\n;k=1\r\n") << QByteArray("A") << QByteArray("k")
            << QByteArray("<default>");
        QTest::newRow("section named again later")
            << QByteArray("[A]\r\nx=1\r\n[B]\r\n[a]\r\ny=2\r\n") << QByteArray("A")
            << QByteArray("y") << QByteArray("2");
        QTest::newRow("byte order mark before the first section")
            << QByteArray("\xEF\xBB\xBF[A]\r\nk=v\r\n") << QByteArray("A") << QByteArray("k")
            << QByteArray("v");
        QTest::newRow("long value cut to 2047")
            << QByteArray("[A]\r\nk=") + QByteArray(3000, 'x') + "\r\n"
            << QByteArray("A") << QByteArray("k") << QByteArray(2047, 'x');
        // Two-byte characters: the cut counts characters and never splits one.
        QByteArray umlauts;
        for (int i = 0; i < 2100; ++i)
            umlauts += "\xC3\xA4";
        QTest::newRow("long value cut at a character")
            << QByteArray("[A]\r\nk=") + umlauts + "\r\n"
            << QByteArray("A") << QByteArray("k") << umlauts.left(2 * 2047);
    }
    void readString()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        writeRaw(cfg.path(), file.toStdString());
        QCOMPARE(qt(cfg.readString(section.toStdString(), key.toStdString(), "<default>")),
                 expected);
    }

    void readBool_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("expected"); // 0 false, 1 true, -1 the caller's default
        QTest::newRow("1") << QByteArray("b=1") << 1;
        QTest::newRow("0") << QByteArray("b=0") << 0;
        QTest::newRow("other decimal") << QByteArray("b=42") << 1;
        QTest::newRow("negative") << QByteArray("b=-1") << 1;
        QTest::newRow("0x hex non-zero") << QByteArray("b=0x10") << 1;
        QTest::newRow("0x hex zero") << QByteArray("b=0x0") << 0;
        QTest::newRow("$ hex non-zero") << QByteArray("b=$a") << 1;
        QTest::newRow("$ hex zero") << QByteArray("b=$00") << 0;
        QTest::newRow("word") << QByteArray("b=true") << -1;
        QTest::newRow("trailing garbage") << QByteArray("b=1x") << -1;
        QTest::newRow("prefix alone") << QByteArray("b=0x") << -1;
        QTest::newRow("bad hex digit") << QByteArray("b=$g") << -1;
        QTest::newRow("empty") << QByteArray("b=") << -1;
        QTest::newRow("too big") << QByteArray("b=99999999999999999999") << -1;
        QTest::newRow("missing") << QByteArray("other=1") << -1;
    }
    void readBool()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, expected);
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        writeRaw(cfg.path(), "[GamePath]\r\n" + line.toStdString() + "\r\n");
        for (bool defaultValue : {false, true}) {
            const bool want = expected < 0 ? defaultValue : expected == 1;
            QCOMPARE(cfg.readBool("GamePath", "B", defaultValue), want);
        }
    }

    void restoreSize_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<int>("height"); // -1: not applied
        QTest::addColumn<int>("width");
        QTest::newRow("both") << QByteArray("Main height=600\r\nMain width=800") << 600 << 800;
        QTest::newRow("bad height stops before the width")
            << QByteArray("Main height=tall\r\nMain width=800") << -1 << -1;
        QTest::newRow("missing height") << QByteArray("Main width=800") << -1 << -1;
        QTest::newRow("empty width keeps the height")
            << QByteArray("Main height=600\r\nMain width=") << 600 << -1;
        QTest::newRow("missing width keeps the height")
            << QByteArray("Main height=600") << 600 << -1;
        QTest::newRow("out of range height")
            << QByteArray("Main height=99999999999\r\nMain width=800") << -1 << -1;
    }
    void restoreSize()
    {
        QFETCH(QByteArray, entries);
        QFETCH(int, height);
        QFETCH(int, width);
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        writeRaw(cfg.path(), "[Window Size]\r\n" + entries.toStdString() + "\r\n");
        const auto size = cfg.restoreSize("window size");
        QCOMPARE(size.height.value_or(-1), height);
        QCOMPARE(size.width.value_or(-1), width);
    }

    void saveSizeRoundTrips()
    {
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        QVERIFY(cfg.saveSize("Host Room Window Size", 480, 1024));
        QVERIFY(cfg.saveSize("Client Room Window Size", 300, 400));
        const auto host = cfg.restoreSize("Host Room Window Size");
        QCOMPARE(host.height.value_or(-1), 480);
        QCOMPARE(host.width.value_or(-1), 1024);
        QCOMPARE(cfg.readString("Client Room Window Size", "Main width", ""), std::string("400"));
    }

    void writesKeepTheLayout_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after");

        const QByteArray twoSections = "; the player's notes\r\n"
                                       "[Nicknames]\r\n"
                                       "Launcher Nickname=Ann\r\n"
                                       "garbage without equals\r\n"
                                       "\r\n"
                                       "[UPnP]\r\n"
                                       "UPnP Checkbox=1\r\n";
        QTest::newRow("replace in place")
            << twoSections << QByteArray("nicknames") << QByteArray("launcher nickname")
            << QByteArray("Bob")
            << QByteArray("; the player's notes\r\n[Nicknames]\r\nlauncher nickname=Bob\r\n"
                          "garbage without equals\r\n\r\n[UPnP]\r\nUPnP Checkbox=1\r\n");
        QTest::newRow("new key at the end of its section, not of the file")
            << twoSections << QByteArray("Nicknames") << QByteArray("In-Game Nickname")
            << QByteArray("BuildGamer")
            << QByteArray("; the player's notes\r\n[Nicknames]\r\nLauncher Nickname=Ann\r\n"
                          "garbage without equals\r\nIn-Game Nickname=BuildGamer\r\n\r\n"
                          "[UPnP]\r\nUPnP Checkbox=1\r\n");
        QTest::newRow("new section at the end of the file")
            << twoSections << QByteArray("Window Size") << QByteArray("Main height")
            << QByteArray("600") << twoSections + "[Window Size]\r\nMain height=600\r\n";
        QTest::newRow("empty section gets the key under its header")
            << QByteArray("[A]\r\n[B]\r\nx=1\r\n") << QByteArray("A") << QByteArray("k")
            << QByteArray("v") << QByteArray("[A]\r\nk=v\r\n[B]\r\nx=1\r\n");
        QTest::newRow("LF-only file is rewritten with CR LF, lines kept")
            << QByteArray("[A]\n  odd line  \nk=1") << QByteArray("A") << QByteArray("k")
            << QByteArray("2") << QByteArray("[A]\r\n  odd line  \r\nk=2\r\n");
        QTest::newRow("byte order mark kept")
            << QByteArray("\xEF\xBB\xBF[A]\r\nk=1\r\n") << QByteArray("A") << QByteArray("k")
            << QByteArray("2") << QByteArray("\xEF\xBB\xBF[A]\r\nk=2\r\n");
        QTest::newRow("line breaks in a value cannot forge entries")
            << QByteArray("[A]\r\n") << QByteArray("A") << QByteArray("k")
            << QByteArray("x\r\n[UPnP]\nUPnP Checkbox=0")
            << QByteArray("[A]\r\nk=x  [UPnP] UPnP Checkbox=0\r\n");
    }
    void writesKeepTheLayout()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        writeRaw(cfg.path(), before.toStdString());
        QVERIFY(cfg.writeString(section.toStdString(), key.toStdString(), value.toStdString()));
        QCOMPARE(qt(readRaw(cfg.path())), after);
    }

    void savingTwiceKeepsOneEntryPerKeyInFirstOrder()
    {
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        QVERIFY(cfg.writeBool("UPnP", "UPnP Checkbox", true));
        const auto save = [&](const std::string& tag) {
            return cfg.writeStrings("GamePath", {{"EDuke32-OldMP Checkbox", "1"},
                                                 {"EDuke32-OldMP Path", "old" + tag},
                                                 {"hDuke Checkbox", "0"},
                                                 {"hDuke Path", "hd" + tag},
                                                 {"nBlood Checkbox", "1"},
                                                 {"nBlood Path", "nb" + tag}});
        };
        QVERIFY(save("1"));
        QVERIFY(save("2"));
        QCOMPARE(qt(readRaw(cfg.path())),
                 QByteArray("[UPnP]\r\nUPnP Checkbox=1\r\n[GamePath]\r\n"
                            "EDuke32-OldMP Checkbox=1\r\nEDuke32-OldMP Path=old2\r\n"
                            "hDuke Checkbox=0\r\nhDuke Path=hd2\r\n"
                            "nBlood Checkbox=1\r\nnBlood Path=nb2\r\n"));
        QCOMPARE(cfg.readString("GamePath", "NBlood Path", ""), std::string("nb2"));
    }

    // A save that changes nothing leaves the file alone: a write replaces it by a new one.
    void unchangedSaveKeepsTheFile()
    {
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        const auto inode = [&] {
            struct stat info
            {
            };
            return ::stat(cfg.path().c_str(), &info) == 0 ? info.st_ino : ino_t(0);
        };
        QVERIFY(cfg.writeString("Nicknames", "Launcher Nickname", "Ann"));
        const ino_t first = inode();
        QVERIFY(first != 0);
        QVERIFY(cfg.writeString("Nicknames", "Launcher Nickname", "Ann"));
        QCOMPARE(inode(), first);
        QVERIFY(cfg.writeString("Nicknames", "Launcher Nickname", "Bob"));
        QVERIFY(inode() != first);
        QCOMPARE(cfg.readString("Nicknames", "Launcher Nickname", ""), std::string("Bob"));
    }

    void longValueIsWrittenWhole()
    {
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        QVERIFY(cfg.writeString("A", "k", kLong));
        QCOMPARE(qt(readRaw(cfg.path())), qt("[A]\r\nk=" + kLong + "\r\n"));
        QCOMPARE(cfg.readString("A", "k", "").size(), ConfigFile::kMaxValueLength);
    }

    void writeFailureNamesTheFullPath()
    {
        QTemporaryDir dir;
        // A folder that is not there, and a file where the folder should be.
        const auto missing = folderOf(dir) / "no such folder";
        const auto notAFolder = folderOf(dir) / "plain file";
        writeRaw(notAFolder, "x");
        for (const auto& folder : {missing, notAFolder}) {
            ConfigFile cfg(folder);
            const auto result = cfg.writeString("UPnP", "UPnP Checkbox", "1");
            QVERIFY(!result);
            QCOMPARE(qt(result.error()),
                     qt("Unable to write to " + folder.string() + "/vantrel.cfg"));
            QVERIFY(!cfg.saveSize("Window Size", 1, 2));
        }

        // A relative folder is reported by its full path too.
        const auto here = std::filesystem::current_path();
        std::filesystem::current_path(folderOf(dir));
        const auto result = ConfigFile("no such folder").writeBool("UPnP", "UPnP Checkbox", true);
        std::filesystem::current_path(here);
        QVERIFY(!result);
        QCOMPARE(qt(result.error()), qt("Unable to write to " + missing.string() + "/vantrel.cfg"));
    }

    void unreadableFileIsNotReplaced()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        QVERIFY(cfg.writeString("GamePath", "hDuke Path", "C:\\hduke.exe"));
        std::filesystem::permissions(cfg.path(), std::filesystem::perms::none);
        const auto result = cfg.writeString("UPnP", "UPnP Checkbox", "1");
        std::filesystem::permissions(cfg.path(), std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::owner_write);
        QVERIFY(!result);
        QCOMPARE(cfg.readString("GamePath", "hDuke Path", ""), std::string("C:\\hduke.exe"));
    }

    // A reader on another thread must only ever see a whole file, never a truncated or
    // half-written one, and no temporary files may stay behind.
    void readersNeverSeeAPartialFile()
    {
        QTemporaryDir dir;
        ConfigFile cfg(folderOf(dir));
        constexpr int kKeys = 40;
        const std::string padding(300, 'v');
        const auto save = [&](int generation) {
            std::vector<std::pair<std::string, std::string>> entries;
            for (int k = 0; k < kKeys; ++k)
                entries.emplace_back("key" + std::to_string(k),
                                     std::to_string(generation) + padding);
            return cfg.writeStrings("Big", entries);
        };
        QVERIFY(save(0));

        std::atomic<bool> done{false};
        std::atomic<int> reads{0};
        std::atomic<bool> failed{false};
        std::string problem; // written by the reader only, read after the join
        std::thread reader([&] {
            while (!done.load() && problem.empty()) {
                const std::string text = readRaw(cfg.path());
                ++reads;
                // Every entry must be there and from the same write.
                std::string generation;
                std::size_t pos = text.find("[Big]\r\n");
                if (pos != 0 || text.size() < 2 || text.substr(text.size() - 2) != "\r\n") {
                    problem = "incomplete file: " + text.substr(0, 80);
                    break;
                }
                for (int k = 0; k < kKeys && problem.empty(); ++k) {
                    const std::string prefix = "key" + std::to_string(k) + "=";
                    const auto at = text.find(prefix);
                    const auto end = text.find(padding + "\r\n", at);
                    if (at == std::string::npos || end == std::string::npos) {
                        problem = "missing " + prefix;
                        break;
                    }
                    const auto value = text.substr(at + prefix.size(), end - at - prefix.size());
                    if (k == 0)
                        generation = value;
                    else if (value != generation)
                        problem = "mixed writes: " + generation + " and " + value;
                }
            }
            failed = !problem.empty();
        });
        bool writesOk = true;
        for (int generation = 1; generation <= 400 && writesOk; ++generation)
            writesOk = bool(save(generation));
        // Give a slow reader the chance to look at least once more.
        const int before = reads.load();
        while (reads.load() < before + 2 && !failed.load())
            std::this_thread::yield();
        done = true;
        reader.join();
        QVERIFY(writesOk);
        QVERIFY2(problem.empty(), problem.c_str());
        QCOMPARE(cfg.readString("big", "KEY39", ""), "400" + padding);

        const auto entries = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(entries, QStringList{"vantrel.cfg"});
    }

    // Each write reads the file, changes it and replaces it; two threads writing different
    // sections must not drop each other's keys.
    void concurrentWritersLoseNothing()
    {
        QTemporaryDir dir;
        const auto folder = folderOf(dir);
        bool okA = true;
        bool okB = true;
        std::thread a([&] {
            ConfigFile cfg(folder);
            for (int i = 1; i <= 300; ++i)
                okA = cfg.writeString("A", "count", std::to_string(i)).ok() && okA;
        });
        std::thread b([&] {
            ConfigFile cfg(folder);
            for (int i = 1; i <= 300; ++i)
                okB = cfg.saveSize("B", i, i).ok() && okB;
        });
        a.join();
        b.join();
        QVERIFY(okA && okB);
        ConfigFile cfg(folder);
        QCOMPARE(cfg.readString("A", "count", ""), std::string("300"));
        QCOMPARE(cfg.restoreSize("B").width.value_or(-1), 300);
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
