// The start-up port mapping against a real Internet gateway daemon (miniupnpd with its
// nftables backend). The test builds its own small network out of namespaces:
//
//   LAN namespace            router namespace
//   eth0 10.77.0.2/24 <----> lan0 10.77.0.1/24   (veth)
//                            wan0 45.77.0.2/24 <-> wanpeer   (veth, both ends in the router)
//
// The WAN address only has to look public to the daemon; no traffic is ever sent to it.
// The test thread moves into the LAN namespace, so the mapper's worker thread (created from
// it) discovers and talks to the router exactly as the program would on a home network.
// Nothing is configured in the machine's own namespace.

#include "core/lobby/UPnPPortMapper.h"
#include "support/NetnsLab.h"

#include <memory>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <thread>

#include <QFile>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using vantrell::core::PortMappingRequest;
using vantrell::core::UPnPPortMapper;
using Outcome = UPnPPortMapper::Outcome;

namespace {

const QString kRouterLan = QStringLiteral("10.77.0.1");
const QString kClient = QStringLiteral("10.77.0.2");
constexpr int kHttpPort = 47000;
const QString kNamePrefix = QStringLiteral("vtupnp");

// A request as the daemon logged it when it arrived, refused ones included.
struct SeenRequest
{
    QString externalPort;
    QString internalClient;
    QString internalPort;
    QString protocol;
    QString description;
};

// A mapping read back from the gateway.
struct Entry
{
    int result = -1;
    QString internalClient;
    QString internalPort;
    QString description;
    QString enabled;
};

// Two namespaces, the veth links, the nft table the daemon fills, and the daemon itself.
// Everything is torn down by the lab, whatever state the test left it in.
class GatewayLab
{
public:
    // Builds the network. An empty string on success, otherwise what went wrong.
    QString build()
    {
        // Every step runs, in order; the first failure is the one that tells.
        for (const QString& error : {
                 m_net.addNamespace(kRouter),
                 m_net.addNamespace(kLan),
                 m_net.addVeth(kRouter, "lan0", kLan, "eth0"),
                 m_net.addVeth(kRouter, "wan0", kRouter, "wanpeer"),
                 m_net.ip(kRouter, {"addr", "add", kRouterLan + "/24", "dev", "lan0"}),
                 m_net.ip(kRouter, {"addr", "add", "45.77.0.2/24", "dev", "wan0"}),
                 m_net.ip(kLan, {"addr", "add", kClient + "/24", "dev", "eth0"}),
                 m_net.ip(kLan, {"route", "add", "default", "via", kRouterLan}),
             }) {
            if (!error.isEmpty())
                return error;
        }

        // The chains the daemon adds its rules to; its package leaves making them to us.
        const QString rules = QStringLiteral(
            "table inet filter {\n"
            "  chain forward { type filter hook forward priority 0; policy drop; jump miniupnpd; "
            "}\n"
            "  chain miniupnpd { }\n"
            "}\n"
            "table inet nat {\n"
            "  chain prerouting { type nat hook prerouting priority -100; policy accept;"
            " jump prerouting_miniupnpd; }\n"
            "  chain postrouting { type nat hook postrouting priority 100; policy accept;"
            " jump postrouting_miniupnpd; }\n"
            "  chain prerouting_miniupnpd { }\n"
            "  chain postrouting_miniupnpd { }\n"
            "}\n");
        const QString rulesPath = m_dir.filePath(QStringLiteral("gateway.nft"));
        if (!writeFile(rulesPath, rules))
            return QStringLiteral("cannot write %1").arg(rulesPath);
        const CommandResult nft = m_net.run(kRouter, findSbin("nft"), {"-f", rulesPath});
        if (nft.exitCode != 0)
            return QStringLiteral("nft: %1").arg(nft.output);
        return {};
    }

