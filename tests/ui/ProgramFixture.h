#pragma once

#include "app/Program.h"
#include "core/common/Environment.h"
#include "support/RecordingMessageSink.h"

#include <memory>

#include <QStringList>
#include <QTemporaryDir>

// The program as main() puts it together, in a temporary program folder, with recorded
// message boxes, waits sped up, and the port-mapping request recorded instead of sent.
class ProgramFixture
{
public:
    // programFolder empty: a fresh temporary folder. fileServer (may be null) must outlive
    // the fixture. mainServerForRun: what `--server` gives.
    explicit ProgramFixture(quint16 mainServerPort = 4444, double speedUp = 50,
                            const QString& programFolder = QString(),
                            vantrell::core::FileServerControl* fileServer = nullptr,
                            const QString& mainServerForRun = QString());
    ~ProgramFixture();

    QString folder() const { return env.programFolder; }
    QString configPath() const;
    void writeConfig(const QByteArray& contents) const;
    QByteArray readConfig() const;

    // Shows the main window (which runs its start-up) and makes it the active window.
    void start();

    QTemporaryDir dir;
    vantrell::core::Environment env;
    vantrell::ui::RecordingMessageSink messages;
    std::unique_ptr<vantrell::app::Program> program;
    vantrell::ui::TForm1* form1 = nullptr;
    vantrell::ui::TForm2* form2 = nullptr;
    vantrell::ui::TForm3* form3 = nullptr;
    vantrell::ui::TForm4* form4 = nullptr;
    vantrell::ui::TForm5* form5 = nullptr;
    vantrell::ui::TForm6* form6 = nullptr;
    // Each port-mapping request as "local|tcp|udp".
    QStringList portMappings;
    int programEndRequests = 0;
};
