#include "base/roomhost/MemberList.h"
#include "base/roomhost/PingMath.h"
#include "support/StringLists.h"

#include <QTest>

using namespace vantrell::roomhost;

Q_DECLARE_METATYPE(EchoOutcome::Kind)

namespace {
MemberRow member(const std::string& nick, const std::string& address, const std::string& port)
{
    return MemberList::memberRow({nick, "Linux 64 bit ", "10.0.0.9", "23513"}, address, port);
}

QStringList nicknames(const MemberList& list)
{
    return fieldOf(list.rows(), &MemberRow::nickname);
}
} // namespace

class TestRoomHostLists : public QObject
{
    Q_OBJECT

private slots:
    void echoOutcome_data()
    {
        QTest::addColumn<qint64>("roundTrip");
        QTest::addColumn<EchoOutcome::Kind>("kind");
        QTest::addColumn<QString>("text");
        using K = EchoOutcome::Kind;
        QTest::newRow("0 ms") << qint64(0) << K::Show << "1 ms";
        QTest::newRow("4 ms") << qint64(4) << K::Show << "5 ms";
        QTest::newRow("5 ms leaves the column") << qint64(5) << K::Unchanged << "";
        QTest::newRow("6 ms") << qint64(6) << K::Show << "12 ms";
        QTest::newRow("998 ms") << qint64(998) << K::Show << "1004 ms";
        QTest::newRow("999 ms changes nothing") << qint64(999) << K::Unchanged << "";
        QTest::newRow("1000 ms probes by TCP") << qint64(1000) << K::ProbeByTcp << "";
        QTest::newRow("unanswered (5000) probes by TCP") << qint64(5000) << K::ProbeByTcp << "";
    }
    void echoOutcome()
    {
        QFETCH(qint64, roundTrip);
        QFETCH(EchoOutcome::Kind, kind);
        QFETCH(QString, text);
        const auto outcome = vantrell::roomhost::echoOutcome(roundTrip);
        QCOMPARE(outcome.kind, kind);
        QCOMPARE(QString::fromStdString(outcome.text), text);
    }

    void tcpProbe_data()
    {
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<qint64>("roundup");
        QTest::addColumn<QString>("shown");
        // The counter starts at 1 and a tick falls every 15 ms.
        QTest::newRow("answered at once") << qint64(0) << qint64(1) << "37 ms";
        QTest::newRow("just before the first tick") << qint64(14) << qint64(1) << "37 ms";
        QTest::newRow("one tick") << qint64(15) << qint64(2) << "44 ms";
        QTest::newRow("two ticks") << qint64(30) << qint64(3) << "73 ms";
        QTest::newRow("44 ms is still two ticks") << qint64(44) << qint64(3) << "73 ms";
        QTest::newRow("a second") << qint64(1000) << qint64(67) << "521 ms";
    }
    void tcpProbe()
    {
        QFETCH(qint64, elapsed);
        QFETCH(qint64, roundup);
        QFETCH(QString, shown);
        QCOMPARE(TCPPingRoundup(elapsed), roundup);
        QCOMPARE(QString::fromStdString(pingText(tcpPingMs(roundup))), shown);
    }

    void hostRowLeadsAndIsNeverTouched()
    {
        MemberList list(MemberList::hostRow("Host", "Linux 64 bit ", "10.0.0.1", "", "23513"));
        QCOMPARE(list.rows()[0].readyCode, std::string("0"));
        QCOMPARE(list.rows()[0].remoteAddress, std::string(" "));
        QCOMPARE(list.rows()[0].remotePort, std::string());
        // The host's row has an empty address-port pair that no event can name.
        QCOMPARE(list.removeConnection(" ", ""), std::size_t(0));
        QCOMPARE(list.setReadyCode(" ", "", "1"), std::size_t(0));
        QVERIFY(!list.removeRow(0));
        QCOMPARE(list.size(), std::size_t(1));
        list.setHostRemoteAddress("203.0.113.5");
        QCOMPARE(list.rows()[0].remoteAddress, std::string("203.0.113.5"));
    }

    void membersAreFoundByAddressAndPort()
    {
        MemberList list(MemberList::hostRow("Host", "os", "10.0.0.1", "", "23513"));
        list.append(member("Ann", "192.0.2.7", "50001"));
        list.append(member("Bob", "192.0.2.7", "50002"));    // same machine, other port
        list.append(member("Cid", "198.51.100.3", "50001")); // same port, other machine
        QCOMPARE(list.rows()[1].readyCode, std::string("1"));
        QCOMPARE(list.rows()[1].team, std::string(" "));
        QCOMPARE(list.rows()[1].ping, std::string("N/A"));

        QCOMPARE(list.setReadyCode("192.0.2.7", "50001", "0"), std::size_t(1));
        QCOMPARE(list.rows()[1].readyCode, std::string("0"));
        QCOMPARE(list.rows()[2].readyCode, std::string("1"));
        QCOMPARE(list.rows()[3].readyCode, std::string("1"));
        QVERIFY(!list.allReady());

        QCOMPARE(list.setTeam("198.51.100.3", "50001", "Team 2"), std::size_t(1));
        QCOMPARE(list.rows()[3].team, std::string("Team 2"));
        QCOMPARE(list.rows()[1].team, std::string(" "));

        QCOMPARE(list.removeConnection("192.0.2.7", "50002"), std::size_t(1));
        QCOMPARE(nicknames(list), QStringList({"Host", "Ann", "Cid"}));
        QCOMPARE(list.removeConnection("192.0.2.7", "50002"), std::size_t(0));
    }

    void duplicateRowsOfOneConnectionLeaveTogether()
    {
        // A member that announces itself twice gets two rows; both belong to its
        // connection and both go when it closes.
        MemberList list(MemberList::hostRow("Host", "os", "10.0.0.1", "", "23513"));
        list.append(member("Ann", "192.0.2.7", "50001"));
        list.append(member("Bob", "192.0.2.8", "50001"));
        list.append(member("Ann", "192.0.2.7", "50001"));
        QCOMPARE(list.setReadyCode("192.0.2.7", "50001", "0"), std::size_t(2));
        QCOMPARE(list.removeConnection("192.0.2.7", "50001"), std::size_t(2));
        QCOMPARE(nicknames(list), QStringList({"Host", "Bob"}));
    }

    void allReadyIgnoresTheHost()
    {
        MemberList list(MemberList::hostRow("Host", "os", "10.0.0.1", "", "23513"));
        QVERIFY(list.allReady());
        list.append(member("Ann", "192.0.2.7", "50001"));
        QVERIFY(!list.allReady());
        list.setReadyCode("192.0.2.7", "50001", "0");
        QVERIFY(list.allReady());
    }
};

QTEST_APPLESS_MAIN(TestRoomHostLists)
#include "tst_roomhostlists.moc"
