#include "Faults.h"

#include "Player.h"
#include "support/FaultRelay.h"

#include <algorithm>
#include <csignal>
#include <limits>
#include <map>

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

// ---- the main server ----

ServerProcess::~ServerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        resume();
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }
}

bool ServerProcess::start()
{
    m_process.setStandardOutputFile(QDir(m_params.root).filePath("server.log"), QIODevice::Append);
    m_process.setStandardErrorFile(QDir(m_params.root).filePath("server.log"), QIODevice::Append);
    m_process.start(m_params.serverProgram,
                    {"--address", "127.0.0.1", "--port", QString::number(m_params.serverPort),
                     "--timed-list-interval", "0", "--user-list-min-gap", "0.2"});
    if (!m_process.waitForStarted())
        return false;
    // Listening once a connection is taken.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_params.serverPort);
        if (probe.waitForConnected(100))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void ServerProcess::kill()
{
    m_earlierPeak = peakKiB();
    resume();
    m_process.kill();
    m_process.waitForFinished();
}

void ServerProcess::silence()
{
    if (isRunning())
        ::kill(static_cast<pid_t>(m_process.processId()), SIGSTOP);
}

void ServerProcess::resume()
{
    if (isRunning())
        ::kill(static_cast<pid_t>(m_process.processId()), SIGCONT);
}

long ServerProcess::status(const char* key) const
{
    QFile file(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!isRunning() || !file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<qsizetype>(std::strlen(key)))
                .trimmed()
                .split(' ')[0]
                .toLong();
    return 0;
}

long ServerProcess::peakKiB() const
{
    return std::max(m_earlierPeak, status("VmHWM:"));
}

int ServerProcess::openDescriptors() const
{
    if (!isRunning())
        return -1;
    return static_cast<int>(QDir(QStringLiteral("/proc/%1/fd").arg(m_process.processId()))
                                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                                .size());
}

QStringList ServerProcess::descriptors() const
{
    // Socket inodes to their TCP endpoints, where they have any.
    std::map<QString, QString> tcp;
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (table.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!table.atEnd()) {
            const QStringList fields =
                QString::fromLatin1(table.readLine()).split(' ', Qt::SkipEmptyParts);
            if (fields.size() > 9)
                tcp[fields[9]] =
                    tcpEndpoint(fields[1]) + " " + tcpEndpoint(fields[2]) + " " + fields[3];
        }
    }
    QStringList out;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(m_process.processId()));
    for (const QString& fd :
         fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        const QString target = QFile::symLinkTarget(fds.filePath(fd));
        const QString inode =
            target.startsWith(QLatin1String("socket:[")) ? target.mid(8).chopped(1) : QString();
        out << fd + " " + (tcp.count(inode) ? tcp[inode] : target);
    }
    return out;
}

// ---- faults ----

Faults::Faults(const SimParams& params, const SimClock& clock, SimFigures& figures, Ledger& ledger,
               std::vector<Player*> players, ServerProcess& server)
    : m_params(params), m_clock(clock), m_figures(figures), m_ledger(ledger),
      m_players(std::move(players)), m_server(server), m_random(params.seed ^ 0x5eedfau)
{
    m_playerTimer.setSingleShot(true);
    m_serverTimer.setSingleShot(true);
    connect(&m_playerTimer, &QTimer::timeout, this, [this] { playerFault(); });
    connect(&m_serverTimer, &QTimer::timeout, this, [this] { serverFault(); });
}

double Faults::uniform(double from, double to)
{
    return std::uniform_real_distribution<double>(from, to)(m_random);
}

void Faults::count(const char* kind)
{
    ++m_figures.faults[kind];
}

void Faults::start()
{
    m_playerTimer.start(m_clock.real(uniform(2, 8)));
    m_serverTimer.start(m_clock.real(uniform(30, 60)));
}

void Faults::stop()
{
    m_stopped = true;
    m_playerTimer.stop();
    m_serverTimer.stop();
    for (Player* player : m_players) {
        for (FaultRelay* relay : player->relays()) {
            relay->heal();
            for (auto direction : {FaultRelay::ToTarget, FaultRelay::FromTarget}) {
                relay->setLatency(direction, FaultRelay::Ms(0));
                relay->setRate(direction, 0);
            }
        }
    }
    if (!m_server.isRunning())
        m_server.start();
    m_server.resume();
}

double Faults::quietSince(int player) const
{
    const auto it = m_faultEnds.find(player);
    if (it == m_faultEnds.end())
        return 0;
    return it->second > m_clock.now() ? std::numeric_limits<double>::infinity() : it->second;
}

