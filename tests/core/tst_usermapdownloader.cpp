#include "core/lobby/UsermapDownloader.h"
#include "support/HttpsTestServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;

Q_DECLARE_METATYPE(HttpsTestResponse)

namespace {

const QString kPath = QStringLiteral("/content/uploaded_files/dm7.map");

QByteArray mapBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + 7) & 0xff);
    return bytes;
}

QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestUsermapDownloader : public QObject
{
    Q_OBJECT

    TestCertificates m_ours;
    TestCertificates m_strangers;
    std::unique_ptr<HttpsTestServer> m_server;
    core::Environment m_env;

    // A finished download: its signals, with the folder left behind.
    struct Run
    {
        bool ok = false;
        qint64 size = -2;
        QString reason;
        QList<QPair<qint64, qint64>> progress;
    };

    Run download(core::UsermapDownloader& downloader, const QString& path, const QString& target,
                 int timeoutMs = 10000)
    {
        Run run;
        bool done = false;
        connect(&downloader, &core::UsermapDownloader::progress, this, [&run](qint64 r, qint64 t) {
            run.progress.append({r, t});
        });
        connect(&downloader, &core::UsermapDownloader::succeeded, this,
                [&](qint64 size) { run.ok = true, run.size = size, done = true; });
        connect(&downloader, &core::UsermapDownloader::failed, this,
                [&](const QString& reason) { run.reason = reason, done = true; });
        downloader.start(m_server->authority(), path, target.toStdU16String());
        [&] { QTRY_VERIFY_WITH_TIMEOUT(done, timeoutMs); }();
        downloader.disconnect(this);
        return run;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(m_ours.make(), QString());
        QCOMPARE(m_strangers.make(), QString());
        m_server = std::make_unique<HttpsTestServer>(m_ours.server, m_ours.serverKey);
        m_env.tls.setCaCertificates({m_ours.authority});
    }

    void answers_data()
    {
        QTest::addColumn<HttpsTestResponse>("response");
        QTest::addColumn<QByteArray>("existing"); // empty: no file before
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("after"); // "<missing>": no file after

        const QByteArray body = mapBytes(60000);
        HttpsTestResponse whole;
        whole.body = body;
        QTest::newRow("whole body") << whole << QByteArray() << true << body;
        QTest::newRow("replaces an old copy") << whole << QByteArray("old") << true << body;

        HttpsTestResponse unknownSize = whole;
        unknownSize.announcedLength = -2;
        QTest::newRow("size unknown") << unknownSize << QByteArray() << true << body;

        HttpsTestResponse compressed;
        compressed.body = qCompress(body).mid(4); // the zlib stream without Qt's size prefix
        compressed.extraHeaders = "Content-Encoding: deflate\r\n";
        QTest::newRow("compressed") << compressed << QByteArray() << true << body;

        HttpsTestResponse notFound;
        notFound.status = 404;
        notFound.body = "Not Found";
        QTest::newRow("404") << notFound << QByteArray() << false << QByteArray("<missing>");

        HttpsTestResponse cut;
        cut.body = body.left(20000);
        cut.announcedLength = body.size();
        cut.closeAfterBody = true;
        QTest::newRow("cut in the middle")
            << cut << QByteArray() << false << QByteArray("<missing>");
        QTest::newRow("cut keeps an old copy")
            << cut << QByteArray("old") << false << QByteArray("old");

        HttpsTestResponse tooLarge = whole;
        tooLarge.announcedLength = core::UsermapDownloader::kDefaultMaxSize + 1;
        tooLarge.closeAfterBody = true;
        QTest::newRow("announced over the limit")
            << tooLarge << QByteArray() << false << QByteArray("<missing>");

        HttpsTestResponse insecureRedirect;
        insecureRedirect.status = 302;
        insecureRedirect.extraHeaders = "Location: http://127.0.0.1:9/x.map\r\n";
        QTest::newRow("redirect to plain HTTP")
            << insecureRedirect << QByteArray() << false << QByteArray("<missing>");
    }

    void answers()
    {
        QFETCH(HttpsTestResponse, response);
        QFETCH(QByteArray, existing);
        QFETCH(bool, ok);
        QFETCH(QByteArray, after);

        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("dm7.map"));
        if (!existing.isEmpty())
            writeFile(target, existing);
        m_server->setResponse(kPath, response);
        core::UsermapDownloader downloader(m_env);
        const Run run = download(downloader, kPath, target);

        QVERIFY2(run.ok == ok, qPrintable(run.reason));
        QCOMPARE(fileContents(target), after);
        if (ok)
            QCOMPARE(run.size, qint64(after.size()));
        // Nothing else is left in the folder: no temporary file after success or failure.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 after == "<missing>" ? 0 : 1);
        QVERIFY(!downloader.isRunning());
    }

    // Qt reports progress about every 100 ms, so a body sent slowly shows several steps,
    // ending at the total; an unannounced size reports -1 (the bar shows "busy").
    void progressReachesTheTotal_data()
    {
        QTest::addColumn<bool>("announced");
        QTest::newRow("size announced") << true;
        QTest::newRow("size unknown") << false;
    }

    void progressReachesTheTotal()
    {
        QFETCH(bool, announced);
        const QByteArray body = mapBytes(64 * 1024);
        HttpsTestResponse slow;
        slow.body = body;
        slow.chunkSize = 8 * 1024;
        slow.chunkIntervalMs = 80;
        slow.announcedLength = announced ? -1 : -2;
        m_server->setResponse(kPath, slow);

        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("dm7.map"));
        core::UsermapDownloader downloader(m_env);
        const Run run = download(downloader, kPath, target);
        QVERIFY2(run.ok, qPrintable(run.reason));
        QCOMPARE(fileContents(target), body);
        QVERIFY2(run.progress.size() >= 3, qPrintable(QString::number(run.progress.size())));
        for (int i = 1; i < run.progress.size(); ++i)
            QVERIFY(run.progress[i].first >= run.progress[i - 1].first);
        QCOMPARE(run.progress.last().first, qint64(body.size()));
        // Without a size Qt reports the total only with the last step.
        for (int i = 0; i + 1 < run.progress.size(); ++i)
            QCOMPARE(run.progress[i].second, announced ? qint64(body.size()) : qint64(-1));
        QCOMPARE(run.progress.last().second, qint64(body.size()));
    }

    void requestEscapesTheName()
    {
        m_server->setResponse(QStringLiteral("/content/uploaded_files/my%20map%231%3F.map"),
                              HttpsTestResponse{200, "map", -1, 0, 0, false, false, {}});
        QTemporaryDir folder;
        core::UsermapDownloader downloader(m_env);
        const Run run =
            download(downloader, QStringLiteral("/content/uploaded_files/my map#1?.map"),
                     folder.filePath(QStringLiteral("my map#1?.map")));
        QVERIFY2(run.ok, qPrintable(run.reason));
        QCOMPARE(m_server->requests().last(),
                 QStringLiteral("/content/uploaded_files/my%20map%231%3F.map"));
    }

    // 30 s without progress fails the download; sped up here to 0.3 s.
    void serverThatNeverAnswers()
    {
        core::Environment fast = m_env;
        fast.timing = core::Timing(100.0);
        HttpsTestResponse silent;
        silent.silent = true;
        m_server->setResponse(kPath, silent);
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("dm7.map"));
        core::UsermapDownloader downloader(fast);
        const Run run = download(downloader, kPath, target, 5000);
        QVERIFY(!run.ok);
        QVERIFY(QDir(folder.path()).isEmpty(QDir::Files | QDir::Hidden | QDir::System));
    }

    void certificateFromAnotherAuthority()
    {
        HttpsTestServer impostor(m_strangers.server, m_strangers.serverKey);
        impostor.setResponse(kPath, HttpsTestResponse{200, "map", -1, 0, 0, false, false, {}});
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("dm7.map"));
        core::UsermapDownloader downloader(m_env);
        bool failed = false;
        connect(&downloader, &core::UsermapDownloader::failed, this, [&] { failed = true; });
        downloader.start(impostor.authority(), kPath, target.toStdU16String());
        QTRY_VERIFY(failed);
        QCOMPARE(impostor.requests(), QStringList());
        QVERIFY(QDir(folder.path()).isEmpty(QDir::Files | QDir::Hidden | QDir::System));
    }

    void missingFolderIsNeverRequested()
    {
        const int before = m_server->requests().size();
        QTemporaryDir folder;
        core::UsermapDownloader downloader(m_env);
        const Run run =
            download(downloader, kPath, folder.filePath(QStringLiteral("gone/dm7.map")));
        QVERIFY(!run.ok);
        QCOMPARE(m_server->requests().size(), before);
    }
};

QTEST_GUILESS_MAIN(TestUsermapDownloader)
#include "tst_usermapdownloader.moc"
