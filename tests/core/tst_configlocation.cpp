// Where "vantrel.cfg" goes: beside the program while its folder may be written or already
// holds the file, else in the player's configuration folder. The last test runs the real
// program from a folder mounted read-only.

#include "core/common/ConfigLocation.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using vantrell::core::ConfigLocation;
using vantrell::core::installFolder;
using vantrell::core::locateConfig;
using vantrell::core::mayKeepFileIn;

namespace {
QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// unshare(1) with a network and a mount namespace; without root, in a user namespace of
// its own that maps us to root.
QStringList isolation()
{
    QStringList command{QStringLiteral("unshare"), QStringLiteral("--net"),
                        QStringLiteral("--mount")};
    if (geteuid() != 0)
        command << QStringLiteral("--map-root-user");
    return command;
}

bool canIsolate()
{
    QProcess probe;
    const QStringList command = isolation() << QStringLiteral("true");
    probe.start(command.first(), command.mid(1));
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

bool copyProgram(const QString& folder)
{
    const QString target = QDir(folder).filePath(QStringLiteral("vantrell"));
    return QDir().mkpath(folder) && QFile::copy(QStringLiteral(VANTRELL_PROGRAM), target) &&
           QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                             QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}
} // namespace

class TestConfigLocation : public QObject
{
    Q_OBJECT

private slots:
    void decides_data()
    {
        QTest::addColumn<bool>("holdsFile");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("installed");
        QTest::newRow("unpacked, first start") << false << true << false;
        QTest::newRow("unpacked, with its file") << true << true << false;
        // An administrator's file beside an installed program is still the one used.
        QTest::newRow("read-only folder with a file") << true << false << false;
        QTest::newRow("installed") << false << false << true;
    }
    void decides()
    {
        QFETCH(bool, holdsFile);
        QFETCH(bool, writable);
        QFETCH(bool, installed);

        QTemporaryDir dir;
        const QString program = QDir(dir.path()).filePath(QStringLiteral("bin"));
        // Parents that do not exist yet, as on a first login.
        const QString user = QDir(dir.path()).filePath(QStringLiteral("home/.config/vantrell"));
        QVERIFY(QDir().mkpath(program));
        if (holdsFile) {
            QFile file(QDir(program).filePath(QStringLiteral("vantrel.cfg")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QStringList asked;
        const ConfigLocation location = locateConfig(program, user, [&](const QString& folder) {
            asked << folder;
            return writable;
        });

        QCOMPARE(location.installed, installed);
        QCOMPARE(location.folder, installed ? user : program);
        // The user folder is made only when it is used.
        QCOMPARE(QFileInfo(user).isDir(), installed);
        if (!holdsFile)
            QCOMPARE(asked, QStringList{program});
    }

    // Root may write the install folder, yet an installed program run by root must not leave
    // its file there for every player.
    void defaultCheckPassesOverTheInstallFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("mayKeep");
        QTest::newRow("a writable folder") << QString() << true;
        QTest::newRow("the install folder") << installFolder() << false;
        QTest::newRow("a link to the install folder") << QStringLiteral("link") << false;
    }
    void defaultCheckPassesOverTheInstallFolder()
    {
        QFETCH(QString, folder);
        QFETCH(bool, mayKeep);
        if (!QFileInfo(installFolder()).isDir())
            QSKIP("the install folder does not exist here");
        QTemporaryDir dir;
        const QString link = QDir(dir.path()).filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(installFolder(), link));
        if (folder.isEmpty())
            folder = dir.path();
        else if (folder == QStringLiteral("link"))
            folder = link;
        QCOMPARE(mayKeepFileIn(folder), mayKeep);
    }

    // The program copied into a folder of its own writes its first-start file there; the
    // same program in a read-only folder writes the same bytes into $XDG_CONFIG_HOME, or
    // ~/.config when that is not set.
    void realProgramFirstStart()
    {
        if (!canIsolate())
            QSKIP("unshare cannot make network and mount namespaces here (needs root or user "
                  "namespaces); the program would otherwise ask the real network for UPnP");
        QTemporaryDir dir;
        const QDir root(dir.path());
        const QString unpacked = root.filePath(QStringLiteral("unpacked"));
        const QString installed = root.filePath(QStringLiteral("usr/bin"));
        QVERIFY(copyProgram(unpacked));
        QVERIFY(copyProgram(installed));

        struct Run
        {
            QString folder;       // where the program sits
            QString readOnly;     // mounted read-only for the run (or empty)
            QString home;         // HOME
            bool xdg;             // XDG_CONFIG_HOME set to HOME/config, else unset
            QString expectedFile; // where the first-start file must appear
        };
        const QList<Run> runs{
            {unpacked, QString(), root.filePath(QStringLiteral("ann")), true,
             QDir(unpacked).filePath(QStringLiteral("vantrel.cfg"))},
            {installed, installed, root.filePath(QStringLiteral("bob")), true,
             root.filePath(QStringLiteral("bob/config/vantrell/vantrel.cfg"))},
            {installed, installed, root.filePath(QStringLiteral("cid")), false,
             root.filePath(QStringLiteral("cid/.config/vantrell/vantrel.cfg"))},
        };
        QList<QByteArray> written;
        for (const Run& run : runs) {
            QVERIFY(QDir().mkpath(run.home));
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            environment.insert(QStringLiteral("HOME"), run.home);
            environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
            if (run.xdg)
                environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                                   QDir(run.home).filePath(QStringLiteral("config")));
            QProcess program;
            program.setProcessEnvironment(environment);
            // Started from elsewhere: the working folder never decides.
            program.setWorkingDirectory(root.path());
            program.setProcessChannelMode(QProcess::ForwardedChannels);
            const QStringList command = isolation()
                                        << QStringLiteral(VANTRELL_RUN_ISOLATED) << run.readOnly
                                        << QDir(run.folder).filePath(QStringLiteral("vantrell"));
            program.start(command.first(), command.mid(1));
            QVERIFY(program.waitForStarted());
            // The networking settings are saved last at start-up, "UPnP Checkbox" last of all.
            QTRY_VERIFY_WITH_TIMEOUT(readFile(run.expectedFile).contains("UPnP Checkbox"), 10000);
            QTest::qWait(300);
            program.kill();
            program.waitForFinished();
            written << readFile(run.expectedFile);
        }

        QVERIFY(!written.first().isEmpty());
        for (const QByteArray& file : written)
            QCOMPARE(file, written.first());
        // Nothing went to the other places.
        QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("ann/config/vantrell"))));
        QVERIFY(!QFileInfo::exists(QDir(installed).filePath(QStringLiteral("vantrel.cfg"))));
        QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("vantrel.cfg"))));
    }
};

QTEST_GUILESS_MAIN(TestConfigLocation)
#include "tst_configlocation.moc"
