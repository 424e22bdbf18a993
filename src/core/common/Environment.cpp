#include "core/common/Environment.h"

namespace vantrell::core {

std::filesystem::path Environment::configFolder() const
{
    return std::filesystem::path(programFolder.toStdU16String());
}

QString Environment::updateArchiveUrl() const
{
    return QStringLiteral("https://") + webHost + QStringLiteral("/vantrex.zip");
}

} // namespace vantrell::core
