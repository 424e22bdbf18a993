// The settings file when the program dies in the middle of saving it: a helper saves in a
// loop and is killed with SIGKILL again and again; every time the file must be the whole
// old or the whole new file.
#include "base/settings/ConfigFile.h"
#include "support/ConfigSaveLoop.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using vantrell::settings::ConfigFile;

class TestConfigCrash : public QObject
{
    Q_OBJECT

private slots:
    void killedSaveLeavesOldOrNewFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path folder = dir.path().toStdString();
        const ConfigFile file(folder);
        std::mt19937 random(20261208);
        long long last = 0;
        int midSave = 0;
        const int kills = 150;
        for (int round = 0; round < kills; ++round) {
            QProcess saver;
            saver.start(QStringLiteral(CONFIG_SAVE_LOOP), {dir.path()});
            QVERIFY(saver.waitForStarted(10000));
            QVERIFY(saver.waitForReadyRead(10000));
            QTest::qSleep(std::uniform_int_distribution<int>(0, 15)(random));
            ::kill(static_cast<pid_t>(saver.processId()), SIGKILL);
            QVERIFY(saver.waitForFinished(10000));
            QCOMPARE(saver.exitStatus(), QProcess::CrashExit);
            // A save cut short leaves its temporary file; the next run must not mind it.
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                if (entry.path().extension() == ".tmp") {
                    ++midSave;
                    std::filesystem::remove(entry.path());
                }
            }

            std::ifstream in(file.path(), std::ios::binary);
            std::ostringstream raw;
            raw << in.rdbuf();
            const std::string bytes = raw.str();
            QVERIFY2(bytes.size() > 2 && bytes.ends_with("\r\n"), "file cut short");
            QVERIFY(bytes.find('\0') == std::string::npos);
            for (const auto& [section, key, value] : saveloop::fixedEntries())
                QCOMPARE(file.readString(section, key, "missing"), value);
            const auto n = saveloop::checkNumber(file.readString("Loop", "Check", ""));
            QVERIFY2(n.has_value(), "the saved value is broken");
            QVERIFY2(*n > last, "an older file came back");
            last = *n;
        }
        // Kills landed in the middle of saves, not only between them.
        QVERIFY2(midSave > 0, qPrintable(QString::number(midSave)));
    }
};

QTEST_GUILESS_MAIN(TestConfigCrash)
#include "tst_configcrash.moc"
