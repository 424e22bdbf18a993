#pragma once

#include "common/Environment.h"
#include "common/RecordingMessageSink.h"
#include "common/Windows.h"

#include <memory>

#include <QStringList>
#include <QTemporaryDir>

namespace vantrell::ui {
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
} // namespace vantrell::ui

// The program as main() puts it together, in a temporary program folder, with recorded
// message boxes, waits sped up and a recorded port-mapping request.
class ProgramFixture
{
public:
    // programFolder empty: a fresh temporary folder.
    explicit ProgramFixture(quint16 mainServerPort = 4444, double speedUp = 50,
                            const QString& programFolder = QString());
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
    vantrell::ui::Windows windows;
    std::unique_ptr<vantrell::ui::TForm1> form1;
    std::unique_ptr<vantrell::ui::TForm2> form2;
    std::unique_ptr<vantrell::ui::TForm3> form3;
    std::unique_ptr<vantrell::ui::TForm4> form4;
    std::unique_ptr<vantrell::ui::TForm5> form5;
    std::unique_ptr<vantrell::ui::TForm6> form6;
    std::unique_ptr<vantrell::ui::TForm7> form7;
    std::unique_ptr<vantrell::ui::TForm8> form8;
    // Each port-mapping request as "local|tcp|udp".
    QStringList portMappings;
    int programEndRequests = 0;
};
