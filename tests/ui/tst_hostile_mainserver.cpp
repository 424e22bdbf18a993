// A main server that attacks the lobby: the real program against a scripted server on
// loopback. After every attack the program must still read honest lines, show them, keep
// its memory bounded and its window thread answering.
#include "ProgramFixture.h"
#include "support/HostileLab.h"
#include "support/ScriptedServer.h"
#include "ui/lobby/RoomListView.h"
#include "ui/lobby/TForm1.h"
#include "ui/settings/TForm3.h"

#include <random>

#include <QLineEdit>
#include <QTest>

using namespace vantrell;

namespace {

QByteArray record(const QByteArray& id, const QByteArray& flag = "0")
{
    return "Host~127.0.0.9~" + flag + "~Room " + id + "~Duke Nukem 3D~hDuke~1/8~E1L1~DukeMatch~" +
           "Let's Rock~No~" + id + "~8501";
}

QByteArray roomsLine(int count, const QList<QByteArray>& records)
{
    QByteArray line = "NewRoomsListUpdate~" + QByteArray::number(count);
    for (const auto& r : records)
        line += "~" + r;
    return line;
}

// The longest room list line a lobby accepts: as many small records as fit, the count
// claiming far more.
QByteArray fullLengthRoomsLine(const QByteArray& count)
{
    QByteArray line = "NewRoomsListUpdate~" + count;
    for (int i = 0; line.size() < 16384; ++i)
        line += "~~1.1.1.1~" + QByteArray(i % 3 == 0 ? "1" : "0") + "~r~g~p~1/2~m~~~No~" +
                QByteArray::number(i) + "~1";
    line.truncate(16384);
    return line;
}

QByteArray crlf(const QByteArray& line)
{
    return line + "\r\n";
}

} // namespace

class TestHostileMainServer : public QObject
{
    Q_OBJECT

private slots:
    void lobbyKeepsServingAfterAttack_data()
    {
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("16384-character room list, count 10000")
            << crlf(fullLengthRoomsLine("10000"));
        QTest::newRow("room list counts out of range")
            << crlf(fullLengthRoomsLine("2147483648")) + crlf(fullLengthRoomsLine("99999999999")) +
                   crlf(fullLengthRoomsLine("-1")) + crlf("NewRoomsListUpdate~") +
                   crlf("NewRoomsListUpdate");
        QTest::newRow("malformed private flags") << crlf(
            roomsLine(7, {record("1", "2"), record("2", ""), record("3", "-1"), record("4", "01"),
                          record("5", "1 "), record("6", "\x01"), record("7", "1")}));
        QTest::newRow("unterminated quote in the user list")
            << crlf("UserListUpdate,3,\"Ann,Bob") + crlf("UserListUpdate,2,\"") +
                   crlf("UserListUpdate,99999999999,\"\"\"") +
                   crlf("UpdateTimedUserList~2147483648~Ann");
        QByteArray manyLines;
        for (int i = 0; i < 10000; ++i)
            manyLines += crlf(roomsLine(1, {record(QByteArray::number(i))}));
        QTest::newRow("ten thousand room list lines at once") << manyLines;
        std::mt19937 random(7);
        QByteArray binary(256 * 1024, '\0');
        for (auto& b : binary)
            b = static_cast<char>(random());
        for (qsizetype i = 0; i < binary.size(); i += 1 + random() % 4000)
            binary[i] = '\n';
        QTest::newRow("binary bytes and NULs") << binary + "\r\n";
    }

    void lobbyKeepsServingAfterAttack()
    {
        QFETCH(QByteArray, bytes);
        ScriptedServer server;
        ProgramFixture program(server.port());
        program.start();
        program.form3->findChild<QLineEdit*>(QStringLiteral("lobbyNickname"))->setText("Ann");
        program.form1->connectClick();
        QTRY_VERIFY_WITH_TIMEOUT(server.lines().size() >= 2, 10000);

        const long rssBefore = residentKiB();
        LoopLatencyProbe probe;
        probe.start();
        server.sendRaw(bytes);
        server.sendRaw(crlf(roomsLine(1, {record("42")})) + crlf("Globalchat~Honest~after"));
        QTRY_VERIFY_WITH_TIMEOUT(
            program.form1->lobbyLogLines().contains(QStringLiteral("Honest: after")), 30000);
        QTest::qWait(200); // the window keeps its pace after the attack too
        probe.stop();
        const long grownKiB = residentKiB() - rssBefore;

        QVERIFY(program.form1->isConnected());
        const auto rooms = program.form1->roomList()->shownRooms();
        QCOMPARE(rooms.size(), std::size_t(1));
        QCOMPARE(rooms.front().id, std::string("42"));
        qInfo("%s: resident memory %+ld KiB, worst event-loop delay %lld ms over %d ticks",
              QTest::currentDataTag(), grownKiB, probe.worstLateMs(), probe.ticks());
        if (kResidentMemoryTellsWhatIsKept)
            QVERIFY2(grownKiB < 64 * 1024, qPrintable(QString::number(grownKiB)));
        QVERIFY2(probe.worstLateMs() < 3000, qPrintable(QString::number(probe.worstLateMs())));
    }

    // What an attack leaves on screen is the server's business, but never more than fits:
    // the flags that are not "1" or "0" drop their rooms and nothing else.
    void malformedFlagsDropOnlyTheirRooms()
    {
        ScriptedServer server;
        ProgramFixture program(server.port());
        program.start();
        program.form1->connectClick();
        QTRY_VERIFY_WITH_TIMEOUT(server.lines().size() >= 2, 10000);
        server.sendRaw(crlf(roomsLine(5, {record("1", "2"), record("2", "1"), record("3", ""),
                                          record("4", "0"), record("5", "00")})));
        QTRY_COMPARE(program.form1->roomList()->shownRooms().size(), std::size_t(2));
        QStringList ids;
        for (const auto& room : program.form1->roomList()->shownRooms())
            ids << QString::fromStdString(room.id);
        ids.sort();
        QCOMPARE(ids, (QStringList{"2", "4"}));
    }
};

QTEST_MAIN(TestHostileMainServer)
#include "tst_hostile_mainserver.moc"
