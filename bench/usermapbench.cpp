// Serves or fetches one usermap the way a room does, for bench/usermap-bench.
//   vantrell-usermapbench serve <folder> <port>   serves <folder>/bench.map until killed
//   vantrell-usermapbench fetch <folder> <port>   fetches it into <folder>, prints the
//                                                   milliseconds from request to stored file
#include "core/common/Environment.h"
#include "core/transfer/ClientUserMapCheckFileTransfer.h"
#include "core/transfer/FileServer.h"

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

using namespace vantrell;

namespace {
std::vector<roomhost::SettingRow> benchRoom()
{
    return {{"Game", "Duke Nukem 3D"}, {"Source Port", "hDuke"}, {"Map", "bench.map"}};
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s serve|fetch <folder> <port>\n", argv[0]);
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const std::string folder = argv[2];
    core::Environment env;
    env.fileServerPort = static_cast<quint16>(QString::fromLocal8Bit(argv[3]).toUInt());
    const auto folders = [folder](const std::string&) { return folder; };

    if (mode == "serve") {
        core::FileServer server(env);
        server.setListenAddress(QHostAddress::LocalHost);
        server.setSettingsSource(benchRoom);
        server.setFolderSource(folders);
        if (!server.start()) {
            std::fprintf(stderr, "cannot listen on %u\n", env.fileServerPort);
            return 1;
        }
        std::printf("listening\n");
        std::fflush(stdout);
        return app.exec();
    }

    core::ClientUserMapCheckFileTransfer::Setup setup;
    setup.hostAddress = QStringLiteral("127.0.0.1");
    setup.port = env.fileServerPort;
    setup.settings = benchRoom;
    setup.folders = folders;
    core::ClientUserMapCheckFileTransfer check(env.timing, setup);
    QElapsedTimer clock;
    bool success = false;
    QObject::connect(&check, &core::ClientUserMapCheckFileTransfer::logLine,
                     [&](const QString& line) {
                         // The check's own waits come before the request; the clock starts
                         // with it.
                         if (line == "Sent request to get file")
                             clock.start();
                         if (line.startsWith("Usermap transfer success: "))
                             success = true;
                     });
    QObject::connect(&check, &core::ClientUserMapCheckFileTransfer::finished, [&] {
        if (success)
            std::printf("%.1f\n", static_cast<double>(clock.nsecsElapsed()) / 1e6);
        app.exit(success ? 0 : 1);
    });
    check.start();
    return app.exec();
}
