#include "base/lobby/MainServerCodec.h"
#include "core/common/Environment.h"
#include "core/common/HostInfo.h"
#include "core/lobby/LobbyConnection.h"
#include "core/lobby/LobbySession.h"
#include "support/ScriptedServer.h"

#include <QSignalSpy>
#include <QTest>

using namespace vantrell;

// What the lobby does on its own once connected, against a scripted main server.
class TestLobbySession : public QObject
{
    Q_OBJECT

private slots:
    void sessionSteps_data()
    {
        QTest::addColumn<QString>("serverSays");
        QTest::addColumn<bool>("gameRunning");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("roomsAsked");
        QTest::addColumn<bool>("updateOffered");

        const QString connected = "You are now connected to the Vantrell main server!";
        QTest::newRow("connected, room list refreshed")
            << QString() << false << QStringList{connected} << true << false;
        QTest::newRow("a game runs: no refresh")
            << QString() << true << QStringList{connected} << false << false;
        QTest::newRow("outdated version closes, then offers the update")
            << "WrongVersion" << false
            << QStringList{connected,
                           "You have an outdated version of Vantrex. Please download the most "
                           "recent version from https://maps.example.test/vantrex.zip.",
                           "Disconnected from the server."}
            << false << true;
    }
    void sessionSteps()
    {
        QFETCH(QString, serverSays);
        QFETCH(bool, gameRunning);
        QFETCH(QStringList, log);
        QFETCH(bool, roomsAsked);
        QFETCH(bool, updateOffered);

        const auto wire = [](const lobby::ClientMessage& message) {
            return QString::fromStdString(lobby::encodeClientMessage(message));
        };
        ScriptedServer server;
        core::Environment env;
        env.webHost = "maps.example.test";
        env.timing = core::Timing(100);
        core::LobbyConnection lobby("127.0.0.1", server.port());
        core::LobbySession session(env, lobby);
        QStringList lines;
        connect(&session, &core::LobbySession::logLine, this,
                [&lines](const QString& line) { lines << line; });
        QSignalSpy offers(&session, &core::LobbySession::updateOfferDue);
        QSignalSpy enabled(&session, &core::LobbySession::roomsListEnabledChanged);

        QVERIFY(session.open("Ann"));
        QVERIFY(!session.open("Ann")); // once only while connecting
        QTRY_COMPARE(server.lines().size(), 2);
        QCOMPARE(
            server.lines(),
            (QStringList{wire(lobby::ClientVersionCheck{std::string(lobby::kVersionToken)}),
                         wire(lobby::AddNickName{"Ann", core::hostComputerName().toStdString()})}));

        session.setRoomsListEnabled(!gameRunning);
        QCOMPARE(enabled.value(0).value(0).toBool(), !gameRunning);
        session.startRoomRefresh();
        if (!serverSays.isEmpty())
            server.sendLine(serverSays);
        // Past a few refresh periods (100 ms each here).
        QTest::qWait(400);
        QTRY_COMPARE(lines, log);
        QCOMPARE(server.lines().contains(wire(lobby::RequestRoomsList{})), roomsAsked);
        QCOMPARE(session.isOpen(), !updateOffered);
        QCOMPARE(offers.size(), updateOffered ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestLobbySession)
#include "tst_lobbysession.moc"
