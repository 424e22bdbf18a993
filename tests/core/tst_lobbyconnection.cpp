#include "core/lobby/LobbyConnection.h"
#include "support/ScriptedServer.h"

#include <QSignalSpy>
#include <QTest>

using vantrell::core::LobbyConnection;

namespace {
// Every signal of the connection as one line of text, in the order they came.
class Recorder : public QObject
{
public:
    explicit Recorder(LobbyConnection& lobby)
    {
        connect(&lobby, &LobbyConnection::userListUpdated, this,
                [this](const QString& count, const QStringList& names) {
                    events << QStringLiteral("users:%1:%2").arg(count, names.join('|'));
                });
        connect(&lobby, &LobbyConnection::timedUserListUpdated, this,
                [this](const QStringList& names) {
                    events << QStringLiteral("timed:") + names.join('|');
                });
        connect(&lobby, &LobbyConnection::globalChatReceived, this,
                [this](const QString& nickname, const QString& text) {
                    events << QStringLiteral("chat:%1:%2").arg(nickname, text);
                });
        connect(&lobby, &LobbyConnection::yourRemoteIP, this,
                [this](const QString& address) { events << QStringLiteral("ip:") + address; });
        connect(&lobby, &LobbyConnection::wrongVersion, this,
                [this] { events << QStringLiteral("wrong"); });
        connect(&lobby, &LobbyConnection::roomsListUpdated, this,
                [this](const vantrell::lobby::NewRoomsListUpdate& update) {
                    events << QStringLiteral("rooms:%1").arg(update.rooms.size());
                });
        connect(&lobby, &LobbyConnection::disconnected, this,
                [this] { events << QStringLiteral("disconnected"); });
    }
    QStringList events;
};

void openTo(LobbyConnection& lobby)
{
    QSignalSpy connected(&lobby, &LobbyConnection::connected);
    lobby.open();
    QVERIFY(connected.wait(10000));
    QVERIFY(lobby.isOpen());
}
} // namespace

class TestLobbyConnection : public QObject
{
    Q_OBJECT

private slots:
    // What arrives on the wire, in however many pieces, and what the program makes of it.
    void receivedLinesAreDispatchedInOrder_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("user list, count shown as received")
            << QList<QByteArray>{"UserListUpdate,3,Ann,Bob\r\n"} << QStringList{"users:3:Ann|Bob"};
        QTest::newRow("empty user list")
            << QList<QByteArray>{"UserListUpdate,0\r\n"} << QStringList{"users:0:"};
        QTest::newRow("quoted nickname with comma")
            << QList<QByteArray>{"UserListUpdate,2,\"Smith, J\",Bob\r\n"}
            << QStringList{"users:2:Smith, J|Bob"};
        QTest::newRow("timed user list") << QList<QByteArray>{"UpdateTimedUserList~2~Ann~Bob\r\n"}
                                         << QStringList{"timed:Ann|Bob"};
        QTest::newRow("chat loses text after a further tilde")
            << QList<QByteArray>{"Globalchat~Ann~hi~there\r\n"} << QStringList{"chat:Ann:hi"};
        QTest::newRow("keyword in other case is ignored")
            << QList<QByteArray>{"globalchat~Ann~hi\r\nuserlistupdate,1,Ann\r\n"} << QStringList{};
        QTest::newRow("unknown keywords between known ones")
            << QList<QByteArray>{"Hello~x\r\nYourRemoteIP~203.0.113.9\r\nWhatever\r\n"}
            << QStringList{"ip:203.0.113.9"};
        QTest::newRow("bare LF and several lines in one piece")
            << QList<QByteArray>{"WrongVersion\nGlobalchat~A~1\r\nGlobalchat~B~2\n"}
            << QStringList{"wrong", "chat:A:1", "chat:B:2"};
        QTest::newRow("line split across pieces, CR apart from LF")
            << QList<QByteArray>{"Globalch", "at~Ann~he", "llo\r",
                                 "\nUpdateTimedUserList~1~Zed\r\n"}
            << QStringList{"chat:Ann:hello", "timed:Zed"};
        QTest::newRow("room list")
            << QList<QByteArray>{"NewRoomsListUpdate~0\r\n"} << QStringList{"rooms:0"};
    }
    void receivedLinesAreDispatchedInOrder()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, events);

        ScriptedServer server;
        LobbyConnection lobby(QStringLiteral("127.0.0.1"), server.port());
        Recorder recorder(lobby);
        openTo(lobby);
        QTRY_COMPARE(server.connectionCount(), 1);
        for (const QByteArray& chunk : chunks) {
            server.sendRaw(chunk);
            // Give each piece its own read on the client side.
            QTest::qWait(20);
        }
        // A marker line proves everything before it has been handled.
        server.sendLine(QStringLiteral("YourRemoteIP~end"));
        QTRY_VERIFY(recorder.events.contains(QStringLiteral("ip:end")));
        recorder.events.removeLast();
        QCOMPARE(recorder.events, events);
    }

    void sentLinesAreWholeAsciiLinesInOrder()
    {
        ScriptedServer server;
        LobbyConnection lobby(QStringLiteral("127.0.0.1"), server.port());
        openTo(lobby);
        lobby.ClientVersionCheck();
        lobby.SendUserDetails(QStringLiteral("Ann"), QStringLiteral("box-1"));
        lobby.sendGlobalChat(QStringLiteral("Ann"), QStringLiteral("J\u00f6rg was here"));
        lobby.requestRoomsList();
        QTRY_COMPARE(server.lines().size(), 4);
        QCOMPARE(server.lines(),
                 (QStringList{"ClientVersionCheck~Vantrex 3829", "AddNickName,Ann,box-1",
                              "Globalchat~Ann~J?rg was here", "RequestRoomsList"}));
    }

    void overlongLineClosesTheConnection()
    {
        ScriptedServer server;
        LobbyConnection lobby(QStringLiteral("127.0.0.1"), server.port());
        Recorder recorder(lobby);
        openTo(lobby);
        QTRY_COMPARE(server.connectionCount(), 1);
        server.sendRaw("Globalchat~Ann~" + QByteArray(20000, 'x') + "\r\nGlobalchat~Ann~after\r\n");
        QTRY_VERIFY(!lobby.isOpen());
        QCOMPARE(recorder.events, QStringList{"disconnected"});
    }

    void handlerClosingTheConnectionDropsTheRest()
    {
        ScriptedServer server;
        LobbyConnection lobby(QStringLiteral("127.0.0.1"), server.port());
        Recorder recorder(lobby);
        connect(&lobby, &LobbyConnection::wrongVersion, &lobby, &LobbyConnection::close);
        openTo(lobby);
        QTRY_COMPARE(server.connectionCount(), 1);
        server.sendRaw("Globalchat~A~before\r\nWrongVersion\r\nGlobalchat~A~after\r\n");
        QTRY_VERIFY(!lobby.isOpen());
        QCOMPARE(recorder.events, (QStringList{"chat:A:before", "wrong", "disconnected"}));
    }

    void refusedConnectionIsReportedOnce()
    {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        LobbyConnection lobby(QStringLiteral("127.0.0.1"), port);
        QSignalSpy failed(&lobby, &LobbyConnection::connectFailed);
        QSignalSpy disconnected(&lobby, &LobbyConnection::disconnected);
        lobby.open();
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.size(), 1);
        QVERIFY(!failed.first().first().toString().isEmpty());
        QCOMPARE(disconnected.size(), 0);
        QVERIFY(!lobby.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestLobbyConnection)
#include "tst_lobbyconnection.moc"
