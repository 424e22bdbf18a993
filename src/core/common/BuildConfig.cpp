#include "core/common/BuildConfig.h"

namespace vantrell::core {

QString builtInMainServerAddress()
{
    return QStringLiteral(VANTRELL_MAIN_SERVER);
}

quint16 mainServerPort()
{
    return 4444;
}

QString builtInWebHost()
{
    return QStringLiteral(VANTRELL_WEB_HOST);
}

} // namespace vantrell::core