    // Starts the daemon with the given permission lines (first match wins) and waits until
    // it listens for discovery and for requests, or with "enable_upnp=no" for NAT-PMP and PCP.
    QString startDaemon(const QStringList& permissions)
    {
        m_permissions = permissions;
        const bool natPmp = permissions.contains(QStringLiteral("enable_upnp=no"));
        QString config = QStringLiteral("ext_ifname=wan0\n"
                                        "listening_ip=lan0\n"
                                        "http_port=%1\n"
                                        "enable_natpmp=no\n"
                                        "secure_mode=yes\n"
                                        "upnp_table_name=filter\n"
                                        "upnp_nat_table_name=nat\n"
                                        "upnp_forward_chain=miniupnpd\n"
                                        "upnp_nat_chain=prerouting_miniupnpd\n"
                                        "upnp_nat_postrouting_chain=postrouting_miniupnpd\n")
                             .arg(kHttpPort);
        for (const QString& line : permissions)
            config += line + '\n';
        const QString configPath = m_dir.filePath(QStringLiteral("miniupnpd.conf"));
        if (!writeFile(configPath, config))
            return QStringLiteral("cannot write %1").arg(configPath);

        m_daemon = m_net.start(
            kRouter, findSbin("miniupnpd"),
            {"-d", "-f", configPath, "-P", m_dir.filePath(QStringLiteral("miniupnpd.pid"))});
        QObject::connect(m_daemon, &QProcess::readyRead, m_daemon,
                         [this] { m_daemonLog += QString::fromLocal8Bit(m_daemon->readAll()); });
        if (!m_daemon->waitForStarted(10000))
            return QStringLiteral("miniupnpd did not start: %1").arg(m_daemon->errorString());

        for (int i = 0; i < 200; ++i) {
            if (listening("-uln", natPmp ? "5351" : "1900") &&
                (natPmp || listening("-tln", QString::number(kHttpPort))))
                return {};
            if (m_daemon->state() == QProcess::NotRunning)
                break;
            QTest::qWait(50);
        }
        return QStringLiteral("miniupnpd is not listening:\n%1").arg(m_daemonLog);
    }

    // Moves the calling thread (and every thread it creates later) into the LAN namespace.
    QString enterLan() { return m_net.enter(kLan); }

    QString daemonLog() const { return m_daemonLog; }

    // The router restarts: the daemon ends, the forwards go with it, and it comes up afresh.
    QString restartDaemon()
    {
        m_daemon->terminate();
        m_daemon->waitForFinished(10000);
        for (const QString chain : {"filter miniupnpd", "nat prerouting_miniupnpd"})
            m_net.run(kRouter, findSbin("nft"),
                      QStringList{"flush", "chain", "inet"} + chain.split(' '));
        return startDaemon(m_permissions);
    }

    // In place of the daemon: answers everything sent to the NAT-PMP port with `reply`.
    QString startFakeGateway(const QByteArray& reply)
    {
        m_net.enter(kRouter);
        QObject::connect(&m_fake, &QUdpSocket::readyRead, &m_fake, [this, reply] {
            m_fake.writeDatagram(m_fake.receiveDatagram().makeReply(reply));
        });
        return m_fake.bind(QHostAddress(kRouterLan), 5351) ? QString() : m_fake.errorString();
    }

    // The daemon's forwards in nftables; it matches the IP protocol byte (0x6 TCP, 0x11 UDP).
    QStringList forwards()
    {
        const CommandResult nft = m_net.run(
            kRouter, findSbin("nft"), {"list", "chain", "inet", "nat", "prerouting_miniupnpd"});
        return nft.output.split('\n').filter(QStringLiteral(" dnat ")).replaceInStrings("\t", "");
    }

    QList<SeenRequest> seenRequests() const
    {
        static const QRegularExpression line(QStringLiteral(
            "AddPortMapping: ext port (\\S*) to ([^:\\s]*):(\\S*) protocol (\\S+) for: (.*) "
            "leaseduration="));
        QList<SeenRequest> seen;
        for (auto it = line.globalMatch(m_daemonLog); it.hasNext();) {
            const auto m = it.next();
            seen.append(
                {m.captured(1), m.captured(2), m.captured(3), m.captured(4), m.captured(5)});
        }
        return seen;
    }

    // Reads mappings back from the gateway, from inside the LAN. Once the daemon has
    // answered these, everything the mapper sent before is in its log as well.
    QList<Entry> readBack(const QList<QPair<QString, QString>>& portsAndProtocols)
    {
        QList<Entry> entries;
        UPNPUrls urls{};
        IGDdatas data{};
        char lanAddress[64] = {};
        const QByteArray root =
            QStringLiteral("http://%1:%2/rootDesc.xml").arg(kRouterLan).arg(kHttpPort).toLatin1();
        if (UPNP_GetIGDFromUrl(root.constData(), &urls, &data, lanAddress, sizeof lanAddress) != 1)
            return entries;
        for (const auto& [port, protocol] : portsAndProtocols) {
            char client[16] = {}, internalPort[6] = {}, description[80] = {}, enabled[4] = {},
                 lease[16] = {};
            Entry entry;
            entry.result = UPNP_GetSpecificPortMappingEntry(
                urls.controlURL, data.first.servicetype, port.toLatin1().constData(),
                protocol.toLatin1().constData(), nullptr, client, internalPort, description,
                enabled, lease);
            entry.internalClient = QString::fromLatin1(client);
            entry.internalPort = QString::fromLatin1(internalPort);
            entry.description = QString::fromLatin1(description);
            entry.enabled = QString::fromLatin1(enabled);
            entries.append(entry);
        }
        FreeUPNPUrls(&urls);
        return entries;
    }

