#pragma once

#include <QDir>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// A stand-in source port placed in a game folder of a test: a link named like the source
// port to the stand-in program (tests/support/StandInPort.cpp), with its settings beside it.
class StandInPort
{
public:
    // Puts the stand-in into `folder` under `name`; false when that fails.
    bool install(const QString& folder, const QString& name);
    // The same with a copy of its Windows build (tests/support/windows_stand_in.c), whose
    // report gives the working folder as Windows sees it ("Z:\..."); false when the test
    // build could not make it.
    bool installWindowsBuild(const QString& folder, const QString& name);
    // How the next run behaves.
    void configure(int exitCode, int sleepMs);

    QString path() const { return m_path; }

    // The report of the last run, empty until it has started.
    QJsonObject report() const;
    bool hasStarted() const;
    bool hasFinished() const;
    QStringList arguments() const;
    QString workingFolder() const;
    // The file contents it saw at start; a null string when the file was missing.
    QString netlist() const;
    QString kesh() const;
    // Windows build only: what it read from a file named by one of its arguments; a null
    // string when it could not.
    QString fileRead(const QString& argument) const;
    qint64 processId() const;
    // Forgets the last run.
    void clear();

private:
    QString m_path;
};
