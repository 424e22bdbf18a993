#include "core/roomhost/RoomHostSetup.h"

#include "core/common/HostInfo.h"
#include "core/common/LocalAddress.h"

#include <QString>

namespace vantrell::core {

RoomHostConfig roomHostConfigFor(const roomhost::RoomSettings& settings,
                                 const settings::NetworkingSettings& networking)
{
    RoomHostConfig config;
    config.settings = settings;
    config.roomPortSetting = networking.tcpPort;
    bool ok = false;
    const uint port = QString::fromStdString(networking.tcpPort).toUInt(&ok);
    if (ok && port >= 1 && port <= 65535) {
        config.roomPort = quint16(port);
    } else {
        // The room must fail to start rather than listen on a port the system picks, which
        // no member would know and the advertisement would not carry.
        config.roomPort = quint16(ok && port <= 65535 ? port : 0);
        config.roomPortUsable = false;
    }
    config.nickname = networking.lobbyNickname;
    config.os = hostOsDescription().toStdString();
    config.localAddress = localAddress().toStdString();
    config.udpPort = networking.udpPort;
    return config;
}

} // namespace vantrell::core
