#include "core/common/BuildConfig.h"

#include "base/lobby/MainServerAddress.h"
#include "base/lobby/MainServerCodec.h"
#include "core/common/QtStrings.h"

namespace vantrell::core {

QString builtInMainServerAddress()
{
    return QStringLiteral(VANTRELL_MAIN_SERVER);
}

quint16 mainServerPort()
{
    return lobby::kMainServerPort;
}

QString builtInWebHost()
{
    return QStringLiteral(VANTRELL_WEB_HOST);
}

QString programName()
{
    return QStringLiteral("Vantrell");
}

QString programTitle()
{
    // The token is the old program's name, a blank and the version.
    const std::string_view token = lobby::kVersionToken;
    return programName() + QStringLiteral(" Alpha Version ") +
           qs(token.substr(token.find(' ') + 1));
}

} // namespace vantrell::core
