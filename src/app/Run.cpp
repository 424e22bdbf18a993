#include "app/Run.h"

#include "app/CommandLine.h"
#include "app/Program.h"
#include "core/common/BuildConfig.h"
#include "core/common/ConfigLocation.h"
#include "core/common/Environment.h"
#include "ui/common/QtMessageSink.h"
#include "ui/lobby/TForm1.h"

#include <cstdio>

#include <QApplication>

namespace vantrell::app {

int runProgram(int argc, char* argv[], const std::function<void(Program&)>& attach)
{
    // Before the application object, which needs a display: "--help" must work without one.
    const CommandLine options = readCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (options.exitCode) {
        std::fputs(options.output.c_str(), *options.exitCode == 0 ? stdout : stderr);
        return *options.exitCode;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(core::programTitle());
    // Ties the windows to the installed desktop entry (its icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("invalid.vantrell.vantrell"));

    core::Environment env;
    const core::ConfigLocation config =
        core::locateConfig(QCoreApplication::applicationDirPath(), core::userConfigFolder());
    env.programFolder = config.folder;
    env.installed = config.installed;
    env.mainServerAddress = core::builtInMainServerAddress();
    env.mainServerPort = core::mainServerPort();
    env.mainServerForRun = QString::fromStdString(options.server);
    env.webHost = core::builtInWebHost();
    ui::QtMessageSink messages;

    Program program(env, messages);
    ui::TForm1& mainWindow = program.mainWindow();
    QObject::connect(&mainWindow, &ui::TForm1::programEndRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (attach)
        attach(program);
    mainWindow.show();
    return QApplication::exec();
}

} // namespace vantrell::app
