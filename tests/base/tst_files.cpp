#include "base/common/PlainFileName.h"
#include "base/common/StreamedFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;
namespace fs = std::filesystem;

namespace {

std::string contentsOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t entriesIn(const fs::path& folder)
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator{}));
}

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT

private slots:
    void plainFileName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("usermap") << QByteArray("dukematch.map") << true;
        QTest::newRow("blanks inside") << QByteArray("my map.map") << true;
        QTest::newRow("hidden file") << QByteArray(".map") << true;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("dot") << QByteArray(".") << false;
        QTest::newRow("dot dot") << QByteArray("..") << false;
        QTest::newRow("slash") << QByteArray("/") << false;
        QTest::newRow("backslash") << QByteArray("\\") << false;
        QTest::newRow("up and over") << QByteArray("../x.map") << false;
        QTest::newRow("windows up") << QByteArray("..\\x.map") << false;
        QTest::newRow("absolute") << QByteArray("/etc/passwd") << false;
        QTest::newRow("drive") << QByteArray("C:x.map") << false;
        QTest::newRow("drive root") << QByteArray("C:\\") << false;
        QTest::newRow("newline") << QByteArray("a\nb.map") << false;
        QTest::newRow("nul") << QByteArray("a\0b.map", 7) << false;
        QTest::newRow("trailing dot") << QByteArray("x.map.") << false;
        QTest::newRow("trailing blank") << QByteArray("x.map ") << false;
        QTest::newRow("too long") << QByteArray(256, 'a') << false;
    }
    void plainFileName()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, plain);
        QCOMPARE(isPlainFileName(std::string_view(name.constData(), name.size())), plain);
    }

    // Committing replaces the target; aborting or dropping the writer leaves the old file and
    // no temporary file behind.
    void streamedWriterNeverLeavesHalfFiles()
    {
        QTemporaryDir dir;
        const fs::path folder = dir.path().toStdString();
        const fs::path target = folder / "x.map";
        std::ofstream(target, std::ios::binary) << "old";

        {
            StreamedFileWriter writer(target);
            QVERIFY(writer.open().ok());
            QVERIFY(writer.write("half").ok());
            QCOMPARE(entriesIn(folder), std::size_t(2));
        }
        QCOMPARE(contentsOf(target), std::string("old"));
        QCOMPARE(entriesIn(folder), std::size_t(1));

        StreamedFileWriter writer(target);
        QVERIFY(writer.open().ok());
        QVERIFY(writer.write("new ").ok());
        QVERIFY(writer.write(std::string(100000, 'z')).ok());
        QCOMPARE(writer.bytesWritten(), 100004ull);
        QVERIFY(writer.commit().ok());
        QCOMPARE(contentsOf(target), "new " + std::string(100000, 'z'));
        QCOMPARE(entriesIn(folder), std::size_t(1));
    }

    // Found by the community simulator: a process started while a usermap arrives (a game,
    // or there the restarted main server) kept the file open for its whole run.
    void streamedWriterFileIsNotInherited()
    {
        QTemporaryDir dir;
        StreamedFileWriter writer(fs::path(dir.path().toStdString()) / "x.map");
        QVERIFY(writer.open().ok());
        bool found = false;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            if (fs::read_symlink(fd.path(), error) != writer.temporaryPath())
                continue;
            found = true;
            std::ifstream info("/proc/self/fdinfo/" + fd.path().filename().string());
            std::string key, flags;
            while (info >> key >> flags && key != "flags:") {
            }
            QVERIFY(std::stoul(flags, nullptr, 8) & 02000000); // O_CLOEXEC
        }
        QVERIFY(found);
    }

    void streamedWriterFailsWhenFolderIsMissing()
    {
        QTemporaryDir dir;
        const fs::path target = fs::path(dir.path().toStdString()) / "gone" / "x.map";
        StreamedFileWriter writer(target);
        const Result<void> opened = writer.open();
        QVERIFY(!opened.ok());
        QVERIFY(opened.error().starts_with("Unable to write to "));
        QVERIFY(!writer.write("x").ok());
        QVERIFY(!writer.commit().ok());
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
