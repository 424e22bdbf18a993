#include "core/common/ConfigLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vantrell::core {

QString userConfigFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("vantrell"));
}

QString installFolder()
{
    return QStringLiteral(VANTRELL_INSTALL_BINDIR);
}

bool mayKeepFileIn(const QString& folder)
{
    const QFileInfo info(folder);
    // QFileInfo asks access(2), which also knows about read-only mounts.
    if (!info.isDir() || !info.isWritable())
        return false;
    const QString installed = QFileInfo(installFolder()).canonicalFilePath();
    return installed.isEmpty() || info.canonicalFilePath() != installed;
}

ConfigLocation locateConfig(const QString& programFolder, const QString& userFolder,
                            const std::function<bool(const QString&)>& mayKeep)
{
    const bool holdsFile =
        QFileInfo::exists(QDir(programFolder).filePath(QStringLiteral("vantrel.cfg")));
    if (holdsFile || mayKeep(programFolder))
        return {programFolder, false};
    QDir().mkpath(userFolder);
    return {userFolder, true};
}

} // namespace vantrell::core
