// Two lobbies, each with its own program folder, against the real vantrell-server.

#include "ProgramFixture.h"
#include "server/ServerHarness.h"
#include "ui/lobby/TForm1.h"
#include "ui/settings/TForm3.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace vantrell;

namespace {
QStringList users(ui::TForm1& form)
{
    auto* list = form.findChild<QTreeWidget*>(QStringLiteral("usersOnline"));
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(0);
    return out;
}

QString clientsConnected(ui::TForm1& form)
{
    return form.findChild<QLineEdit*>(QStringLiteral("clientsConnectedBox"))->text();
}

QLineEdit* chatLine(ui::TForm1& form)
{
    return form.findChild<QLineEdit*>(QStringLiteral("chatLine"));
}

void login(ProgramFixture& program, const QString& nickname)
{
    program.start();
    program.form3->findChild<QLineEdit*>(QStringLiteral("lobbyNickname"))->setText(nickname);
    program.form1->connectClick();
    QTRY_VERIFY_WITH_TIMEOUT(program.form1->isConnected(), 10000);
}

void say(ProgramFixture& program, const QString& text)
{
    QTRY_VERIFY(chatLine(*program.form1)->isEnabled());
    chatLine(*program.form1)->setText(text);
    program.form1->sendClick();
}
} // namespace

class TestLobbyMainServer : public QObject
{
    Q_OBJECT

private slots:
    void twoLobbiesSeeEachOtherAndChat()
    {
        ServerProcess server;
        QVERIFY(server.start({"--user-list-min-gap", "0"}));
        ProgramFixture ann(server.port());
        ProgramFixture bob(server.port());
        QVERIFY(ann.folder() != bob.folder());

        login(ann, QStringLiteral("Ann"));
        QTRY_COMPARE(users(*ann.form1), QStringList{"Ann"});
        QCOMPARE(clientsConnected(*ann.form1), QStringLiteral("1"));
        login(bob, QStringLiteral("Bob"));
        for (ProgramFixture* program : {&ann, &bob}) {
            QTRY_COMPARE(users(*program->form1), (QStringList{"Ann", "Bob"}));
            QCOMPARE(clientsConnected(*program->form1), QStringLiteral("2"));
        }

        say(ann, QStringLiteral("hello Bob"));
        for (ProgramFixture* program : {&ann, &bob})
            QTRY_VERIFY(program->form1->lobbyLogLines().contains(QStringLiteral("Ann: hello Bob")));
        say(bob, QStringLiteral("hi"));
        QTRY_VERIFY(ann.form1->lobbyLogLines().contains(QStringLiteral("Bob: hi")));

        // Bob leaves: Ann's list shrinks, Bob's log says so.
        bob.form1->close();
        QTRY_COMPARE(users(*ann.form1), QStringList{"Ann"});
        QCOMPARE(clientsConnected(*ann.form1), QStringLiteral("1"));
    }

    // Two lines typed in quick succession: the second leaves only after the throttle, and
    // both arrive in order.
    void chatThrottleHoldsTheSecondLine()
    {
        ServerProcess server;
        QVERIFY(server.start({"--user-list-min-gap", "0"}));
        ProgramFixture ann(server.port());
        login(ann, QStringLiteral("Ann"));
        QLineEdit* chat = chatLine(*ann.form1);
        chat->setText(QStringLiteral("one"));
        QTest::keyClick(chat, Qt::Key_Return);
        chat->setText(QStringLiteral("two"));
        QTest::keyClick(chat, Qt::Key_Return);
        // Refused while throttled: the text stays in the (disabled) line.
        QCOMPARE(chat->text(), QStringLiteral("two"));
        QTRY_VERIFY(ann.form1->lobbyLogLines().contains(QStringLiteral("Ann: one")));
        QTRY_VERIFY(chat->isEnabled());
        QTest::keyClick(chat, Qt::Key_Return);
        QTRY_VERIFY(ann.form1->lobbyLogLines().contains(QStringLiteral("Ann: two")));
        const QStringList log = ann.form1->lobbyLogLines();
        QVERIFY(log.indexOf(QStringLiteral("Ann: one")) < log.indexOf(QStringLiteral("Ann: two")));
    }

    // The 10 s refresh asks for rooms only while "Get Rooms List" is enabled.
    void roomRefreshOnlyWhileGetRoomsListIsEnabled()
    {
        ServerProcess server;
        QVERIFY(server.start({"--user-list-min-gap", "0"}));
        ProgramFixture ann(server.port());
        QSignalSpy rooms(&ann.program->lobby(), &core::LobbyConnection::roomsListUpdated);
        login(ann, QStringLiteral("Ann"));
        QTRY_VERIFY(rooms.size() >= 2);

        ann.form1->setGetRoomsListEnabled(false);
        // The server answers in order: once this line is back, every earlier request is too.
        say(ann, QStringLiteral("marker one"));
        QTRY_VERIFY(ann.form1->lobbyLogLines().contains(QStringLiteral("Ann: marker one")));
        const qsizetype answered = rooms.size();
        QTest::qWait(static_cast<int>(ann.env.timing.interval(std::chrono::seconds(50)).count()));
        say(ann, QStringLiteral("marker two"));
        QTRY_VERIFY(ann.form1->lobbyLogLines().contains(QStringLiteral("Ann: marker two")));
        QCOMPARE(rooms.size(), answered);

        ann.form1->setGetRoomsListEnabled(true);
        QTRY_VERIFY(rooms.size() > answered);
    }

    void remoteAddressIsHandedOnAsASignal()
    {
        ServerProcess server;
        QVERIFY(server.start());
        ProgramFixture ann(server.port());
        login(ann, QStringLiteral("Ann"));
        QSignalSpy remote(&ann.program->lobby(), &core::LobbyConnection::yourRemoteIP);
        ann.program->lobby().send(lobby::ClientRequestRemoteIP{});
        QVERIFY(remote.wait(10000));
        QCOMPARE(remote.first().first().toString(), QStringLiteral("127.0.0.1"));
    }
};

QTEST_MAIN(TestLobbyMainServer)
#include "tst_lobbymainserver.moc"
