#include "ProgramFixture.h"
#include "app/CommandLine.h"
#include "server/ServerHarness.h"
#include "support/Widgets.h"
#include "ui/lobby/TForm1.h"
#include "ui/settings/TForm3.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHostInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>

using namespace vantrell;

namespace {
QLineEdit* field(ProgramFixture& program, const char* name)
{
    return child<QLineEdit>(program.form3, name);
}

// Types each character as a key press, as a keyboard does (QTest::keyClicks knows ASCII only).
void type(QLineEdit* edit, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, c.toUpper().unicode(), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &release);
    }
}

bool mainMenusEnabled(ui::TForm1& form)
{
    return !menusEnabled(form).contains(false);
}
} // namespace

class TestNetworkingWindow : public QObject
{
    Q_OBJECT

private slots:
    void shortNicknamesAreStoredAsNoNick_data()
    {
        QTest::addColumn<QString>("lobby");
        QTest::addColumn<QString>("inGame");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("empty") << ""
                               << ""
                               << QByteArray("Launcher Nickname=NoNick\r\n"
                                             "In-Game Nickname=NoNick\r\n");
        QTest::newRow("one character") << "a"
                                       << "b"
                                       << QByteArray("Launcher Nickname=NoNick\r\n"
                                                     "In-Game Nickname=NoNick\r\n");
        QTest::newRow("two characters stay") << "ab"
                                             << "cd"
                                             << QByteArray("Launcher Nickname=ab\r\n"
                                                           "In-Game Nickname=cd\r\n");
    }
    void shortNicknamesAreStoredAsNoNick()
    {
        QFETCH(QString, lobby);
        QFETCH(QString, inGame);
        QFETCH(QByteArray, stored);
        ProgramFixture program;
        program.start();
        field(program, "lobbyNickname")->setText(lobby);
        field(program, "inGameNickname")->setText(inGame);
        program.form3->FormDeactivate();
        QVERIFY(program.readConfig().contains("[Nicknames]\r\n" + stored));
        // The fields and the main window show what was stored.
        QVERIFY(stored.contains(program.form3->lobbyNickname().toLatin1()));
        QCOMPARE(program.form1->lobbyNickname(), program.form3->lobbyNickname());
    }

