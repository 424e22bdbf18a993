#include "core/lobby/Updater.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace vantrell::core {

QString updaterFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("updater.exe");
#else
    return QStringLiteral("updater");
#endif
}

QString updaterPath(const QString& folder)
{
    const QFileInfo file(QDir(folder), updaterFileName());
    return file.isFile() ? file.absoluteFilePath() : QString();
}

void startUpdater(const QString& path)
{
    QProcess::startDetached(path, {}, QFileInfo(path).absolutePath());
}

QString packageUpdateText()
{
    return QStringLiteral("Client Update - This copy of Vantrell was installed from a package "
                          "and is updated by its package: install the newer version of the "
                          "\"vantrell\" package with your system's package manager.");
}

} // namespace vantrell::core
