// Starts one game the way the launch does and keeps waiting for it, so a test can kill this
// program while the game runs. Prints "started <pid>" once the game is up.
#include "core/launch/GameProcess.h"

#include <cstdio>

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    vantrell::core::GameProcess game;
    if (!game.RunAndWait({argv[1], {}, argv[2]}).ok())
        return 1;
    std::printf("started %lld\n", static_cast<long long>(game.processId()));
    std::fflush(stdout);
    QObject::connect(&game, &vantrell::core::GameProcess::exited, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
