#include "core/common/LocalAddress.h"

#include <QHostAddress>
#include <QNetworkInterface>

namespace vantrell::core {

QString localAddress()
{
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return QStringLiteral("127.0.0.1");
}

} // namespace vantrell::core
