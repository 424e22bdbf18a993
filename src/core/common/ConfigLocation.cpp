#include "core/common/ConfigLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vantrell::core {

namespace {
bool folderIsWritable(const QString& folder)
{
    // QFileInfo asks access(2), which also knows about read-only mounts.
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}
} // namespace

QString userConfigFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("vantrell"));
}

ConfigLocation locateConfig(const QString& programFolder, const QString& userFolder,
                            const std::function<bool(const QString&)>& canWrite)
{
    const bool holdsFile =
        QFileInfo::exists(QDir(programFolder).filePath(QStringLiteral("vantrel.cfg")));
    const bool writable = canWrite ? canWrite(programFolder) : folderIsWritable(programFolder);
    if (holdsFile || writable)
        return {programFolder, false};
    QDir().mkpath(userFolder);
    return {userFolder, true};
}

} // namespace vantrell::core
