#pragma once

#include "base/common/Result.h"

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QObject>

namespace vantrell::core {

// How a source port is started: the executable by its full path, the argument list (never
// a shell line) and the folder it runs in. The game inherits this program's environment,
// with the variables named here set for it alone.
struct GameStart
{
    std::string executable;
    std::vector<std::string> arguments;
    std::string workingFolder;
    std::vector<std::pair<std::string, std::string>> environment{};
};

// Whether a path names a file this program may start; the failure is the system's text
// ("No such file or directory", "Permission denied").
Result<void> checkExecutable(const std::string& path);

// Starts one game at a time and tells when it has exited. The game is started directly
// (no shell), in its own session, with the game folder as its working folder; the
// program's own working folder never changes. Waiting happens on a thread this object owns,
// so the window thread stays free; the end is reported with exited() on the thread this
// object lives on.
//
// The game outlives this object: destroying it (closing the program) stops the waiting and
// leaves the game running.
class GameProcess : public QObject
{
    Q_OBJECT

public:
    explicit GameProcess(QObject* parent = nullptr);
    ~GameProcess() override;

    // The two ways the launch starts a game. Both return at once; exited() follows when the
    // game ends. RunAndWait fails with the system's error text, ShellRunAndWait just says
    // whether the game started (its caller has a message of its own).
    Result<void> RunAndWait(const GameStart& start);
    bool ShellRunAndWait(const GameStart& start);

    bool isRunning() const { return m_pid > 0; }
    // The running game's process id, 0 when none.
    qint64 processId() const { return m_pid; }

    // Stops waiting for the running game, which goes on by itself; no exited() follows.
    void stopWaiting();

signals:
    // The exit code, or -1 when the game ended on a signal or its status is unknown.
    void exited(int exitCode);

private:
    Result<void> start(const GameStart& start);
    void onExited(qint64 pid, int exitCode);
    void joinWaiter();

    std::thread m_waiter;
    int m_stopFd = -1; // an eventfd the waiter watches besides the game
    qint64 m_pid = 0;
};

} // namespace vantrell::core
