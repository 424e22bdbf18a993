// The main server's options, limits and life cycle: the real executable over real sockets.
#include "ServerHarness.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

using namespace vantrell;
using namespace vantrell::lobby;

class TestServerLimits : public QObject
{
    Q_OBJECT

private slots:
    void helpDocumentsEveryOption()
    {
        QProcess help;
        help.start(ServerProcess::executable(), {"--help"});
        QVERIFY(help.waitForFinished(10000));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromUtf8(help.readAllStandardOutput());
        for (const char* option :
             {"--address", "--port", "--version-token", "--timed-list-interval",
              "--user-list-min-gap", "--max-clients", "--max-clients-per-address",
              "--max-pending-output", "--flood-lines", "--flood-window", "--login-timeout",
              "--http", "--deny-file", "--motd", "--config", "--help"})
            QVERIFY2(text.contains(QLatin1String(option)), option);
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown") << QStringList{"--colour", "blue"};
        QTest::newRow("missing value") << QStringList{"--port"};
        QTest::newRow("port too big") << QStringList{"--port", "65536"};
        QTest::newRow("port not a number") << QStringList{"--port=44x"};
        QTest::newRow("negative interval") << QStringList{"--timed-list-interval", "-1"};
        QTest::newRow("zero clients") << QStringList{"--max-clients", "0"};
        QTest::newRow("negative login timeout") << QStringList{"--login-timeout", "-1"};
        QTest::newRow("bad address") << QStringList{"--address", "not-an-address", "--port", "0"};
    }
    void badOptionsAreRefused()
    {
        QFETCH(QStringList, arguments);
        QProcess server;
        server.start(ServerProcess::executable(), arguments);
        QVERIFY(server.waitForFinished(10000));
        QVERIFY(server.exitCode() != 0);
        QVERIFY(!server.readAllStandardError().isEmpty());
    }

    void overLongLineClosesTheConnection()
    {
        ServerProcess server;
        QVERIFY(server.start({"--user-list-min-gap", "0"}));
        LobbyClient watcher(server.port());
        QVERIFY(watcher.loginInOrder("Watcher"));
        LobbyClient talker(server.port());
        QVERIFY(talker.loginInOrder("Talker"));
        QVERIFY(watcher.waitForUserList({"Watcher", "Talker"}));

        // The longest line allowed is served normally...
        talker.sendLine("Unknown~" + std::string(16384 - 8, 'x'));
        QVERIFY(talker.roundTrip());
        // ...one character more, even before its line end arrives, ends the connection.
        talker.sendRaw(QByteArray(16386, 'y'));
        QVERIFY(talker.waitDisconnected());
        QVERIFY(watcher.waitForUserList({"Watcher"}));
        QVERIFY(server.waitForLog("line longer than 16384 characters"));
    }

    void clientThatNeverReadsIsDisconnected()
    {
        ServerProcess server;
        QVERIFY(server.start(
            {"--max-pending-output", "65536", "--flood-lines", "0", "--user-list-min-gap", "0"}));
        // A plain socket with a small receive buffer that the test never reads.
        const int sleepy = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(sleepy >= 0);
        const auto closeSleepy = qScopeGuard([&] { ::close(sleepy); });
        int small = 4096;
        ::setsockopt(sleepy, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server.port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(sleepy, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::string hello =
            encodeLine("ClientVersionCheck~Vantrex 3829") + encodeLine("AddNickName,Sleepy,PC");
        QCOMPARE(::send(sleepy, hello.data(), hello.size(), MSG_NOSIGNAL), ssize_t(hello.size()));
        QVERIFY(server.waitForLog("registered #1"));

        LobbyClient talker(server.port());
        QVERIFY(talker.loginInOrder("Talker"));
        QVERIFY(talker.waitForUserList({"Sleepy", "Talker"}));
        // Talk until the server gives up on the sleeper. The talker waits for its own lines
        // to come back before sending more, so that it never looks like a slow reader itself.
        const std::string text(8000, 'z');
        bool dropped = false;
        for (int round = 0; round < 4000 && !dropped; ++round) {
            for (int i = 0; i < 4; ++i)
                talker.send(GlobalChat{"Talker", text + std::to_string(round)});
            QVERIFY(talker.waitFor([&](const ServerMessage& m) {
                const auto* chat = std::get_if<GlobalChat>(&m);
                return chat && chat->text == text + std::to_string(round);
            }));
            for (int i = 0; i < 3; ++i)
                QVERIFY(talker.waitFor(
                    [](const ServerMessage& m) { return std::holds_alternative<GlobalChat>(m); }));
            dropped = talker.lastUserList() == QStringList{"1", "Talker"};
        }
        QVERIFY(talker.waitForUserList({"Talker"}));
        QVERIFY(server.waitForLog("not reading: more than 65536 bytes of output pending"));
        QVERIFY(talker.isConnected());
    }

    void connectionLimits_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("thirdSource");
        QTest::addColumn<bool>("thirdAccepted");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("total") << QStringList{"--max-clients", "2"} << "127.0.0.2" << false
                               << "server full (2 clients)";
        QTest::newRow("per address, same address")
            << QStringList{"--max-clients-per-address", "2"} << "127.0.0.1" << false
            << "too many clients from 127.0.0.1 (2)";
        QTest::newRow("per address, other address")
            << QStringList{"--max-clients-per-address", "2"} << "127.0.0.2" << true << "";
    }
    void connectionLimits()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, thirdSource);
        QFETCH(bool, thirdAccepted);
        QFETCH(QString, refusal);
        ServerProcess server;
        QVERIFY(server.start(options));
        LobbyClient first(server.port(), "127.0.0.1");
        LobbyClient second(server.port(), "127.0.0.1");
        QVERIFY(first.loginInOrder("One"));
        QVERIFY(second.loginInOrder("Two"));
        QVERIFY(second.waitForUserList({"One", "Two"}));

