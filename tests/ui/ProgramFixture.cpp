#include "ProgramFixture.h"

#include "ui/lobby/TForm1.h"
#include "ui/roomhost/TForm5.h"
#include "ui/settings/TForm3.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace vantrell;

ProgramFixture::ProgramFixture(quint16 mainServerPort, double speedUp, const QString& programFolder,
                               core::FileServerControl* fileServer, const QString& mainServerForRun)
{
    env.programFolder = programFolder.isEmpty() ? dir.path() : programFolder;
    env.mainServerAddress = QStringLiteral("127.0.0.1");
    env.mainServerPort = mainServerPort;
    env.mainServerForRun = mainServerForRun;
    env.webHost = QStringLiteral("maps.example.test");
    env.timing = core::Timing(speedUp);
    // Each program's usermap file server takes a port of its own, so programs of tests
    // running side by side never meet on the fixed one.
    env.fileServerPort = 0;

    app::ProgramParts parts;
    parts.portMapping = [this](const QString& local, const QString& tcp, const QString& udp) {
        portMappings << QStringList{local, tcp, udp}.join('|');
    };
    parts.fileServer = fileServer;
    program = std::make_unique<app::Program>(env, messages, std::move(parts));
    form1 = &program->mainWindow();
    form2 = &program->form2();
    form3 = &program->form3();
    form4 = &program->form4();
    form5 = &program->form5();
    form6 = &program->form6();
    QObject::connect(form1, &ui::TForm1::programEndRequested, [this] { ++programEndRequests; });
}

ProgramFixture::~ProgramFixture() = default;

QString ProgramFixture::configPath() const
{
    return QDir(folder()).filePath(QStringLiteral("vantrel.cfg"));
}

void ProgramFixture::writeConfig(const QByteArray& contents) const
{
    QFile file(configPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QByteArray ProgramFixture::readConfig() const
{
    QFile file(configPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void ProgramFixture::start()
{
    form1->show();
    form1->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form1));
}
