// The typed settings groups against a real "vantrel.cfg" in a folder of the test's own.

#include "base/lobby/MainServerAddress.h"
#include "base/settings/MainServerSettings.h"
#include "base/settings/NetworkingSettings.h"
#include "base/settings/SourcePortSettings.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell::settings;

Q_DECLARE_METATYPE(vantrell::settings::ConfigFile::Status)

namespace {

std::filesystem::path folderOf(const QTemporaryDir& dir)
{
    return std::filesystem::path(dir.path().toStdString());
}

void writeRaw(const std::filesystem::path& file, const QByteArray& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes.toStdString();
}

QByteArray readRaw(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return QByteArray::fromStdString(ss.str());
}

// Values unlike the defaults, so a load that resets instead of keeping shows.
NetworkingSettings ownNetworking()
{
    NetworkingSettings values;
    values.udpPort = "30001";
    values.tcpPort = "9001";
    values.lobbyNickname = "Keeper";
    values.inGameNickname = "Kept";
    values.upnp = true;
    return values;
}

SourcePortSettings ownSourcePorts()
{
    SourcePortSettings values;
    values.port(vantrell::SourcePort::HDuke) = {true, "/own/hduke"};
    values.port(vantrell::SourcePort::NBlood) = {true, "/own/nblood"};
    values.usermapsFolders = {"/own/duke", "/own/blood", "/own/sw"};
    return values;
}

const QByteArray kSourcePortFile = "[GamePath]\r\n"
                                   "EDuke32-OldMP Checkbox=0\r\n"
                                   "EDuke32-OldMP Path=\r\n"
                                   "hDuke Checkbox=1\r\n"
                                   "hDuke Path=/games/hduke\r\n"
                                   "nDuke Checkbox=0\r\n"
                                   "nDuke Path=\r\n"
                                   "EDuke32 Checkbox=0\r\n"
                                   "EDuke32 Path=/games/eduke32\r\n"
                                   "nBlood Checkbox=1\r\n"
                                   "nBlood Path=\r\n"
                                   "VoidSW Checkbox=0\r\n"
                                   "VoidSW Path=\r\n"
                                   "[Usermaps Directorys]\r\n"
                                   "Duke3d Usermaps Path=/maps/duke\r\n"
                                   "Blood Usermaps Path=\r\n"
                                   "Shadow Warrior Usermaps Path=/maps/sw\r\n";

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    // A fresh program's values, saved into no file, give the file of a first start: every
    // section, key and default in the order the program has always written them.
    void freshValuesWriteTheFirstStartFile()
    {
        QTemporaryDir dir;
        ConfigFile file(folderOf(dir));
        QVERIFY(NetworkingSettings{}.save(file));
        QCOMPARE(readRaw(file.path()), QByteArray("[Configured Ports]\r\n"
                                                  "UDPPort=23513\r\n"
                                                  "TCPPort=8501\r\n"
                                                  "[Nicknames]\r\n"
                                                  "Launcher Nickname=Build-game player\r\n"
                                                  "In-Game Nickname=BuildGamer\r\n"
                                                  "[UPnP]\r\n"
                                                  "UPnP Checkbox=1\r\n"));

        QTemporaryDir other;
        ConfigFile second(folderOf(other));
        QVERIFY(SourcePortSettings{}.save(second));
        QByteArray expected = kSourcePortFile;
        for (const char* set : {"hDuke Checkbox=1", "nBlood Checkbox=1"})
            expected.replace(set, QByteArray(set).replace('1', '0'));
        for (const char* path : {"/games/hduke", "/games/eduke32", "/maps/duke", "/maps/sw"})
            expected.replace(path, "");
        QCOMPARE(readRaw(second.path()), expected);
    }