double Faults::serverQuietSince() const
{
    return m_serverFaultEnds > m_clock.now() ? std::numeric_limits<double>::infinity()
                                             : m_serverFaultEnds;
}

void Faults::playerFault()
{
    if (m_stopped)
        return;
    m_playerTimer.start(m_clock.real(uniform(2, 8)));
    std::vector<Player*> candidates;
    for (Player* player : m_players)
        if (player->isFaulted() && quietSince(player->index()) <= m_clock.now())
            candidates.push_back(player);
    if (candidates.empty())
        return;
    Player& player = *candidates[static_cast<std::size_t>(uniform(0, candidates.size()))];
    const int kind = static_cast<int>(uniform(0, 5));
    double duration = 0;
    const char* name = "";
    // Latency and rate are set on the relays of the moment; a room link opened during the
    // fault goes undisturbed, as a new route would.
    const auto apply = [&](auto&& change) {
        for (FaultRelay* relay : player.relays())
            change(*relay);
    };
    switch (kind) {
    case 0: {
        name = "delay";
        duration = uniform(10, 60);
        const auto latency = m_clock.real(uniform(0.2, 2.0));
        apply([&](FaultRelay& r) {
            r.setLatency(FaultRelay::ToTarget, latency);
            r.setLatency(FaultRelay::FromTarget, latency);
        });
        break;
    }
    case 1: {
        name = "rate cap";
        duration = uniform(10, 60);
        // Designed bytes per second; the sped-up program moves them that much faster.
        const auto rate = static_cast<qint64>(uniform(2048, 32768) * m_clock.speedUp());
        apply([&](FaultRelay& r) {
            r.setRate(FaultRelay::ToTarget, rate);
            r.setRate(FaultRelay::FromTarget, rate);
        });
        break;
    }
    case 2: {
        name = "stall";
        duration = uniform(5, 20);
        const auto direction = uniform(0, 1) < 0.5 ? FaultRelay::ToTarget : FaultRelay::FromTarget;
        apply([&](FaultRelay& r) { r.stall(direction, m_clock.real(duration)); });
        break;
    }
    case 3:
        name = "short partition";
        duration = uniform(2, 10);
        apply([&](FaultRelay& r) { r.cut(m_clock.real(duration)); });
        break;
    default:
        name = "long partition";
        duration = uniform(40, 120);
        apply([&](FaultRelay& r) { r.cut(m_clock.real(duration)); });
        break;
    }
    count(name);
    // A link is disturbed until the fault ends and what it held back has gone through.
    m_faultEnds[player.index()] = m_clock.now() + duration + 2.0;
    if (m_params.verbose)
        m_ledger.note(QStringLiteral("%1 on the links of %2 for %3 s")
                          .arg(QString::fromLatin1(name), player.nickname())
                          .arg(duration, 0, 'f', 1));
    if (kind <= 1) {
        QTimer::singleShot(m_clock.real(duration), this, [this, index = player.index()] {
            for (FaultRelay* relay : m_players[static_cast<std::size_t>(index)]->relays())
                for (auto direction : {FaultRelay::ToTarget, FaultRelay::FromTarget}) {
                    relay->setLatency(direction, FaultRelay::Ms(0));
                    relay->setRate(direction, 0);
                }
        });
    }
}

void Faults::serverFault()
{
    if (m_stopped)
        return;
    m_serverTimer.start(m_clock.real(uniform(45, 90)));
    // Killed and silent by turns, so a run of any length has as many of each.
    m_killTurn = !m_killTurn;
    if (m_killTurn) {
        const double down = uniform(3, 15);
        count("server killed");
        m_server.kill();
        m_serverFaultEnds = m_clock.now() + down + 1e6; // until it is back
        if (m_params.verbose)
            m_ledger.note(QStringLiteral("main server killed for %1 s").arg(down, 0, 'f', 1));
        QTimer::singleShot(m_clock.real(down), this, [this] {
            if (!m_server.isRunning() && !m_server.start())
                m_ledger.note(QStringLiteral("the main server did not start again"));
            m_serverFaultEnds = m_clock.now() + 2.0;
        });
    } else {
        const double silent = uniform(10, 60);
        count("server silent");
        m_server.silence();
        m_serverFaultEnds = m_clock.now() + silent + 2.0;
        if (m_params.verbose)
            m_ledger.note(QStringLiteral("main server silent for %1 s").arg(silent, 0, 'f', 1));
        QTimer::singleShot(m_clock.real(silent), this, [this] { m_server.resume(); });
    }
}
