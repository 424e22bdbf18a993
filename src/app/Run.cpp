#include "app/Run.h"

#include "app/Program.h"
#include "core/common/BuildConfig.h"
#include "core/common/ConfigLocation.h"
#include "core/common/Environment.h"
#include "ui/common/QtMessageSink.h"
#include "ui/lobby/TForm1.h"

#include <QApplication>

namespace vantrell::app {

int runProgram(int argc, char* argv[], const std::function<void(Program&)>& attach)
{
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
