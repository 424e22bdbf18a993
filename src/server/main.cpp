// vantrell-server: the main server that lobbies connect to.
#include "server/Asio.h"
#include "server/Server.h"
#include "server/ServerLog.h"
#include "server/ServerOptions.h"

#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

// Every client is a descriptor; the usual soft limit of 1024 would cap a community server
// far below its client limit.
void raiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace vantrell::server;
    // A SIGHUP would end the process until its handler is in place ("systemctl reload" right
    // after a start): it is held back until then, and the reload it asks for still happens.
    sigset_t hangup;
    sigemptyset(&hangup);
    sigaddset(&hangup, SIGHUP);
    sigprocmask(SIG_BLOCK, &hangup, nullptr);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto options = parseServerOptions(arguments);
    if (!options) {
        std::fprintf(stderr, "vantrell-server: %s\nTry vantrell-server --help\n",
                     options.error().c_str());
        return 2;
    }
    if (options->showHelp) {
        std::fputs(serverHelpText().c_str(), stdout);
        return 0;
    }

    raiseOpenFileLimit();
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < options->maxClients + 16)
        logLine("warning: open-file limit " + std::to_string(files.rlim_cur) +
                " is below --max-clients " + std::to_string(options->maxClients));

    // One thread runs every socket, so the context needs no locking.
    asio::io_context io(1);
    Server server(io, *options);
    if (const auto loaded = server.loadFiles(); !loaded) {
        std::fprintf(stderr, "vantrell-server: %s\n", loaded.error().c_str());
        return 2;
    }
    // Signals are caught before the "listening on" line, so that whoever waits for that
    // line may stop the server at once.
    std::signal(SIGPIPE, SIG_IGN);
    // SIGHUP reads the configuration file and the files it names again.
    asio::signal_set hangups(io, SIGHUP);
    std::function<void()> waitForHangup = [&] {
        hangups.async_wait([&](const ErrorCode& error, int) {
            if (error)
                return;
            logLine("SIGHUP: reloading");
            if (const auto fresh = parseServerOptions(arguments); fresh)
                server.reload(*fresh);
            else
                logLine("reload: nothing changed: " + fresh.error());
            waitForHangup();
        });
    };
    waitForHangup();
    sigprocmask(SIG_UNBLOCK, &hangup, nullptr);
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const ErrorCode& error, int signal) {
        if (!error) {
            server.stop(signal == SIGINT ? "SIGINT" : "SIGTERM");
            hangups.cancel();
        }
    });
    if (const auto started = server.start(); !started) {
        std::fprintf(stderr, "vantrell-server: %s\n", started.error().c_str());
        return 1;
    }
    io.run();
    logLine("stopped");
    return 0;
}