    void typingIsFiltered_data()
    {
        QTest::addColumn<QString>("fieldName");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("space and dot dropped") << "lobbyNickname"
                                               << "a b.c"
                                               << "abc";
        QTest::newRow("every allowed sign") << "lobbyNickname"
                                            << "(x)*-[y]_{z}9"
                                            << "(x)*-[y]_{z}9";
        QTest::newRow("other signs dropped") << "inGameNickname"
                                             << "a!@#$%^&~,b"
                                             << "ab";
        QTest::newRow("non-ASCII letter dropped") << "inGameNickname"
                                                  << "J\u00f6rg"
                                                  << "Jrg";
        QTest::newRow("in-game limit 10") << "inGameNickname"
                                          << "abcdefghijkl"
                                          << "abcdefghij";
        QTest::newRow("port digits only") << "udpPort"
                                          << "1a2 3-4"
                                          << "1234";
        QTest::newRow("port limit 5") << "tcpPort"
                                      << "1234567"
                                      << "12345";
    }
    void typingIsFiltered()
    {
        QFETCH(QString, fieldName);
        QFETCH(QString, typed);
        QFETCH(QString, result);
        ProgramFixture program;
        QLineEdit* edit = field(program, fieldName.toLatin1().constData());
        edit->clear();
        type(edit, typed);
        QCOMPARE(edit->text(), result);
        // Backspace still works.
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), result.chopped(1));
    }

    void nicknameFieldsRefuseCopyAndPaste()
    {
        ProgramFixture program;
        QLineEdit* edit = field(program, "lobbyNickname");
        QGuiApplication::clipboard()->setText(QStringLiteral("Pasted"));
        edit->setText(QStringLiteral("Ann"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QStringLiteral("Ann"));
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(edit->text(), QStringLiteral("Ann"));
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Pasted"));
        QCOMPARE(edit->contextMenuPolicy(), Qt::NoContextMenu);
    }

    void typedNicknameShowsInTheMainWindowAtOnce()
    {
        ProgramFixture program;
        QLineEdit* edit = field(program, "lobbyNickname");
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("Zed"));
        QCOMPARE(program.form1->lobbyNickname(), QStringLiteral("Zed"));
    }

    // Showing the window locks the main window and loads the file; closing it saves and
    // unlocks.
    void activationLoadsAndLocksClosingSavesAndUnlocks()
    {
        ProgramFixture program;
        program.start();
        program.writeConfig("[Nicknames]\r\nLauncher Nickname=Fromfile\r\n"
                            "[Configured Ports]\r\nUDPPort=30000\r\nTCPPort=9000\r\n");
        program.form3->show();
        program.form3->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(program.form3));
        QCOMPARE(program.form3->lobbyNickname(), QStringLiteral("Fromfile"));
        QCOMPARE(program.form1->lobbyNickname(), QStringLiteral("Fromfile"));
        QCOMPARE(program.form3->inGameNickname(), QStringLiteral("BuildGamer"));
        QCOMPARE(program.form3->udpPort(), QStringLiteral("30000"));
        QCOMPARE(program.form3->tcpPort(), QStringLiteral("9000"));
        // No "UPnP" section: unticked.
        QVERIFY(!program.form3->upnpEnabled());
        QVERIFY(!mainMenusEnabled(*program.form1));

        field(program, "tcpPort")->setText(QString());
        program.form3->close();
        QVERIFY(mainMenusEnabled(*program.form1));
        const QByteArray saved = program.readConfig();
        QVERIFY(saved.contains("TCPPort=\r\n"));
        QVERIFY(saved.contains("[UPnP]\r\nUPnP Checkbox=0\r\n"));
    }

    // Connect goes to the main server chosen for the run (by the name "localhost"), then,
    // once the player types another in the field (an address), to that one; the field's
    // text is checked as typed, and only its choice is saved. Nothing listens at the
    // built-in address.
    void connectGoesToTheChosenMainServer()
    {
        ServerProcess first;
        ServerProcess second;
        QVERIFY(first.start() && second.start());
        const std::string forRun = "localhost:" + std::to_string(first.port());
        const app::CommandLine line = app::readCommandLine(
            {"-platform", "xcb", "--style", "Fusion", "-reverse", "--server", forRun});
        // A misspelt option ends the run; so does --version, once it is printed.
        QCOMPARE(app::readCommandLine({"--sever", forRun}).exitCode, 2);
        QCOMPARE(app::readCommandLine({"--version"}).exitCode, 0);
        ProgramFixture program(1, 50, {}, nullptr, QString::fromStdString(line.server));
        program.start();
        program.form1->connectClick();
        QVERIFY(first.waitForLog(QStringLiteral("registered #1")));
        program.program->lobby().close();

        program.form3->show();
        program.form3->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(program.form3));
        QLineEdit* server = field(program, "mainServer");
        const auto* note = child<QLabel>(program.form3, "mainServerNote");
        QVERIFY(note->text().contains(QString::fromStdString(forRun)));
        QTest::keyClicks(server, QStringLiteral("127.0.0.1:"));
        QCOMPARE(note->text(), QStringLiteral("The port after \":\" is missing."));
        const QString chosen = QStringLiteral("127.0.0.1:%1").arg(second.port());
        // On its way to a port too high the text reads as a server: nothing is taken before
        // the player is done, and a text that does not read keeps nothing.
        QTest::keyClicks(server, QString::number(second.port()) + "0");
        program.form3->FormDeactivate();
        QVERIFY(!program.readConfig().contains("[Main Server]"));
        QTest::keyClick(server, Qt::Key_Backspace);
        program.form3->close();
        QVERIFY(note->text().isEmpty());
        QVERIFY(program.readConfig().endsWith("[Main Server]\r\nAddress=" + chosen.toLatin1() +
                                              "\r\n"));

        program.form1->connectClick();
        QVERIFY(second.waitForLog(QStringLiteral("registered #1")));
        QCOMPARE(first.countLog(QStringLiteral("registered")), 1);
        QVERIFY(program.messages.texts().isEmpty());

        // The next start goes to the saved choice.
        program.program->lobby().close();
        ProgramFixture next(1, 50, program.folder());
        next.start();
        next.form1->connectClick();
        QTRY_COMPARE(second.countLog(QStringLiteral("registered")), 2);
    }

    // A name the system cannot resolve fails as a refused connection does, with the system's
    // text. Only where the lookup cannot leave the machine.
    void unresolvableNameIsAConnectionError()
    {
        if (qEnvironmentVariable("VANTRELL_OWN_NETWORK") != QLatin1String("1"))
            QSKIP("needs a network of its own (tests/support/in-network-namespace)");
        const QString name = QStringLiteral("no-such-main-server.invalid");
        const QString systemText = QHostInfo::fromName(name).errorString();
        QVERIFY(!systemText.isEmpty());
        ProgramFixture program(1, 50, {}, nullptr, name);
        program.start();
        program.form1->connectClick();
        QTRY_COMPARE(program.messages.texts(),
                     QStringList{"CLIENT CONNECTION ERROR, server might be down! " + systemText});
    }

    void failedSaveIsReported()
    {
        QTemporaryDir dir;
        const QString notAFolder = QDir(dir.path()).filePath(QStringLiteral("file"));
        QFile(notAFolder).open(QIODevice::WriteOnly);
        const QString folder = notAFolder + QStringLiteral("/program");
        ProgramFixture program(4444, 50, folder);
        program.form3->FormDeactivate();
        QCOMPARE(program.messages.texts(),
                 QStringList{QStringLiteral("Unable to write to ") +
                             QDir(folder).filePath(QStringLiteral("vantrel.cfg"))});
    }
};

QTEST_MAIN(TestNetworkingWindow)
#include "tst_networkingwindow.moc"
