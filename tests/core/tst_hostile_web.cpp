// A web site that attacks the usermap download with bodies that do not end: the download
// must give up on its own, leave nothing in the usermaps folder and keep its memory bounded.
#include "core/lobby/UsermapDownloader.h"
#include "support/HostileLab.h"
#include "support/HttpsTestServer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;

class TestHostileWeb : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    std::unique_ptr<HttpsTestServer> m_server;
    core::Environment m_env;

private slots:
    void initTestCase()
    {
        QCOMPARE(m_certificates.make(), QString());
        m_server =
            std::make_unique<HttpsTestServer>(m_certificates.server, m_certificates.serverKey);
        m_env.tls.setCaCertificates({m_certificates.authority});
    }

    void endlessBodiesEndTheDownload_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("file without a length that never ends") << 200;
        QTest::newRow("error page that never ends") << 404;
        QTest::newRow("server error that never ends") << 500;
    }
    void endlessBodiesEndTheDownload()
    {
        QFETCH(int, status);
        // 32 MiB in 32 KiB pieces every 10 ms: ten seconds of body, far past the 1 MiB
        // limit of this download, and far longer than the download may take to give up.
        HttpsTestResponse endless;
        endless.status = status;
        endless.body = QByteArray(32 << 20, 'e');
        endless.announcedLength = -2;
        endless.chunkSize = 32 * 1024;
        endless.chunkIntervalMs = 10;
        const QString path = QStringLiteral("/content/uploaded_files/endless%1.map").arg(status);
        m_server->setResponse(path, endless);

        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("endless.map"));
        core::UsermapDownloader downloader(m_env);
        downloader.setMaxSize(1 << 20);
        QString reason;
        bool succeeded = false;
        connect(&downloader, &core::UsermapDownloader::failed, this,
                [&](const QString& why) { reason = why; });
        connect(&downloader, &core::UsermapDownloader::succeeded, this, [&] { succeeded = true; });
        const long rssBefore = residentKiB();
        LoopLatencyProbe probe;
        probe.start();
        downloader.start(m_server->authority(), path, target.toStdU16String());
        QTRY_VERIFY_WITH_TIMEOUT(!reason.isEmpty() || succeeded, 5000);
        probe.stop();
        QVERIFY(!succeeded);
        QVERIFY(!downloader.isRunning());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 0);
        const long grownKiB = residentKiB() - rssBefore;
        qInfo("%s: %s; resident memory %+ld KiB, worst event-loop delay %lld ms",
              QTest::currentDataTag(), qPrintable(reason), grownKiB, probe.worstLateMs());
        if (kResidentMemoryTellsWhatIsKept)
            QVERIFY2(grownKiB < 16 * 1024, qPrintable(QString::number(grownKiB)));
    }
};

QTEST_GUILESS_MAIN(TestHostileWeb)
#include "tst_hostile_web.moc"
