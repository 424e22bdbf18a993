// The local address in network namespaces the test makes for itself: the helper must see
// the machine's own interfaces, skip loopback, and fall back to 127.0.0.1.

#include "core/common/LocalAddress.h"

#include <future>
#include <sched.h>
#include <thread>

#include <QProcess>
#include <QTest>

using vantrell::core::localAddress;

namespace {
bool run(const QStringList& command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(20000) || process.exitCode() != 0) {
        qWarning() << command << process.readAll();
        return false;
    }
    return true;
}

struct Outcome
{
    bool isolated = false;
    bool configured = true;
    QString address;
};

// Runs on a thread of its own that moves into a new network namespace, configures it with
// the commands (processes started from that thread inherit its namespace) and asks.
Outcome inPrivateNamespace(const QList<QStringList>& commands)
{
    std::promise<Outcome> promise;
    std::thread worker([&] {
        Outcome outcome;
        outcome.isolated = unshare(CLONE_NEWNET) == 0;
        if (outcome.isolated) {
            for (const QStringList& command : commands)
                outcome.configured = outcome.configured && run(command);
            outcome.address = localAddress();
        }
        promise.set_value(outcome);
    });
    Outcome outcome = promise.get_future().get();
    worker.join();
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
