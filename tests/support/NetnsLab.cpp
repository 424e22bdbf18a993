#include "support/NetnsLab.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

CommandResult runCommand(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("%1 did not finish: %2").arg(program, process.errorString())};
    }
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {code, QString::fromLocal8Bit(process.readAll())};
}

QString findSbin(const QString& name)
{
    return QStandardPaths::findExecutable(name,
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                           QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
}

namespace {

// A killed run may linger a moment as a zombie; that counts as gone.
bool processAlive(const QString& pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype afterName = text.lastIndexOf(')');
    return afterName < 0 || text.mid(afterName + 2, 1) != "Z";
}

QString failure(const QString& what, const CommandResult& result)
{
    return result.exitCode == 0 ? QString() : QStringLiteral("%1: %2").arg(what, result.output);
}

} // namespace

NetnsLab::NetnsLab(const QString& prefix) : m_prefix(prefix), m_ip(findSbin(QStringLiteral("ip")))
{
    static int serial = 0;
    m_suffix = QStringLiteral("%1-%2").arg(::getpid()).arg(++serial);
    removeLeftovers(prefix);
}

NetnsLab::~NetnsLab()
{
    leave();
    for (auto& process : m_processes) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    m_processes.clear();
    // Deleting a namespace also deletes the veth ends inside it, and with them their peers.
    for (auto it = m_tags.crbegin(); it != m_tags.crend(); ++it)
        runCommand(m_ip, {QStringLiteral("netns"), QStringLiteral("delete"), name(*it)});
}

QString NetnsLab::unavailableReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("network namespaces need root");
    const QString ip = findSbin(QStringLiteral("ip"));
    if (ip.isEmpty() ||
        runCommand(ip, {QStringLiteral("netns"), QStringLiteral("list")}).exitCode != 0)
        return QStringLiteral("'ip netns' is not available here");
    return {};
}

void NetnsLab::removeLeftovers(const QString& prefix)
{
    const QRegularExpression ours(
        QStringLiteral("^%1-.+-(\\d+)-\\d+$").arg(QRegularExpression::escape(prefix)));
    const QString ip = findSbin(QStringLiteral("ip"));
    const CommandResult list = runCommand(ip, {QStringLiteral("netns"), QStringLiteral("list")});
    for (const QString& line : list.output.split('\n', Qt::SkipEmptyParts)) {
        const QString name = line.section(' ', 0, 0);
        const auto m = ours.match(name);
        if (m.hasMatch() && !processAlive(m.captured(1)))
            runCommand(ip, {QStringLiteral("netns"), QStringLiteral("delete"), name});
    }
}

QString NetnsLab::addNamespace(const QString& tag)
{
    if (m_tags.contains(tag))
        return QStringLiteral("namespace %1 made twice").arg(tag);
    const QString full = name(tag);
    const CommandResult added =
        runCommand(m_ip, {QStringLiteral("netns"), QStringLiteral("add"), full});
    if (added.exitCode != 0)
        return failure(QStringLiteral("ip netns add %1").arg(full), added);
    m_tags << tag;
    return ip(tag, {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                    QStringLiteral("up")});
}

QString NetnsLab::name(const QString& tag) const
{
    return QStringLiteral("%1-%2-%3").arg(m_prefix, tag, m_suffix);
}

QStringList NetnsLab::names() const
{
    QStringList all;
    for (const QString& tag : m_tags)
        all << name(tag);
    return all;
}

QString NetnsLab::addVeth(const QString& tagA, const QString& interfaceA, const QString& tagB,
                          const QString& interfaceB)
{
    QStringList link{QStringLiteral("link"),
                     QStringLiteral("add"),
                     interfaceA,
                     QStringLiteral("type"),
                     QStringLiteral("veth"),
                     QStringLiteral("peer"),
                     QStringLiteral("name"),
                     interfaceB};
    if (tagB != tagA)
        link << QStringLiteral("netns") << name(tagB);
    QString error = ip(tagA, link);
    if (error.isEmpty())
        error = ip(tagA, {QStringLiteral("link"), QStringLiteral("set"), interfaceA,
                          QStringLiteral("up")});
    if (error.isEmpty())
        error = ip(tagB, {QStringLiteral("link"), QStringLiteral("set"), interfaceB,
                          QStringLiteral("up")});
    return error;
}

QString NetnsLab::ip(const QString& tag, const QStringList& arguments)
{
    const QStringList full = QStringList{QStringLiteral("-n"), name(tag)} + arguments;
    return failure(QStringLiteral("ip %1").arg(full.join(' ')), runCommand(m_ip, full));
}

CommandResult NetnsLab::run(const QString& tag, const QString& program,
                            const QStringList& arguments)
{
    return runCommand(
        m_ip, QStringList{QStringLiteral("netns"), QStringLiteral("exec"), name(tag), program} +
                  arguments);
}

QProcess* NetnsLab::start(const QString& tag, const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    // Should the test die, what it started dies with it instead of lingering.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(
        m_ip, QStringList{QStringLiteral("netns"), QStringLiteral("exec"), name(tag), program} +
                  arguments);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QString NetnsLab::enter(const QString& tag)
{
    if (m_home < 0)
        m_home = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const QByteArray path = QByteArray("/run/netns/") + name(tag).toLatin1();
    const int target = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    const bool entered = m_home >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
    if (target >= 0)
        ::close(target);
    return entered ? QString() : QStringLiteral("cannot enter %1").arg(name(tag));
}

void NetnsLab::leave()
{
    if (m_home < 0)
        return;
    ::setns(m_home, CLONE_NEWNET);
    ::close(m_home);
    m_home = -1;
}

bool runInPrivateNamespace(const std::function<void()>& work)
{
    bool isolated = false;
    std::thread worker([&] {
        isolated = ::unshare(CLONE_NEWNET) == 0;
        if (isolated)
            work();
    });
    worker.join();
    return isolated;
}
