// The namespace lab the network tests stand on: whatever a test leaves behind must go with
// the lab, and the clean-up of killed runs must never touch a namespace of a run still going.
#include "support/NetnsLab.h"

#include <unistd.h>

#include <QFile>
#include <QTest>

namespace {

const QString kPrefix = QStringLiteral("vtlabtest");

QStringList namespaces()
{
    QStringList names;
    const CommandResult list = runCommand(findSbin("ip"), {"netns", "list"});
    for (const QString& line : list.output.split('\n', Qt::SkipEmptyParts))
        names << line.section(' ', 0, 0);
    return names;
}

// A process id that was in use a moment ago and is not any more.
QString deadPid()
{
    QProcess process;
    process.start(QStringLiteral("true"), {});
    process.waitForFinished();
    return QString::number(process.processId() ? process.processId() : 999999);
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.open(QIODevice::ReadOnly);
}

} // namespace

class TestNetnsLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (const QString why = NetnsLab::unavailableReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }

    void everythingGoesWithTheLab_data()
    {
        QTest::addColumn<bool>("veth");
        QTest::addColumn<bool>("process");
        QTest::addColumn<bool>("failedStep");
        QTest::newRow("namespaces") << false << false << false;
        QTest::newRow("linked by veth") << true << false << false;
        QTest::newRow("program still running") << true << true << false;
        QTest::newRow("built halfway") << true << false << true;
    }
    void everythingGoesWithTheLab()
    {
        QFETCH(bool, veth);
        QFETCH(bool, process);
        QFETCH(bool, failedStep);

        QStringList made;
        qint64 pid = 0;
        {
            NetnsLab lab(kPrefix);
            QCOMPARE(lab.addNamespace("a"), QString());
            QCOMPARE(lab.addNamespace("b"), QString());
            QVERIFY(!lab.addNamespace("a").isEmpty());
            if (veth)
                QCOMPARE(lab.addVeth("a", "vt0", "b", "vt1"), QString());
            if (process) {
                QProcess* sleeper = lab.start("b", QStringLiteral("sleep"), {"600"});
                QVERIFY(sleeper->waitForStarted());
                pid = sleeper->processId();
            }
            if (failedStep)
                QVERIFY(!lab.ip("a", {"route", "add", "default", "via", "10.200.0.1"}).isEmpty());
            made = lab.names();
            QCOMPARE(made.size(), 2);
            const QStringList present = namespaces();
            for (const QString& name : made)
                QVERIFY2(present.contains(name), qPrintable(name));
            // The names carry this run's process id.
            QVERIFY(made[0].startsWith(kPrefix + "-a-" + QString::number(::getpid()) + "-"));
        }
        const QStringList left = namespaces();
        for (const QString& name : made)
            QVERIFY2(!left.contains(name), qPrintable(name));
        if (process)
            QVERIFY(processGone(pid));
    }

    // Namespaces named by runs that died go; those of live runs and other prefixes stay.
    void leftoversOfKilledRuns_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        const QString dead = deadPid();
        const QString alive = QString::number(::getpid());
        QTest::newRow("killed run") << kPrefix + "-r-" + dead + "-1" << true;
        QTest::newRow("killed run, dashed tag") << kPrefix + "-lan-2-" + dead + "-7" << true;
        QTest::newRow("run still going") << kPrefix + "-r-" + alive + "-1" << false;
        QTest::newRow("another prefix") << "vtother-r-" + dead + "-1" << false;
        QTest::newRow("prefix as a mere start") << kPrefix + "x-r-" + dead + "-1" << false;
        QTest::newRow("not our pattern") << kPrefix + "-r-" + dead << false;
    }
    void leftoversOfKilledRuns()
    {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        QCOMPARE(runCommand(findSbin("ip"), {"netns", "add", name}).exitCode, 0);
        NetnsLab::removeLeftovers(kPrefix);
        const bool present = namespaces().contains(name);
        runCommand(findSbin("ip"), {"netns", "delete", name});
        QCOMPARE(present, !removed);
    }
};

QTEST_GUILESS_MAIN(TestNetnsLab)
#include "tst_netnslab.moc"
