#include "app/Run.h"

#include "app/Program.h"
#include "core/common/BuildConfig.h"
#include "core/common/Environment.h"
#include "ui/common/QtMessageSink.h"
#include "ui/lobby/TForm1.h"

#include <QApplication>

namespace vantrell::app {

int runProgram(int argc, char* argv[], const std::function<void(Program&)>& attach)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrell Alpha Version 3829"));

    core::Environment env;
    env.programFolder = QCoreApplication::applicationDirPath();
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
