#include "core/launch/GameProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

#include <QMetaObject>

extern char** environ;

namespace vantrell::core {

namespace {

Error systemError(int code)
{
    return Error{std::generic_category().message(code)};
}

int exitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A descriptor that becomes readable when the process ends; -1 where the kernel has none.
int openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Waits on the waiter thread until the game ends (its exit code) or the stop descriptor is
// signalled (nothing: the game is left alone and not reaped).
std::optional<int> waitForGame(pid_t pid, int stopFd)
{
    const int pidFd = openPidFd(pid);
    if (pidFd >= 0) {
        pollfd fds[2] = {{pidFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        for (;;) {
            const int n = ::poll(fds, 2, -1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || (fds[1].revents & POLLIN)) {
                ::close(pidFd);
                if (n >= 0)
                    return std::nullopt;
                break; // fall back to polling the status below
            }
            if (fds[0].revents != 0) {
                ::close(pidFd);
                int status = 0;
                pid_t r;
                do {
                    r = ::waitpid(pid, &status, 0);
                } while (r < 0 && errno == EINTR);
                return r == pid ? exitCodeOf(status) : -1;
            }
        }
    }
    // No process descriptor: look at the status every 10 ms.
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return exitCodeOf(status);
        if (r < 0 && errno != EINTR)
            return -1; // someone else reaped it: it has ended
        pollfd stop = {stopFd, POLLIN, 0};
        if (::poll(&stop, 1, 10) > 0)
            return std::nullopt;
    }
}

// This program's environment with the game's own variables put over it.
std::vector<std::string> environmentFor(const GameStart& game)
{
    std::vector<std::string> out;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [key, value] : game.environment)
            replaced = replaced || key == name;
        if (!replaced)
            out.emplace_back(text);
    }
    for (const auto& [key, value] : game.environment)
        out.push_back(key + "=" + value);
    return out;
}

} // namespace

Result<void> checkExecutable(const std::string& path)
{
    if (path.empty())
        return systemError(ENOENT);
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return systemError(errno);
    // A folder cannot be started; the system says so as EACCES.
    if (!S_ISREG(st.st_mode))
        return systemError(EACCES);
    if (::access(path.c_str(), X_OK) != 0)
        return systemError(errno);
    return {};
}

GameProcess::GameProcess(QObject* parent) : QObject(parent) {}

GameProcess::~GameProcess()
{
    stopWaiting();
}

Result<void> GameProcess::RunAndWait(const GameStart& start)
{
    return this->start(start);
}

bool GameProcess::ShellRunAndWait(const GameStart& start)
{
    return this->start(start).ok();
}

Result<void> GameProcess::start(const GameStart& game)
{
    if (isRunning())
        return systemError(EBUSY);
    joinWaiter();
    // Made first: without it the waiting could not be stopped.
    const int stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (stopFd < 0)
        return systemError(errno);

    // The child changes folder before it loads the program, so a relative path would be
    // looked up from the game folder; it means the one seen from here.
    std::error_code ec;
    std::string executable = std::filesystem::absolute(game.executable, ec).string();
    if (ec || game.executable.empty())
        executable = game.executable;

    std::vector<char*> argv;
    argv.push_back(executable.data());
    for (const std::string& argument : game.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> variables = environmentFor(game);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!game.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, game.workingFolder.c_str());

    // Its own session, so neither a terminal's signals nor the end of this program reach
    // it; a clean signal mask and default handlers whatever this program has set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(&attributes, &mask);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    pid_t pid = 0;
    const int rc =
        ::posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ::close(stopFd);
        return systemError(rc);
    }

    m_pid = pid;
    m_stopFd = stopFd;
    m_waiter = std::thread([this, pid, stopFd] {
        const auto code = waitForGame(pid, stopFd);
        if (code) {
            const int exitCode = *code;
            QMetaObject::invokeMethod(
                this, [this, pid, exitCode] { onExited(pid, exitCode); }, Qt::QueuedConnection);
        }
    });
    return {};
}

void GameProcess::onExited(qint64 pid, int exitCode)
{
    if (pid != m_pid)
        return; // a report of a game no longer waited for
    joinWaiter();
    m_pid = 0;
    emit exited(exitCode);
}

void GameProcess::stopWaiting()
{
    m_pid = 0;
    joinWaiter();
}

void GameProcess::joinWaiter()
{
    if (m_stopFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_stopFd, &one, sizeof one);
    }
    if (m_waiter.joinable())
        m_waiter.join();
    if (m_stopFd >= 0) {
        ::close(m_stopFd);
        m_stopFd = -1;
    }
}

} // namespace vantrell::core
