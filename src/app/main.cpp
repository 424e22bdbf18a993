#include "common/BuildConfig.h"
#include "common/Environment.h"
#include "common/QtMessageSink.h"
#include "common/Windows.h"
#include "lobby/TForm1.h"
#include "lobby/TForm8.h"
#include "lobby/UPnPPortMapper.h"
#include "roomclient/TForm7.h"
#include "roomhost/TForm5.h"
#include "roomhost/TForm6.h"
#include "settings/TForm2.h"
#include "settings/TForm3.h"
#include "settings/TForm4.h"

#include <QApplication>

using namespace vantrell;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrell Alpha Version 3829"));

    core::Environment env;
    env.programFolder = QCoreApplication::applicationDirPath();
    env.mainServerAddress = core::builtInMainServerAddress();
    env.mainServerPort = core::mainServerPort();
    env.webHost = core::builtInWebHost();
    ui::QtMessageSink messages;
    core::UPnPPortMapper portMapper;

    // Created in this order, and each published as soon as it exists; they live until the
    // end of main.
    ui::Windows windows;
    ui::TForm1 form1(env, messages, windows);
    windows.form1 = &form1;
    ui::TForm2 form2(env, messages, windows);
    windows.form2 = &form2;
    ui::TForm3 form3(env, messages, windows);
    windows.form3 = &form3;
    ui::TForm4 form4(env, messages, windows);
    windows.form4 = &form4;
    ui::TForm5 form5(env, messages, windows);
    windows.form5 = &form5;
    ui::TForm6 form6(env, messages, windows);
    windows.form6 = &form6;
    ui::TForm7 form7(env, messages, windows);
    windows.form7 = &form7;
    ui::TForm8 form8(env, messages, windows);
    windows.form8 = &form8;

    QObject::connect(&portMapper, &core::UPnPPortMapper::logLine, &form1, &ui::TForm1::addLogLine);
    form1.setPortMapping(
        [&portMapper](const QString& localAddress, const QString& tcpPort, const QString& udpPort) {
            portMapper.requestMappings(localAddress, tcpPort, udpPort);
        });
    QObject::connect(&form1, &ui::TForm1::programEndRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    form1.show();
    return QApplication::exec();
}
