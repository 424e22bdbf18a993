#include "ProgramFixture.h"

#include "lobby/TForm1.h"
#include "lobby/TForm8.h"
#include "roomclient/TForm7.h"
#include "roomhost/TForm5.h"
#include "roomhost/TForm6.h"
#include "settings/TForm2.h"
#include "settings/TForm3.h"
#include "settings/TForm4.h"

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

    form1 = std::make_unique<ui::TForm1>(env, messages, windows);
    windows.form1 = form1.get();
    form2 = std::make_unique<ui::TForm2>(env, messages, windows);
    windows.form2 = form2.get();
    form3 = std::make_unique<ui::TForm3>(env, messages, windows);
    windows.form3 = form3.get();
    form4 = std::make_unique<ui::TForm4>(env, messages, windows);
    windows.form4 = form4.get();
    form5 = std::make_unique<ui::TForm5>(env, messages, windows);
    windows.form5 = form5.get();
    form6 = std::make_unique<ui::TForm6>(env, messages, windows);
    windows.form6 = form6.get();
    form7 = std::make_unique<ui::TForm7>(env, messages, windows);
    windows.form7 = form7.get();
    form8 = std::make_unique<ui::TForm8>(env, messages, windows);
    windows.form8 = form8.get();

    form1->setPortMapping([this](const QString& local, const QString& tcp, const QString& udp) {
        portMappings << QStringList{local, tcp, udp}.join('|');
    });
    QObject::connect(form1.get(), &ui::TForm1::programEndRequested,
                     [this] { ++programEndRequests; });
}

ProgramFixture::~ProgramFixture()
{
    // No window reaches another while they go.
    windows = ui::Windows{};
    form8.reset();
    form7.reset();
    form6.reset();
    form5.reset();
    form4.reset();
    form3.reset();
    form2.reset();
    form1.reset();
}

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
    QVERIFY(QTest::qWaitForWindowActive(form1.get()));
}
