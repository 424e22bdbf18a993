#include "core/common/Environment.h"

namespace vantrell::core {

QSslConfiguration DownloadTls::configuration() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (m_authorities)
        configuration.setCaCertificates(*m_authorities);
    return configuration;
}

std::filesystem::path Environment::configFolder() const
{
    return std::filesystem::path(programFolder.toStdU16String());
}

QString Environment::updateArchiveUrl() const
{
    return QStringLiteral("https://") + webHost + QStringLiteral("/vantrex.zip");
}

} // namespace vantrell::core
