#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QProcess>
#include <QString>
#include <QStringList>

// What a command printed (stdout and stderr together) and its exit code; -1 when it did not
// start, crashed or took longer than 20 s.
struct CommandResult
{
    int exitCode = -1;
    QString output;
};

CommandResult runCommand(const QString& program, const QStringList& arguments);
// Where a system tool lives (the sbin folders are often not on a test's PATH); empty if none.
QString findSbin(const QString& name);

// Named network namespaces a test builds for itself out of "ip": namespaces, veth links,
// addresses, routes, programs started inside them, and the calling thread moved into one.
// Nothing is configured in the machine's own namespace.
//
// A namespace is named "<prefix>-<tag>-<pid>-<serial>", so parallel runs never meet and a
// run that was killed can be recognised later: every lab removes, when it is made, the
// namespaces of its prefix whose process is gone. Everything a lab made is torn down by its
// destructor, whatever state the test left it in, a half-built network included.
//
// Every step returns an empty string on success, otherwise what went wrong, for QVERIFY2.
class NetnsLab
{
public:
    explicit NetnsLab(const QString& prefix);
    ~NetnsLab();

    NetnsLab(const NetnsLab&) = delete;
    NetnsLab& operator=(const NetnsLab&) = delete;

    // Root and a working "ip netns"; otherwise why not, for QSKIP.
    static QString unavailableReason();
    // Deletes the namespaces of this prefix left by runs whose process is gone.
    static void removeLeftovers(const QString& prefix);

    // Makes the namespace known to this lab as `tag`, with its loopback up.
    QString addNamespace(const QString& tag);
    // The full name of a namespace of this lab.
    QString name(const QString& tag) const;
    QStringList names() const;

    // A veth pair: `interfaceA` in namespace `tagA`, its peer `interfaceB` in `tagB` (which
    // may be the same namespace). Both ends are up.
    QString addVeth(const QString& tagA, const QString& interfaceA, const QString& tagB,
                    const QString& interfaceB);
    // "ip -n <namespace> <arguments>", e.g. {"addr", "add", "10.0.0.1/24", "dev", "eth0"}.
    QString ip(const QString& tag, const QStringList& arguments);
    // Runs a program inside the namespace and waits for it.
    CommandResult run(const QString& tag, const QString& program, const QStringList& arguments);
    // Starts a long-running program inside the namespace. The lab ends it (terminate, then
    // kill) before it deletes the namespaces, and it dies with the test process should that
    // be killed. The process is the lab's; the pointer stays valid while the lab lives.
    QProcess* start(const QString& tag, const QString& program, const QStringList& arguments);

    // Moves the calling thread, and every thread it creates afterwards, into the namespace,
    // until leave() or the lab's end.
    QString enter(const QString& tag);
    void leave();

private:
    QString m_prefix;
    QString m_suffix;
    QString m_ip;
    QStringList m_tags; // in the order they were made
    std::vector<std::unique_ptr<QProcess>> m_processes;
    int m_home = -1; // the namespace the entering thread came from
};

// Runs `work` on a thread of its own inside a fresh, unnamed network namespace that holds
// nothing but a loopback interface (down) and goes away with the thread. Programs the work
// starts run in that namespace too. False when no namespace can be made here (not root).
bool runInPrivateNamespace(const std::function<void()>& work);