        LobbyClient third(server.port(), thirdSource);
        if (thirdAccepted) {
            QVERIFY(third.loginInOrder("Three"));
            QVERIFY(third.waitForUserList({"One", "Two", "Three"}));
        } else {
            QVERIFY(third.waitDisconnected());
            QVERIFY(server.waitForLog(refusal));
            // The slot comes back when a client leaves.
            first.disconnect();
            QVERIFY(second.waitForUserList({"Two"}));
            LobbyClient fourth(server.port(), thirdSource);
            QVERIFY(fourth.loginInOrder("Four"));
            QVERIFY(second.waitForUserList({"Two", "Four"}));
        }
    }

    void idleConnectionsLoseTheirSlotsToHonestLobbies()
    {
        // Four addresses, ten connections each, fill the server beside one honest user.
        // None of them passes the version check: some stay silent, some repeat a line the
        // server refuses before the check, some repeat a wrong version, some never finish
        // their first line.
        const int perAddress = 10;
        const QStringList sources{"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"};
        const int idle = perAddress * int(sources.size());
        ServerProcess server;
        QVERIFY(server.start({"--max-clients", QString::number(idle + 1),
                              "--max-clients-per-address", QString::number(perAddress),
                              "--login-timeout", "2", "--user-list-min-gap", "0"}));
        LobbyClient early(server.port());
        QVERIFY(early.loginInOrder("Early"));

        std::vector<std::unique_ptr<LobbyClient>> strangers;
        for (const auto& source : sources) {
            for (int i = 0; i < perAddress; ++i) {
                auto stranger = std::make_unique<LobbyClient>(server.port(), source);
                QVERIFY(stranger->isConnected());
                for (int repeat = 0; repeat < 20; ++repeat) {
                    if (source == "127.0.0.3")
                        stranger->sendLine("Globalchat~Spam~before the check");
                    else if (source == "127.0.0.4")
                        stranger->sendLine("ClientVersionCheck~Vantrex 1");
                }
                if (source == "127.0.0.5")
                    stranger->sendRaw("ClientVersionCheck~Vantrex 38");
                strangers.push_back(std::move(stranger));
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(server.countLog(" connect #"), idle + 1, 10000);

        // While they hold every slot an honest lobby is turned away...
        LobbyClient turnedAway(server.port());
        QVERIFY(turnedAway.waitDisconnected());
        QVERIFY(server.waitForLog("server full"));

        // ...and once the login timeout has passed they are gone and it gets in.
        QTRY_COMPARE_WITH_TIMEOUT(
            server.countLog("no accepted version check within the login timeout"), idle, 15000);
        for (const auto& stranger : strangers)
            QVERIFY(stranger->waitDisconnected());
        LobbyClient late(server.port());
        QVERIFY(late.loginInOrder("Late"));
        QVERIFY(late.waitForUserList({"Early", "Late"}));
        QVERIFY(early.isConnected());
        QVERIFY(early.roundTrip());

        // Each kind of refusal was logged once per connection, not once per line.
        QCOMPARE(server.countLog("line before an accepted version check ignored"), perAddress);
        QCOMPARE(server.countLog("wrong version"), perAddress);
    }

    void signalClosesEveryConnectionAndExitsZero_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalClosesEveryConnectionAndExitsZero()
    {
        QFETCH(int, signal);
        ServerProcess server;
        QVERIFY(server.start());
        LobbyClient ann(server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        LobbyClient bob(server.port());
        QVERIFY(ann.waitForUserList({"Ann"}));
        ::kill(static_cast<pid_t>(server.process().processId()), signal);
        QVERIFY(ann.waitDisconnected());
        QVERIFY(bob.waitDisconnected());
        QTRY_COMPARE_WITH_TIMEOUT(server.process().state(), QProcess::NotRunning, 10000);
        QCOMPARE(server.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.process().exitCode(), 0);
        QVERIFY(
            server.waitForLog("stopping: " + QString(signal == SIGTERM ? "SIGTERM" : "SIGINT")));
    }

    void logNamesEveryEvent()
    {
        ServerProcess server;
        QVERIFY(server.start());
        LobbyClient ann(server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        ann.send(AdvertiseRoom{"Ann", "1", "8501", "Room", "Blood Game", "NBlood", "1/4", "x.map",
                               "", "", "No"});
        ann.send(StopAdvertisingRoom{});
        QVERIFY(ann.roundTrip());
        ann.disconnect();
        QVERIFY(server.waitForLog("disconnect #1"));
        static const QRegularExpression stamped(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z "));
        const QStringList expected{" connect #1", "registered #1", "room 1 added by #1",
                                   "room 1 removed by #1", "disconnect #1"};
        for (const auto& event : expected)
            QCOMPARE(server.countLog(event), 1);
        for (const auto& line : server.log())
            QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
    }

    void keepAliveIsEnabled()
    {
        ServerProcess server;
        QVERIFY(server.start());
        LobbyClient ann(server.port());
        ann.send(ClientVersionCheck{"Vantrex 3829"});
        QVERIFY(ann.roundTrip());
        // The server's side of the connection carries the kernel's keep-alive timer.
        QProcess ss;
        ss.start("ss", {"-tnoH", "state", "established", "sport", "=",
                        ":" + QString::number(server.port())});
        if (!ss.waitForStarted(10000))
            QSKIP("ss from iproute2 is not installed");
        QVERIFY(ss.waitForFinished(10000));
        const QString out = QString::fromUtf8(ss.readAllStandardOutput());
        QVERIFY2(out.contains("timer:(keepalive"), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestServerLimits)
#include "tst_server_limits.moc"
