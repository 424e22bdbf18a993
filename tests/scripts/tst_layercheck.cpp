#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Runs the layering check over a tree holding one source file (and an allow-list when given);
// returns the exit code and fills in what the check printed.
int runCheck(const QString& root, QString& output)
{
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(QStringLiteral("bash"), {QStringLiteral(VANTRELL_LAYER_CHECK), root});
    if (!check.waitForFinished(60000))
        return -1;
    output = QString::fromUtf8(check.readAll());
    return check.exitStatus() == QProcess::NormalExit ? check.exitCode() : -1;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

class TestLayerCheck : public QObject
{
    Q_OBJECT

private slots:
    void includes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("include");
        QTest::addColumn<QByteArray>("allowed");
        QTest::addColumn<bool>("fails");

        QTest::newRow("base, standard header")
            << "src/base/common/A.h" << QByteArray("<string>") << QByteArray() << false;
        QTest::newRow("base, base header")
            << "src/base/lobby/A.cpp" << QByteArray("\"base/common/Fields.h\"") << QByteArray()
            << false;
        QTest::newRow("base, Qt class")
            << "src/base/common/A.h" << QByteArray("<QString>") << QByteArray() << true;
        QTest::newRow("base, Qt module path")
            << "src/base/common/A.cpp" << QByteArray("<QtCore/qglobal.h>") << QByteArray() << true;
        QTest::newRow("base, core header")
            << "src/base/roomhost/A.cpp" << QByteArray("\"core/common/Timing.h\"") << QByteArray()
            << true;
        QTest::newRow("base, ui header")
            << "src/base/settings/A.h" << QByteArray("\"ui/common/MessageSink.h\"") << QByteArray()
            << true;
        QTest::newRow("core, Qt Core")
            << "src/core/lobby/A.cpp" << QByteArray("<QTimer>") << QByteArray() << false;
        QTest::newRow("core, Qt Network")
            << "src/core/lobby/A.cpp" << QByteArray("<QTcpSocket>") << QByteArray() << false;
        QTest::newRow("core, widget")
            << "src/core/lobby/A.cpp" << QByteArray("<QWidget>") << QByteArray() << true;
        QTest::newRow("core, dialog by module path")
            << "src/core/lobby/A.cpp" << QByteArray("<QtWidgets/QDialog>") << QByteArray() << true;
        QTest::newRow("core, gui picture")
            << "src/core/common/A.h" << QByteArray("<QPixmap>") << QByteArray() << true;
        QTest::newRow("core, ui header")
            << "src/core/roomhost/A.cpp" << QByteArray("\"ui/roomhost/TForm6.h\"") << QByteArray()
            << true;
        QTest::newRow("server, asio")
            << "src/server/A.cpp" << QByteArray("<asio.hpp>") << QByteArray() << false;
        QTest::newRow("server, Qt")
            << "src/server/A.cpp" << QByteArray("<QByteArray>") << QByteArray() << true;
        QTest::newRow("server, core header")
            << "src/server/A.cpp" << QByteArray("\"core/lobby/LobbyConnection.h\"") << QByteArray()
            << true;
        QTest::newRow("ui, own window")
            << "src/ui/lobby/A.cpp" << QByteArray("\"ui/lobby/TForm8.h\"") << QByteArray() << false;
        QTest::newRow("ui, common helper")
            << "src/ui/roomclient/A.cpp" << QByteArray("\"ui/common/MemberListView.h\"")
            << QByteArray() << false;
        QTest::newRow("ui, core object")
            << "src/ui/roomhost/A.cpp" << QByteArray("\"core/roomhost/RoomHost.h\"") << QByteArray()
            << false;
        QTest::newRow("ui, another subsystem's window")
            << "src/ui/lobby/A.cpp" << QByteArray("\"ui/settings/TForm2.h\"") << QByteArray()
            << true;
        QTest::newRow("ui, room client reaches the host window")
            << "src/ui/roomclient/A.cpp" << QByteArray("\"ui/roomhost/TForm6.h\"") << QByteArray()
            << true;
        QTest::newRow("ui, allowed for now")
            << "src/ui/lobby/A.cpp" << QByteArray("\"ui/settings/TForm2.h\"")
            << QByteArray("# tolerated\nsrc/ui/lobby/A.cpp: ui/settings/TForm2.h\n") << false;
        QTest::newRow("ui, allowed in another file only")
            << "src/ui/lobby/A.cpp" << QByteArray("\"ui/settings/TForm2.h\"")
            << QByteArray("src/ui/lobby/B.cpp: ui/settings/TForm2.h\n") << true;
        QTest::newRow("ui, file server control")
            << "src/ui/roomhost/A.cpp" << QByteArray("\"core/transfer/FileServerControl.h\"")
            << QByteArray() << true;
        QTest::newRow("ui, app header")
            << "src/ui/lobby/A.cpp" << QByteArray("\"app/Program.h\"") << QByteArray() << true;
        QTest::newRow("app, any window")
            << "src/app/A.cpp" << QByteArray("\"ui/lobby/TForm1.h\"") << QByteArray() << false;
    }
    void includes()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, include);
        QFETCH(QByteArray, allowed);
        QFETCH(bool, fails);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        // The offending include sits on line 3, spelled with blanks as some people write it.
        QVERIFY(writeFile(root.filePath(file),
                          "#pragma once\n\n#  include " + include + "\n\nint x;\n"));
        if (!allowed.isEmpty())
            QVERIFY(
                writeFile(root.filePath(QStringLiteral("scripts/layers-allowed.txt")), allowed));

        QString output;
        const int code = runCheck(root.path(), output);
        QCOMPARE(code, fails ? 1 : 0);
        if (fails)
            QVERIFY2(output.contains(file + QStringLiteral(":3:")), qPrintable(output));
        if (!allowed.isEmpty() && !fails)
            QVERIFY2(output.contains(QStringLiteral("allowed for now")), qPrintable(output));
    }

    void namespaces_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("fails");

        QTest::newRow("base/common in vantrell")
            << "src/base/common/A.h" << QByteArray("namespace vantrell {\n}\n") << false;
        QTest::newRow("base/common in a namespace of its own")
            << "src/base/common/A.h" << QByteArray("namespace vantrell::common {\n}\n") << true;
        QTest::newRow("base subsystem in its namespace")
            << "src/base/lobby/A.cpp" << QByteArray("namespace vantrell::lobby {\n}\n") << false;
        QTest::newRow("base subsystem in another's")
            << "src/base/roomhost/A.cpp" << QByteArray("namespace vantrell::lobby {\n}\n") << true;
        QTest::newRow("core subsystem in vantrell::core")
            << "src/core/transfer/A.h" << QByteArray("namespace vantrell::core {\n}\n") << false;
        QTest::newRow("core subsystem in its own name")
            << "src/core/transfer/A.h" << QByteArray("namespace vantrell::transfer {\n}\n") << true;
        QTest::newRow("window declaring a core name")
            << "src/ui/roomhost/A.h"
            << QByteArray("namespace vantrell::core {\nclass RoomHost;\n}\n\n"
                          "namespace vantrell::ui {\n}\n")
            << false;
        QTest::newRow("window only in core")
            << "src/ui/lobby/A.cpp" << QByteArray("namespace vantrell::core {\n}\n") << true;
        QTest::newRow("server in the flat namespace")
            << "src/server/A.cpp" << QByteArray("namespace vantrell\n{\n}\n") << true;
        QTest::newRow("main outside any")
            << "src/server/main.cpp" << QByteArray("int main() { return 0; }\n") << false;
    }
    void namespaces()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(bool, fails);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(writeFile(root.filePath(file), "#pragma once\n\n" + contents));
        QString output;
        QCOMPARE(runCheck(root.path(), output), fails ? 1 : 0);
        if (fails)
            QVERIFY2(output.contains(file + QStringLiteral(":3:")), qPrintable(output));
    }

    // An allow-list entry whose include went away is pointed out, so the list shrinks.
    void staleAllowListEntry()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(writeFile(root.filePath(QStringLiteral("src/ui/lobby/A.cpp")),
                          "#include \"ui/lobby/A.h\"\n"));
        QVERIFY(writeFile(root.filePath(QStringLiteral("scripts/layers-allowed.txt")),
                          "src/ui/lobby/A.cpp: ui/settings/TForm2.h\n"));
        QString output;
        QCOMPARE(runCheck(root.path(), output), 0);
        QVERIFY2(output.contains(QStringLiteral("no longer included")), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(TestLayerCheck)
#include "tst_layercheck.moc"
