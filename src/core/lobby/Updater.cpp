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

} // namespace vantrell::core
