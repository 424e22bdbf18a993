// What a community runs beside the lobby: the status pages (curl as the web client), the ban
// list, the message of the day and the configuration file, against the real server.
#include "ServerHarness.h"

#include <csignal>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;
using namespace vantrell::lobby;

namespace {

struct Fetched
{
    int status = 0;
    QByteArray body;
};

// One request with the real client; the status code comes last on its own line.
Fetched curl(quint16 port, const QString& path, const QStringList& options = {})
{
    QProcess process;
    process.start("curl", QStringList{"-s", "-o", "-", "-w", "\n%{http_code}", "--max-time", "20"} +
                              options +
                              QStringList{QString("http://127.0.0.1:%1%2").arg(port).arg(path)});
    process.waitForFinished(30000);
    QByteArray out = process.readAllStandardOutput();
    const qsizetype lf = out.lastIndexOf('\n');
    return {out.mid(lf + 1).toInt(), out.left(lf)};
}

quint16 httpPort(ServerProcess& server)
{
    if (!server.waitForLog("status pages on"))
        return 0;
    static const QRegularExpression pattern(QStringLiteral("status pages on http://[^:]+:(\\d+)/"));
    for (const auto& line : server.log())
        if (const auto match = pattern.match(line); match.hasMatch())
            return static_cast<quint16>(match.captured(1).toUInt());
    return 0;
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

} // namespace

class TestServerHttp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The command line wins over the file: the file's token would refuse every lobby.
        writeFile(m_dir.filePath("server.conf"),
                  "# status pages for the tests\nhttp = 127.0.0.1:0  # loopback\n"
                  "version-token = Old 1\n");
        // A wrong version that is never closed by its client is closed by the login limit.
        QVERIFY(m_server.start({"--config", m_dir.filePath("server.conf"),
                                "--version-token=Vantrex 3829", "--login-timeout=0.3"}));
        m_http = httpPort(m_server);
        QVERIFY(m_http != 0);
    }

    void pagesShowTheLobby()
    {
        LobbyClient ann(m_server.port()), bob(m_server.port()), old(m_server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        QVERIFY(bob.loginInOrder("Bob"));
        ann.send(AdvertiseRoom{"Ann", "1", "8501", "<script>", "Blood Game", "NBlood", "2/8",
                               "E1M1", "", "", "Yes"});
        QVERIFY(ann.roundTrip());
        old.sendLine("ClientVersionCheck~Vantrex 1");
        QVERIFY(old.waitFor(
            [](const ServerMessage& m) { return std::holds_alternative<WrongVersion>(m); }));
        QVERIFY(old.waitDisconnected());

        const Fetched json = curl(m_http, "/status.json");
        QCOMPARE(json.status, 200);
        QVERIFY2(!json.body.contains("127.0.0.1"), "the public page shows no address");
        const QJsonObject status = QJsonDocument::fromJson(json.body).object();
        QCOMPARE(status["server"].toString(), "vantrell-server");
        QCOMPARE(status["clients"].toInt(), 2);
        QCOMPARE(status["users"].toArray(), QJsonArray({"Ann", "Bob"}));
        const QJsonObject room = status["rooms"].toArray().at(0).toObject();
        QCOMPARE(room, QJsonObject({{"name", "<script>"},
                                    {"game", "Blood Game"},
                                    {"sourcePort", "NBlood"},
                                    {"players", "2/8"},
                                    {"map", "E1M1"},
                                    {"gameType", ""},
                                    {"skill", ""},
                                    {"inGame", true},
                                    {"private", true}}));

        const Fetched page = curl(m_http, "/");
        QCOMPARE(page.status, 200);
        QVERIFY(page.body.contains("<td>&lt;script&gt;</td>"));
        QVERIFY(!page.body.contains("<script"));
        QVERIFY(page.body.contains("<meta http-equiv=\"refresh\" content=\"30\">"));

        const QByteArray metrics = curl(m_http, "/metrics").body;
        for (const char* line :
             {"vantrell_connections_open 2", "vantrell_registered_users 2", "vantrell_rooms 1",
              "vantrell_refusals_total{reason=\"wrong_version\"} 1",
              "vantrell_refusals_total{reason=\"login_timeout\"} 0",
              "vantrell_http_requests_total{status=\"200\"} 2"})
            QVERIFY2(metrics.contains(QByteArray(line) + "\n"), line);
    }

    void limits_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::newRow("head") << "/status.json" << QStringList{"-I"} << 200;
        QTest::newRow("query ignored") << "/metrics?x=1" << QStringList{} << 200;
        QTest::newRow("post") << "/" << QStringList{"-X", "POST"} << 405;
        QTest::newRow("post with a body") << "/" << QStringList{"-d", "name=value"} << 405;
        QTest::newRow("delete") << "/status.json" << QStringList{"-X", "DELETE"} << 405;
        QTest::newRow("unknown path") << "/admin" << QStringList{} << 404;
        QTest::newRow("head over 8 KiB")
            << "/" << QStringList{"-H", "X-Pad: " + QString(8200, 'a')} << 431;
        // The second request on one connection: 4 KiB of fields and 5 KiB of request line.
        QTest::newRow("request line and fields over 8 KiB")
            << "/?" + QString(5000, 'a')
            << QStringList{"-H", "X-Pad: " + QString(4000, 'b'), "http://127.0.0.1:PORT/"} << 431;
        QTest::newRow("head just under 8 KiB")
            << "/" << QStringList{"-H", "X-Pad: " + QString(7900, 'a')} << 200;
    }
    void limits()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        options.replaceInStrings("PORT", QString::number(m_http));
        QCOMPARE(curl(m_http, path, options).status, status);
    }

    void slowHeadsAreCutWhileTheLobbyIsServed()
    {
        // Every slot taken by a head that never ends: the next connection is closed at once,
        // the lobby goes on, and the time-out frees the slots again.
        std::vector<std::unique_ptr<QTcpSocket>> slow;
        for (int i = 0; i < 64; ++i) {
            slow.push_back(std::make_unique<QTcpSocket>());
            slow.back()->connectToHost(QHostAddress::LocalHost, m_http);
            QVERIFY(slow.back()->waitForConnected(5000));
            slow.back()->write("GET / HTTP/1.1\r\nX-Slow: ");
        }
        LobbyClient ann(m_server.port());
        QVERIFY(ann.loginInOrder("Ann"));
        QVERIFY(ann.roundTrip());
        QCOMPARE(curl(m_http, "/status.json").status, 0); // closed unanswered
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(slow.begin(), slow.end(),
                                             [](const auto& s) {
                                                 return s->state() ==
                                                        QAbstractSocket::UnconnectedState;
                                             }),
                                 20000);
        QCOMPARE(curl(m_http, "/status.json").status, 200);
    }

    void banListAndMessageOfTheDayReload()
    {
        const QString deny = m_dir.filePath("deny"), motd = m_dir.filePath("motd");
        writeFile(deny, "# nobody yet\n192.0.2.0/24\n");
        writeFile(motd, "Welcome ~ have fun\n\nRules: none\n");
        ServerProcess server;
        QVERIFY(server.start({"--deny-file", deny, "--motd", motd, "--http", "127.0.0.1:0"}));

        LobbyClient ann(server.port(), "127.0.0.2");
        ann.login("Ann");
        QVERIFY(ann.waitForLine("Globalchat~Server~Welcome - have fun"));
        QVERIFY(ann.waitForLine("Globalchat~Server~Rules: none"));

        writeFile(deny, "127.0.0.2 # Ann\n::ffff:127.0.0.3/128\n");
        writeFile(motd, "New rules\n");
        ::kill(static_cast<pid_t>(server.process().processId()), SIGHUP);
        QVERIFY(server.waitForLog("reload: message of the day"));
        QVERIFY(ann.waitDisconnected()); // already connected, banned all the same
        for (const char* source : {"127.0.0.2", "127.0.0.3"}) {
            LobbyClient denied(server.port(), source);
            denied.login("Mallory");
            QVERIFY(denied.waitDisconnected());
            QVERIFY(denied.lines().empty());
        }
        QTRY_COMPARE(server.countLog("address on the ban list"), 3);
        LobbyClient bob(server.port());
        bob.login("Bob");
        QVERIFY(bob.waitForLine("Globalchat~Server~New rules"));

        // A list that does not parse leaves the previous one in force.
        writeFile(deny, "127.0.0.9\n300.1.2.3\n");
        ::kill(static_cast<pid_t>(server.process().processId()), SIGHUP);
        QVERIFY(server.waitForLog("line 2: \"300.1.2.3\""));
        LobbyClient again(server.port(), "127.0.0.2");
        QVERIFY(again.waitDisconnected());
        QVERIFY(curl(httpPort(server), "/metrics").body.contains("reason=\"denied\"} 4\n"));
    }

    void banListRanges_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("denied");
        QTest::addColumn<bool>("warned");
        QTest::newRow("::/0") << QByteArray("::/0") << true << true;
        QTest::newRow("the mapped space") << QByteArray("::ffff:0:0/96") << true << true;
        QTest::newRow("::/1") << QByteArray("::/1") << true << true;
        QTest::newRow("mapped /104") << QByteArray("::ffff:127.0.0.0/104") << true << false;
        QTest::newRow("other mapped /104") << QByteArray("::ffff:10.0.0.0/104") << false << false;
        QTest::newRow("ipv6 only") << QByteArray("2001:db8::/32") << false << false;
        QTest::newRow("ipv4 /30") << QByteArray("127.0.0.0/30") << true << false;
        QTest::newRow("ipv4 /31") << QByteArray("127.0.0.0/31") << false << false;
        QTest::newRow("all of ipv4") << QByteArray("0.0.0.0/0") << true << false;
    }
    void banListRanges()
    {
        QFETCH(QByteArray, entry);
        QFETCH(bool, denied);
        QFETCH(bool, warned);
        const QString deny = m_dir.filePath("ranges");
        writeFile(deny, entry + "\n");
        // Listening on "::", an IPv4 client arrives as ::ffff:127.0.0.2.
        ServerProcess server;
        if (!server.start({"--address", "::", "--deny-file", deny}))
            QSKIP("no dual-stack listening here");
        LobbyClient client(server.port(), "127.0.0.2");
        if (denied)
            QVERIFY(client.waitDisconnected());
        else
            QVERIFY(client.loginInOrder("Ann"));
        QCOMPARE(server.countLog("bans every IPv4 client too"), warned ? 1 : 0);
    }

    void badFilesStopTheStart_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown key") << "--config" << QByteArray("port = 0\ncolour = blue\n")
                                     << ":2: unknown option \"colour\"";
        QTest::newRow("bad value") << "--config" << QByteArray("# x\n\nflood-window = 0\n")
                                   << ":3: bad value for flood-window";
        QTest::newRow("host name for http")
            << "--config" << QByteArray("http = localhost:80\n") << ":1: bad value for http";
        QTest::newRow("no equals") << "--config" << QByteArray("port 4444\n") << ":1: expected";
        QTest::newRow("no nesting")
            << "--config" << QByteArray("config = other\n") << ":1: unknown option \"config\"";
        QTest::newRow("bad range")
            << "--deny-file" << QByteArray("10.0.0.0/33\n") << "line 1: bad prefix length";
        QTest::newRow("bad address") << "--deny-file" << QByteArray("# ok\n::1\nnot-an-address\n")
                                     << "line 3: \"not-an-address\" is not";
        QTest::newRow("key twice") << "--config" << QByteArray("port = 0\n# x\nport = 1\n")
                                   << ":3: port given again (first on line 1)";
        QTest::newRow("empty value") << "--config" << QByteArray("version-token =  # none\n")
                                     << ":1: version-token needs a value";
        QTest::newRow("unreadable") << "--motd" << QByteArray() << "cannot read";
        QTest::newRow("motd past the output limit")
            << "--motd" << QByteArray("x\n").repeated(20000) << "half of max-pending-output";
    }
    void badFilesStopTheStart()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, contents);
        QFETCH(QString, error);
        const QString path = m_dir.filePath(QTest::currentDataTag());
        if (!contents.isEmpty())
            writeFile(path, contents);
        QProcess server;
        server.start(ServerProcess::executable(), {option, path, "--port", "0"});
        QVERIFY(server.waitForFinished(10000));
        QCOMPARE(server.exitCode(), 2);
        const QString stderrText = QString::fromUtf8(server.readAllStandardError());
        QVERIFY2(stderrText.contains(path) && stderrText.contains(error), qPrintable(stderrText));
    }

private:
    QTemporaryDir m_dir;
    ServerProcess m_server;
    quint16 m_http = 0;
};

QTEST_GUILESS_MAIN(TestServerHttp)
#include "tst_server_http.moc"