    // A file the program wrote, loaded and saved again unchanged, keeps every byte: the
    // keys stay where they are, other sections and keys stay, nothing is added twice.
    void loadThenSaveKeepsTheFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("networking, sections in another order")
            << QByteArray("[UPnP]\r\nUPnP Checkbox=0\r\n"
                          "[Nicknames]\r\nIn-Game Nickname=Duker\r\nLauncher Nickname=Ann\r\n"
                          "[Configured Ports]\r\nTCPPort=\r\nUDPPort=24000\r\n");
        QTest::newRow("networking among other sections")
            << QByteArray("[Window Size]\r\nMain height=600\r\nMain width=800\r\n"
                          "[Configured Ports]\r\nUDPPort=24000\r\n;a note\r\nTCPPort=9000\r\n"
                          "Other=kept\r\n\r\n[Nicknames]\r\nLauncher Nickname=Ann\r\n"
                          "In-Game Nickname=NoNick\r\n[UPnP]\r\nUPnP Checkbox=1\r\n");
        QTest::newRow("source ports as written")
            << QByteArray("[Window Size]\r\nMain height=600\r\n") + kSourcePortFile;
        QTest::newRow("source ports, byte order mark and folders first")
            << QByteArray("\xEF\xBB\xBF[Usermaps Directorys]\r\n"
                          "Shadow Warrior Usermaps Path=C:\\sw\r\nBlood Usermaps Path=\r\n"
                          "Duke3d Usermaps Path=C:\\duke\r\n") +
                   kSourcePortFile.left(kSourcePortFile.indexOf("[Usermaps"));
    }
    void loadThenSaveKeepsTheFile()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        ConfigFile file(folderOf(dir));
        writeRaw(file.path(), contents);
        NetworkingSettings networking;
        SourcePortSettings sourcePorts;
        QCOMPARE(networking.load(file), ConfigFile::Status::Readable);
        QCOMPARE(sourcePorts.load(file), ConfigFile::Status::Readable);
        if (contents.contains("[Configured Ports]"))
            QVERIFY(networking.save(file));
        else
            QVERIFY(sourcePorts.save(file));
        QCOMPARE(readRaw(file.path()), contents);
    }

    // What a load takes from the file: a text key the file lacks keeps its value, a box the
    // file lacks reads as unticked, and no file changes nothing.
    void loadTakesWhatTheFileHolds_data()
    {
        QTest::addColumn<QByteArray>("contents"); // null: no file
        QTest::addColumn<QStringList>("networking");
        QTest::addColumn<QStringList>("sourcePorts");
        const QStringList ownNet = {"30001", "9001", "Keeper", "Kept", "1"};
        const QStringList ownPorts = {"1 /own/hduke", "1 /own/nblood", "/own/duke", "/own/blood"};
        QTest::newRow("no file") << QByteArray() << ownNet << ownPorts;
        QTest::newRow("empty file")
            << QByteArray("") << QStringList{"30001", "9001", "Keeper", "Kept", "0"}
            << QStringList{"0 /own/hduke", "0 /own/nblood", "/own/duke", "/own/blood"};
        QTest::newRow("some keys")
            << QByteArray("[configured ports]\r\ntcpport=7000\r\n[UPnP]\r\nUPnP Checkbox=$1\r\n"
                          "[GamePath]\r\nnBlood Checkbox=0x1\r\nhDuke Path=\r\n"
                          "[Usermaps Directorys]\r\nBlood Usermaps Path= /b \r\n")
            << QStringList{"30001", "7000", "Keeper", "Kept", "1"}
            << QStringList{"0 ", "1 /own/nblood", "/own/duke", "/b"};
        QTest::newRow("box that is no number")
            << QByteArray("[UPnP]\r\nUPnP Checkbox=yes\r\n[GamePath]\r\nhDuke Checkbox=on\r\n")
            << QStringList{"30001", "9001", "Keeper", "Kept", "0"}
            << QStringList{"0 /own/hduke", "0 /own/nblood", "/own/duke", "/own/blood"};
    }
    void loadTakesWhatTheFileHolds()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, networking);
        QFETCH(QStringList, sourcePorts);
        QTemporaryDir dir;
        ConfigFile file(folderOf(dir));
        if (!contents.isNull())
            writeRaw(file.path(), contents);
        NetworkingSettings net = ownNetworking();
        SourcePortSettings ports = ownSourcePorts();
        net.load(file);
        ports.load(file);
        const auto q = [](const std::string& s) { return QString::fromStdString(s); };
        QCOMPARE((QStringList{q(net.udpPort), q(net.tcpPort), q(net.lobbyNickname),
                              q(net.inGameNickname), net.upnp ? "1" : "0"}),
                 networking);
        const auto port = [&](vantrell::SourcePort which) {
            return QString(ports.port(which).enabled ? "1 " : "0 ") + q(ports.port(which).path);
        };
        QCOMPARE((QStringList{port(vantrell::SourcePort::HDuke), port(vantrell::SourcePort::NBlood),
                              q(ports.usermapsFolder(vantrell::Game::Duke3d)),
                              q(ports.usermapsFolder(vantrell::Game::Blood))}),
                 sourcePorts);
        if (contents.isNull())
            QVERIFY(!file.exists()); // reading never creates the file
    }

    // A reader can tell a file it cannot read from no file at all; loading from either
    // changes nothing.
    void unreadableFileIsToldFromMissing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<ConfigFile::Status>("status");
        QTest::newRow("no file") << "none" << ConfigFile::Status::Missing;
        QTest::newRow("no folder") << "no folder" << ConfigFile::Status::Missing;
        QTest::newRow("empty file") << "empty" << ConfigFile::Status::Readable;
        QTest::newRow("folder in its place") << "folder" << ConfigFile::Status::Unreadable;
        QTest::newRow("no read permission") << "write-only" << ConfigFile::Status::Unreadable;
    }
    void unreadableFileIsToldFromMissing()
    {
        QFETCH(QString, kind);
        QFETCH(ConfigFile::Status, status);
        if (kind == "write-only" && ::geteuid() == 0)
            QSKIP("root reads every file");
        QTemporaryDir dir;
        std::filesystem::path folder = folderOf(dir);
        if (kind == "no folder")
            folder /= "absent";
        ConfigFile file(folder);
        const QString path = QString::fromStdString(file.path().string());
        if (kind == "empty" || kind == "write-only")
            writeRaw(file.path(), "");
        if (kind == "write-only")
            QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        if (kind == "folder")
            QVERIFY(QDir().mkpath(path));

        QCOMPARE(file.status(), status);
        NetworkingSettings net = ownNetworking();
        SourcePortSettings ports = ownSourcePorts();
        QCOMPARE(net.load(file), status);
        QCOMPARE(ports.load(file), status);
        if (kind == "folder" || kind.startsWith("no")) {
            QVERIFY(net == ownNetworking());
            QVERIFY(ports == ownSourcePorts());
        }
    }

    // The "Main server:" field and --server: what reads as a server ("host|port"; an empty
    // host is the built-in one), and the error otherwise.
    void mainServerAddressIsRead_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        const auto row = [](const char* text, const QString& read) {
            QTest::newRow(text) << text << read;
        };
        row("  \t ", "|4444");
        row(" lobby.example.org ", "lobby.example.org|4444");
        row("localhost:4445", "localhost|4445");
        row("203.0.113.7:65535", "203.0.113.7|65535");
        row("my_lan-box:1", "my_lan-box|1");
        row("lobby.example.org.:4445", "lobby.example.org.|4445");
        row("host:", "The port after \":\" is missing.");
        row(":4444", "The host name or IPv4 address before \":\" is missing.");
        for (const char* port : {"host:0", "host:99999", "host:-1", "host:+80", "http://x"})
            row(port, "The port after \":\" must be a number from 1 to 65535.");
        for (const char* six : {"[::1]:4444", "::1", "host:1:2"})
            row(six, "IPv6 addresses cannot be used: give a host name or an IPv4 address.");
        for (const char* host : {"my host", "300.1.1.1", "10.1", "a..b", "-a.org", "1.2.3.4.",
                                 "192.168.001.010", "0x7f.1", "0x7f000001", "."})
            row(host, QStringLiteral("\"%1\" is not a host name or an IPv4 address.").arg(host));
    }
    void mainServerAddressIsRead()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        const auto address = vantrell::lobby::parseMainServerAddress(text.toStdString());
        QCOMPARE(address ? QStringLiteral("%1|%2").arg(address->host.c_str()).arg(address->port)
                         : QString::fromStdString(address.error()),
                 read);
    }

    // The chosen main server has a section of its own, written only once there is a choice
    // to write: loading and saving no choice, or a hand-edited one that does not read, keeps
    // every byte.
    void mainServerChoiceIsWrittenOnlyWhenMade()
    {
        QTemporaryDir dir;
        ConfigFile file(folderOf(dir));
        QVERIFY(NetworkingSettings{}.save(file));
        const QByteArray firstStart = readRaw(file.path());
        MainServerSettings choice;
        choice.load(file);
        QVERIFY(choice.save(file));
        QCOMPARE(readRaw(file.path()), firstStart);

        choice.address = "lobby.example.org:4500";
        QVERIFY(choice.save(file));
        QCOMPARE(readRaw(file.path()),
                 firstStart + "[Main Server]\r\nAddress=lobby.example.org:4500\r\n");

        writeRaw(file.path(), firstStart + "[Main Server]\r\nAddress=not a server\r\n");
        choice.load(file);
        QCOMPARE(choice.address, "");
        QVERIFY(choice.save(file));
        QVERIFY(readRaw(file.path()).endsWith("Address=not a server\r\n"));
    }

    // A save that cannot write says so, naming the file, and stops.
    void failedSaveIsReported()
    {
        QTemporaryDir dir;
        ConfigFile file(folderOf(dir) / "absent");
        const auto networking = NetworkingSettings{}.save(file);
        const auto sourcePorts = SourcePortSettings{}.save(file);
        QVERIFY(!networking && !sourcePorts);
        const std::string expected = "Unable to write to " + file.path().string();
        QCOMPARE(networking.error(), expected);
        QCOMPARE(sourcePorts.error(), expected);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
