#include "support/StandInPort.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#ifndef VANTRELL_STAND_IN_PORT
#error "VANTRELL_STAND_IN_PORT must name the stand-in program"
#endif

bool StandInPort::install(const QString& folder, const QString& name, bool windowsBuild)
{
    m_path = QDir(folder).filePath(name);
    QFile::remove(m_path);
    clear();
    if (windowsBuild)
        return QFile::copy(QStringLiteral(VANTRELL_WINDOWS_STAND_IN), m_path) &&
               QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    return QFile::link(QStringLiteral(VANTRELL_STAND_IN_PORT), m_path);
}

void StandInPort::configure(int exitCode, int sleepMs)
{
    QFile conf(m_path + QStringLiteral(".conf"));
    if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
        conf.write(QStringLiteral("exit=%1\nsleep_ms=%2\n").arg(exitCode).arg(sleepMs).toUtf8());
}

QJsonObject StandInPort::report() const
{
    QFile file(m_path + QStringLiteral(".report"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool StandInPort::hasStarted() const
{
    return QFile::exists(m_path + QStringLiteral(".report"));
}

bool StandInPort::hasFinished() const
{
    return QFile::exists(m_path + QStringLiteral(".done"));
}

QStringList StandInPort::arguments() const
{
    QStringList out;
    for (const auto& value : report().value(QStringLiteral("args")).toArray())
        out << value.toString();
    return out;
}

QString StandInPort::workingFolder() const
{
    return report().value(QStringLiteral("cwd")).toString();
}

namespace {
QString fileContents(const QJsonObject& report, const QString& key)
{
    const QJsonValue value = report.value(key);
    return value.isString() ? value.toString() : QString();
}
} // namespace

QString StandInPort::netlist() const
{
    return fileContents(report(), QStringLiteral("netlist"));
}

QString StandInPort::kesh() const
{
    return fileContents(report(), QStringLiteral("kesh"));
}

QString StandInPort::fileRead(const QString& argument) const
{
    return fileContents(report().value(QStringLiteral("files")).toObject(), argument);
}

qint64 StandInPort::processId() const
{
    return report().value(QStringLiteral("pid")).toInteger();
}

void StandInPort::clear()
{
    QFile::remove(m_path + QStringLiteral(".report"));
    QFile::remove(m_path + QStringLiteral(".done"));
}
