// A room host in a process of its own, for the tests that kill it: hosts an eight-place
// room on a free loopback port, prints "port <n>" and runs until it is killed.
#include "core/common/Timing.h"
#include "core/roomhost/RoomHost.h"
#include "support/RoomLab.h"

#include <cstdio>

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const vantrell::core::Timing timing;
    vantrell::core::RoomHost host(timing, loopbackRoomConfig(8), nullptr);
    if (!host.open())
        return 1;
    std::printf("port %u\n", static_cast<unsigned>(host.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
