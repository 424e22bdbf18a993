#include "ProgramFixture.h"

#include "ui/lobby/TForm1.h"
#include "ui/roomhost/TForm5.h"
#include "ui/settings/TForm3.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace vantrell;

ProgramFixture::ProgramFixture(quint16 mainServerPort, double speedUp, const QString& programFolder)
{
    env.programFolder = programFolder.isEmpty() ? dir.path() : programFolder;
    env.mainServerAddress = QStringLiteral("127.0.0.1");
    env.mainServerPort = mainServerPort;
    env.webHost = QStringLiteral("maps.example.test");
    env.timing = core::Timing(speedUp);

    program = std::make_unique<app::Program>(env, messages);
    form1 = program->windows().form1;
    form3 = program->windows().form3;
    form5 = program->windows().form5;

    form1->setPortMapping([this](const QString& local, const QString& tcp, const QString& udp) {
        portMappings << QStringList{local, tcp, udp}.join('|');
    });
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
