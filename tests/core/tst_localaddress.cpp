// The local address in network namespaces the test makes for itself: the helper must see
// the machine's own interfaces, skip loopback, and fall back to 127.0.0.1.

#include "core/common/LocalAddress.h"
#include "support/NetnsLab.h"

#include <QTest>

using vantrell::core::localAddress;

namespace {

struct Outcome
{
    bool isolated = false;
    bool configured = true;
    QString address;
};

// Configures a namespace of its own with the commands and asks there.
Outcome inPrivateNamespace(const QList<QStringList>& commands)
{
    Outcome outcome;
    outcome.isolated = runInPrivateNamespace([&] {
        for (const QStringList& command : commands) {
            const CommandResult result = runCommand(findSbin(command.first()), command.mid(1));
            if (result.exitCode != 0) {
                qWarning() << command << result.output;
                outcome.configured = false;
            }
        }
        outcome.address = localAddress();
    });
    return outcome;
}

} // namespace

class TestLocalAddress : public QObject
{
    Q_OBJECT

private slots:
    void firstNonLoopbackIpv4Address_data()
    {
        QTest::addColumn<QList<QStringList>>("commands");
        QTest::addColumn<QString>("address");
        QTest::newRow("nothing at all") << QList<QStringList>{} << "127.0.0.1";
        QTest::newRow("loopback only")
            << QList<QStringList>{{"ip", "link", "set", "lo", "up"}} << "127.0.0.1";
        QTest::newRow("one interface")
            << QList<QStringList>{{"ip", "link", "set", "lo", "up"},
                                  {"ip", "link", "add", "vt0", "type", "veth", "peer", "name",
                                   "vt1"},
                                  {"ip", "addr", "add", "10.91.0.7/24", "dev", "vt0"},
                                  {"ip", "link", "set", "vt0", "up"},
                                  {"ip", "link", "set", "vt1", "up"}}
            << "10.91.0.7";
        QTest::newRow("IPv6 only is no address")
            << QList<QStringList>{{"ip", "link", "add", "vt0", "type", "veth", "peer", "name",
                                   "vt1"},
                                  {"ip", "addr", "add", "fd00:91::7/64", "dev", "vt0"},
                                  {"ip", "link", "set", "vt0", "up"},
                                  {"ip", "link", "set", "vt1", "up"}}
            << "127.0.0.1";
    }
    void firstNonLoopbackIpv4Address()
    {
        QFETCH(QList<QStringList>, commands);
        QFETCH(QString, address);
        const Outcome outcome = inPrivateNamespace(commands);
        if (!outcome.isolated)
            QSKIP("cannot make a network namespace here (needs root)");
        QVERIFY(outcome.configured);
        QCOMPARE(outcome.address, address);
    }
};

QTEST_GUILESS_MAIN(TestLocalAddress)
#include "tst_localaddress.moc"
