#include "core/common/IcmpEcho.h"

#include <fcntl.h>
#include <unistd.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace vantrell::core;
using namespace std::chrono_literals;

namespace {
constexpr std::uint32_t kLoopback = 0x7f000001;
}

class TestIcmpEcho : public QObject
{
    Q_OBJECT

private slots:
    void rawEchoToLoopback()
    {
        if (::geteuid() != 0)
            QSKIP("a raw ICMP socket needs root");
        // The raw socket also sees its own request on loopback; only the reply counts.
        for (std::uint16_t sequence = 1; sequence <= 3; ++sequence) {
            const auto result = sendIcmpEcho(kLoopback, 5000ms, IcmpMethod::RawOnly, sequence);
            QVERIFY(result.failure.empty());
            QVERIFY(result.answered);
            QVERIFY(result.roundTrip >= 0ms);
        }
    }

    void disabledSendsNothing()
    {
        const auto result = sendIcmpEcho(kLoopback, 5000ms, IcmpMethod::Disabled, 1);
        QVERIFY(!result.answered);
        QVERIFY(!result.failure.empty());
    }

    void cancelEndsTheWait()
    {
        int fds[2];
        QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);
        const char byte = 1;
        QCOMPARE(::write(fds[1], &byte, 1), ssize_t(1));
        // Cancelled before any answer is looked at: unanswered, whatever loopback does.
        const auto result = sendIcmpEcho(kLoopback, 60000ms, IcmpMethod::Automatic, 9, fds[0]);
        QVERIFY(!result.answered);
        ::close(fds[0]);
        ::close(fds[1]);
    }

    void pingerReportsOnItsOwnersThread()
    {
        IcmpPinger pinger(::geteuid() == 0 ? IcmpMethod::Automatic : IcmpMethod::Disabled);
        QThread* reportedOn = nullptr;
        connect(&pinger, &IcmpPinger::echoFinished, this,
                [&] { reportedOn = QThread::currentThread(); });
        QSignalSpy spy(&pinger, &IcmpPinger::echoFinished);
        const auto first = pinger.ping("127.0.0.1", 5000ms);
        const auto second = pinger.ping("not an address", 5000ms);
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 2, 15000);
        QCOMPARE(spy[0][0].toULongLong(), first);
        QCOMPARE(spy[1][0].toULongLong(), second);
        QCOMPARE(spy[0][1].toBool(), ::geteuid() == 0);
        QCOMPARE(spy[1][1].toBool(), false);
        QCOMPARE(reportedOn, QThread::currentThread());
    }

    void inNamespace_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("expected");
        // Without root the raw socket is refused and the datagram socket takes over.
        QTest::newRow("datagram socket as nobody") << "datagram-as-nobody"
                                                   << "answered";
        // Neither socket: the echo counts as unanswered, so the TCP probe measures.
        QTest::newRow("no socket as nobody") << "refused-as-nobody"
                                             << "unsent";
        QTest::newRow("echo ignored") << "ignored"
                                      << "unanswered";
    }
    void inNamespace()
    {
        QFETCH(QString, mode);
        QFETCH(QString, expected);
        if (::geteuid() != 0)
            QSKIP("making a network namespace needs root");
        QProcess helper;
        helper.start(QStringLiteral(ICMP_NETNS_HELPER), {mode});
        QVERIFY(helper.waitForFinished(30000));
        if (helper.exitCode() == 77)
            QSKIP("no network namespaces here");
        QCOMPARE(helper.exitCode(), 0);
        const auto output = QString::fromLocal8Bit(helper.readAllStandardOutput()).trimmed();
        QCOMPARE(output.section(' ', 0, 0), expected);
    }
};

QTEST_GUILESS_MAIN(TestIcmpEcho)
#include "tst_icmpecho.moc"
