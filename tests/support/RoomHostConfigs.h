#pragma once

#include "core/roomhost/RoomHost.h"

// A room for the room host's tests: listening on loopback on a port the system picks, with
// ICMP off (replies come over the room connection) and a host row of fixed values.
inline vantrell::core::RoomHostConfig
loopbackRoomConfig(int places = 8, vantrell::SourcePort kind = vantrell::SourcePort::HDuke)
{
    vantrell::core::RoomHostConfig config;
    config.listenAddress = QHostAddress::LocalHost;
    config.roomPort = 0;
    config.roomPortSetting = "8501";
    config.settings.kind = kind;
    config.settings.playerPlaces = places;
    config.settings.roomName = "Test room";
    config.nickname = "Host";
    config.os = "Linux 64 bit ";
    config.localAddress = "10.0.0.1";
    config.udpPort = "23513";
    config.icmpMethod = vantrell::core::IcmpMethod::Disabled;
    return config;
}
