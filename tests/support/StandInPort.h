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
    // Puts the stand-in (or its Windows build, without the execute bit as an archive leaves
    // it) into `folder` under `name`; false when that fails.
    bool install(const QString& folder, const QString& name, bool windowsBuild = false);
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
    // Windows build only: what it read from the file an argument names; null when nothing.
    QString fileRead(const QString& argument) const;
    qint64 processId() const;
    // Forgets the last run.
    void clear();

private:
    QString m_path;
};