    // Waits until the daemon's log holds the text this many times.
    bool waitForLog(const QString& needle, int count)
    {
        for (int i = 0; i < 200 && m_daemonLog.count(needle) < count; ++i)
            QTest::qWait(50);
        return m_daemonLog.count(needle) >= count;
    }

private:
    bool listening(const QString& flags, const QString& port)
    {
        const CommandResult ss =
            m_net.run(kRouter, findSbin("ss"), {"-H", flags, "sport", "= :" + port});
        return ss.exitCode == 0 && !ss.output.trimmed().isEmpty();
    }

    static bool writeFile(const QString& path, const QString& text)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
    }

    static inline const QString kRouter = QStringLiteral("r");
    static inline const QString kLan = QStringLiteral("l");

    // The lab goes first: it ends the daemon, whose last words still land in the log, and only
    // then the daemon's folder goes.
    QTemporaryDir m_dir;
    QString m_daemonLog;
    QStringList m_permissions;
    NetnsLab m_net{kNamePrefix};
    QProcess* m_daemon = nullptr; // the lab's
    QUdpSocket m_fake;            // its socket is made in the namespace it binds in
};

} // namespace

class TestUPnPPortMapper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (const QString why = NetnsLab::unavailableReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY2(!findSbin("miniupnpd").isEmpty() && !findSbin("nft").isEmpty() &&
                     !findSbin("ss").isEmpty(),
                 "miniupnpd, nft or ss is missing: run scripts/setup");
    }

    void cleanup() { m_lab.reset(); }

    // The configured ports go to the gateway as typed, in the order room port, game port,
    // file server; the first refusal stops the rest and the success line stays away.
    void mapsThreePortsInOrderAndStopsAtRefusal_data()
    {
        QTest::addColumn<QString>("deniedPort");
        QTest::addColumn<int>("accepted");
        QTest::addColumn<Outcome>("outcome");

        QTest::newRow("all accepted") << QString() << 3 << Outcome::AllAdded;
        QTest::newRow("game port refused") << QStringLiteral("23513") << 1 << Outcome::Refused;
        QTest::newRow("file server refused") << QStringLiteral("27020") << 2 << Outcome::Refused;
    }

    void mapsThreePortsInOrderAndStopsAtRefusal()
    {
        QFETCH(QString, deniedPort);
        QFETCH(int, accepted);
        QFETCH(Outcome, outcome);

        QStringList permissions;
        if (!deniedPort.isEmpty())
            permissions << QStringLiteral("deny %1 10.77.0.0/24 0-65535").arg(deniedPort);
        permissions << QStringLiteral("allow 1024-65535 10.77.0.0/24 1024-65535")
                    << QStringLiteral("deny 0-65535 0.0.0.0/0 0-65535");
        startLab(permissions);
        if (QTest::currentTestFailed())
            return;

        UPnPPortMapper mapper;
        QSignalSpy added(&mapper, &UPnPPortMapper::mappingAdded);
        QSignalSpy refused(&mapper, &UPnPPortMapper::mappingRefused);
        QSignalSpy log(&mapper, &UPnPPortMapper::logLine);
        QSignalSpy finished(&mapper, &UPnPPortMapper::finished);
        QVERIFY(mapper.requestMappings(kClient, QStringLiteral("9000"), QStringLiteral("23513")));
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.takeFirst().at(0).value<Outcome>(), outcome);

        const QList<QPair<QString, QString>> expected = {
            {QStringLiteral("9000"), QStringLiteral("TCP")},
            {QStringLiteral("23513"), QStringLiteral("UDP")},
            {QStringLiteral("27020"), QStringLiteral("TCP")},
        };
        const QList<Entry> entries = m_lab->readBack(expected);
        QCOMPARE(entries.size(), 3);
        QVERIFY(m_lab->waitForLog(QStringLiteral("#GetSpecificPortMappingEntry"), 3));

        // What reached the gateway, in arrival order: the accepted ones and the refused one.
        const QList<SeenRequest> seen = m_lab->seenRequests();
        const int asked = outcome == Outcome::AllAdded ? 3 : accepted + 1;
        QCOMPARE(seen.size(), asked);
        for (int i = 0; i < asked; ++i) {
            QCOMPARE(seen[i].externalPort, expected[i].first);
            QCOMPARE(seen[i].internalPort, expected[i].first);
            QCOMPARE(seen[i].protocol, expected[i].second);
            QCOMPARE(seen[i].internalClient, kClient);
            QCOMPARE(seen[i].description, QStringLiteral("Form1"));
        }

        // What the gateway holds now: the accepted ones stay, nothing after them exists.
        for (int i = 0; i < 3; ++i) {
            if (i < accepted) {
                QCOMPARE(entries[i].result, 0);
                QCOMPARE(entries[i].internalClient, kClient);
                QCOMPARE(entries[i].internalPort, expected[i].first);
                QCOMPARE(entries[i].description, QStringLiteral("Form1"));
                QCOMPARE(entries[i].enabled, QStringLiteral("1"));
            } else {
                QVERIFY2(entries[i].result != 0, qPrintable(expected[i].first));
            }
        }

        QCOMPARE(added.size(), accepted);
        for (int i = 0; i < accepted; ++i)
            QCOMPARE(added[i].at(0).toInt(), i);
        if (outcome == Outcome::AllAdded) {
            QCOMPARE(refused.size(), 0);
            QCOMPARE(log.size(), 1);
            QCOMPARE(log[0].at(0).toString(),
                     QStringLiteral("Adding all three of the UPnP Ports to the router was "
                                    "successful."));
        } else {
            QCOMPARE(refused.size(), 1);
            QCOMPARE(refused[0].at(0).toInt(), accepted);
            QCOMPARE(refused[0].at(1).toInt(), 606); // Action not authorized
            QCOMPARE(log.size(), 0);
        }

        // The mappings are asked for once per run.
        QVERIFY(!mapper.requestMappings(kClient, QStringLiteral("9000"), QStringLiteral("23513")));
        QTest::qWait(100);
        QCOMPARE(finished.size(), 0);
    }

    // Without a network address nothing is asked: not even discovery reaches the gateway.
    void loopbackAddressAsksNothing()
    {
        startLab({QStringLiteral("allow 1024-65535 10.77.0.0/24 1024-65535")});
        if (QTest::currentTestFailed())
            return;

        UPnPPortMapper mapper;
        QSignalSpy log(&mapper, &UPnPPortMapper::logLine);
        QSignalSpy finished(&mapper, &UPnPPortMapper::finished);
        QVERIFY(mapper.requestMappings(QStringLiteral("127.0.0.1"), QStringLiteral("8501"),
                                       QStringLiteral("23513")));
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished[0].at(0).value<Outcome>(), Outcome::Skipped);

        const QList<Entry> entries = m_lab->readBack({{QStringLiteral("8501"), "TCP"}});
        QVERIFY(m_lab->waitForLog(QStringLiteral("#GetSpecificPortMappingEntry"), 1));
        QCOMPARE(entries.value(0).result == 0, false);
        QVERIFY2(!m_lab->daemonLog().contains(QStringLiteral("M-SEARCH")),
                 qPrintable(m_lab->daemonLog()));
        QCOMPARE(log.size(), 0);
    }

    // A network without a gateway: the work ends quietly.
    void noGatewayIsSilent()
    {
        m_lab = std::make_unique<GatewayLab>();
        const QString built = m_lab->build();
        QVERIFY2(built.isEmpty(), qPrintable(built));
        const QString entered = m_lab->enterLan();
        QVERIFY2(entered.isEmpty(), qPrintable(entered));

        UPnPPortMapper mapper;
        QSignalSpy added(&mapper, &UPnPPortMapper::mappingAdded);
        QSignalSpy log(&mapper, &UPnPPortMapper::logLine);
        QSignalSpy finished(&mapper, &UPnPPortMapper::finished);
        QVERIFY(mapper.requestMappings(kClient, QStringLiteral("8501"), QStringLiteral("23513")));
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished[0].at(0).value<Outcome>(), Outcome::NoGateway);
        QCOMPARE(added.size(), 0);
        QCOMPARE(log.size(), 0);
    }

    // No UPnP gateway: the three are leased through NAT-PMP, renewed while the mapper lives and
    // released at its end, also when it ends before its event loop heard of them; a router
    // that restarts has them at once again. Garbage, a short answer or an error code ends the
    // work quietly.
    void natPmpLeasesRenewsAndReleases_data()
    {
        QTest::addColumn<QByteArray>("fakeReply"); // hex; empty: the real daemon
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("daemon") << QByteArray() << Outcome::Leased;
        QTest::newRow("daemon, quits at once") << QByteArray() << Outcome::Leased;
        QTest::newRow("daemon restarts") << QByteArray() << Outcome::Leased;
        QTest::newRow("short") << QByteArray("0082000000000001") << Outcome::NoGateway;
        QTest::newRow("refused") << QByteArray("00820002000000012328000000000000")
                                 << Outcome::Refused;
    }

    void natPmpLeasesRenewsAndReleases()
    {
        QFETCH(QByteArray, fakeReply);
        QFETCH(Outcome, outcome);
        startLab(
            {"enable_natpmp=yes", "enable_upnp=no", "allow 1024-65535 10.77.0.0/24 1024-65535"},
            QByteArray::fromHex(fakeReply));
        if (QTest::currentTestFailed())
            return;
        const QByteArray tag = QTest::currentDataTag();
        // Renewal falls due at half the lease: 3600 s become 0.3 s (but after a restart
        // the three come back long before it).
        auto mapper = std::make_unique<UPnPPortMapper>(
            vantrell::core::Timing(tag == "daemon restarts" ? 1 : 12000));
        QSignalSpy log(mapper.get(), &UPnPPortMapper::logLine);
        QSignalSpy finished(mapper.get(), &UPnPPortMapper::finished);
        QSignalSpy renewed(mapper.get(), &UPnPPortMapper::leasesRenewed);
        QVERIFY(mapper->requestMappings(kClient, QStringLiteral("9000"), QStringLiteral("23513")));
        if (tag == "daemon, quits at once") { // the event loop never runs again
            for (int i = 0; i < 200 && m_lab->forwards().size() < 3; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            mapper.reset();
            QCOMPARE(m_lab->forwards(), QStringList());
            return;
        }
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished[0].at(0).value<Outcome>(), outcome);
        QCOMPARE(log.size(), outcome == Outcome::Leased ? 1 : 0);
        if (outcome != Outcome::Leased)
            return;
        QCOMPARE(log[0].at(0).toString(), QStringLiteral("Adding all three of the ports to the "
                                                         "router through NAT-PMP was successful."));
        const QStringList three = {
            "iif \"wan0\" @nh,72,8 0x6 th dport 9000 dnat ip to 10.77.0.2:9000",
            "iif \"wan0\" @nh,72,8 0x11 th dport 23513 dnat ip to 10.77.0.2:23513",
            "iif \"wan0\" @nh,72,8 0x6 th dport 27020 dnat ip to 10.77.0.2:27020"};
        QCOMPARE(m_lab->forwards(), three);
        if (tag == "daemon restarts") {
            QTest::qWait(4000); // the epoch the daemon gives now runs to four seconds
            const QString restarted = m_lab->restartDaemon();
            QVERIFY2(restarted.isEmpty(), qPrintable(restarted));
            QTRY_COMPARE_WITH_TIMEOUT(renewed.value(0).value(0).toInt(), 3, 10000);
            QCOMPARE(m_lab->forwards(), three);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(renewed.value(1).value(0).toInt(), 3, 20000); // twice, all
        }
        mapper.reset();
        QCOMPARE(m_lab->forwards(), QStringList());
    }

private:
    // With a fake reply, a scripted gateway stands in for the daemon.
    void startLab(const QStringList& permissions, const QByteArray& fake = {})
    {
        m_lab = std::make_unique<GatewayLab>();
        const QString built = m_lab->build();
        QVERIFY2(built.isEmpty(), qPrintable(built));
        const QString started =
            fake.isEmpty() ? m_lab->startDaemon(permissions) : m_lab->startFakeGateway(fake);
        QVERIFY2(started.isEmpty(), qPrintable(started));
        const QString entered = m_lab->enterLan();
        QVERIFY2(entered.isEmpty(), qPrintable(entered));
    }

    std::unique_ptr<GatewayLab> m_lab;
};

QTEST_GUILESS_MAIN(TestUPnPPortMapper)
#include "tst_upnpportmapper.moc"
