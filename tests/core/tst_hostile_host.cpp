// A room host that attacks its member: a scripted host on loopback against the real room
// client. The client must not crash, must keep its memory bounded and its event loop
// answering, must never put a file outside its usermaps folder, and must show the honest
// lists that follow the attack.
#include "base/roomhost/RoomCodec.h"
#include "base/roomhost/RoomSettings.h"
#include "core/common/Environment.h"
#include "core/roomclient/RoomClient.h"
#include "support/HostileLab.h"
#include "support/ScriptedServer.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;
using namespace vantrell::core;

namespace {

QByteArray crlf(const std::string& line)
{
    return QByteArray::fromStdString(line) + "\r\n";
}

std::string settingsWithMap(const std::string& map)
{
    std::vector<roomhost::SettingRow> rows(
        vantrell::sourcePortRow(vantrell::SourcePort::HDuke).settingsRows, {"Name", "Value"});
    rows[roomhost::kGameRow].value = "Duke Nukem 3D";
    rows[roomhost::kSourcePortRow].value = "hDuke";
    rows[roomhost::kMapRow].value = map;
    // Written by hand: the encoder would change the "\" and ":" of a hostile map name.
    std::string line = "RoomSettingsUpdate~" + std::to_string(rows.size());
    for (const auto& row : rows)
        line += "~" + row.name + "~" + row.value;
    return line + "~"; // a list line ends with its separator
}

std::string memberList(int announced, int present)
{
    std::string line = "UserRoomSettingsUpdate~" + std::to_string(announced);
    for (int i = 0; i < present && line.size() < 16300; ++i)
        line += "~1~n" + std::to_string(i) + "~o~1.1.1.1~2.2.2.2~ ~" + std::to_string(i) + "~1";
    return line + "~";
}

QStringList filesUnder(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    return out;
}

} // namespace

class TestHostileHost : public QObject
{
    Q_OBJECT

private slots:
    void memberSurvivesTheHost_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("memberLeaves"); // the attack ends the stay
        QTest::newRow("a million rows announced")
            << crlf(memberList(1000000, 2000)) + crlf(memberList(2147483647, 3)) << false;
        QTest::newRow("counts out of range")
            << crlf(memberList(-1, 3)) + crlf(memberList(0, 3)) +
                   crlf("UserRoomSettingsUpdate~2147483648~1~a") +
                   crlf("UserRoomSettingsUpdate~99999999999") +
                   crlf("RoomSettingsUpdate~99999999999~a~b") + crlf("RoomSettingsUpdate~-1") +
                   crlf("YourRemotePortIs~99999999999") + crlf("TCPPing~-1")
            << false;
        QTest::newRow("maps that leave the usermaps folder")
            << crlf(settingsWithMap("../../x.map")) + crlf(settingsWithMap("/etc/x.map")) +
                   crlf(settingsWithMap("C:\\x.map")) + crlf(settingsWithMap("..\\x.map")) +
                   crlf(settingsWithMap(std::string(5000, 'm') + ".map"))
            << false;
        QByteArray binary(128 * 1024, '\0');
        for (qsizetype i = 0; i < binary.size(); ++i)
            binary[i] = static_cast<char>((i * 7919) >> 3);
        for (qsizetype i = 0; i < binary.size(); i += 997)
            binary[i] = '\n';
        QTest::newRow("binary bytes and NULs") << binary + "\r\n" << false;
        QTest::newRow("1 MiB without a line end") << QByteArray(1 << 20, 'x') << true;
    }

    void memberSurvivesTheHost()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, memberLeaves);

        QTemporaryDir root;
        const QString usermaps = root.filePath(QStringLiteral("a/b/usermaps"));
        QVERIFY(QDir().mkpath(usermaps));
        ScriptedServer host;
        Environment env;
        env.timing = Timing(20.0);
        env.fileServerPort = host.port(); // nobody serves files there: the check fails fast
        RoomClient client(env, IcmpMethod::Disabled);
        client.setUsermapFolders([&](const std::string&) { return usermaps.toStdString(); });
        int leaves = 0;
        connect(&client, &RoomClient::leaveRequested, this, [&] { ++leaves; });
        client.open({"127.0.0.1", std::to_string(host.port()), "hDuke"},
                    {"Ann", "Linux 64 bit ", "127.0.0.1", "23513"});
        QTRY_VERIFY_WITH_TIMEOUT(host.lines().contains(QStringLiteral("ClientRequestsRemotePort")),
                                 10000);

        const long rssBefore = residentKiB();
        LoopLatencyProbe probe;
        probe.start();
        host.sendRaw(bytes);
        if (memberLeaves) {
            QTRY_COMPARE_WITH_TIMEOUT(leaves, 1, 10000);
        } else {
            host.sendRaw(crlf(settingsWithMap("E1L1")) + crlf(memberList(2, 2)) +
                         crlf("RoomChat~Host~after"));
            QTRY_VERIFY_WITH_TIMEOUT(
                client.memberRows().size() == 2 &&
                    client.settingsRows().size() ==
                        vantrell::sourcePortRow(vantrell::SourcePort::HDuke).settingsRows &&
                    client.settingsRows()[roomhost::kMapRow].value == "E1L1",
                10000);
            QCOMPARE(leaves, 0);
            QVERIFY(client.isConnected());
        }
        QTest::qWait(200);
        probe.stop();
        const long grownKiB = residentKiB() - rssBefore;
        qInfo("%s: resident memory %+ld KiB, worst event-loop delay %lld ms",
              QTest::currentDataTag(), grownKiB, probe.worstLateMs());
        if (kResidentMemoryTellsWhatIsKept)
            QVERIFY2(grownKiB < 32 * 1024, qPrintable(QString::number(grownKiB)));
        QVERIFY2(probe.worstLateMs() < 2000, qPrintable(QString::number(probe.worstLateMs())));
        // Nothing was written anywhere: not beside the usermaps, not above them.
        client.close();
        QCOMPARE(filesUnder(root.path()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestHostileHost)
#include "tst_hostile_host.moc"
