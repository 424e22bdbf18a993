#pragma once

#include "base/common/Result.h"
#include "base/settings/ConfigFile.h"

#include <string>
#include <string_view>

namespace vantrell::settings {

// The multiplayer and networking group of the settings file: the game's UDP port, the room's
// TCP port, the lobby and in-game nicknames and the UPnP choice, in the sections
// "Configured Ports", "Nicknames" and "UPnP".
struct NetworkingSettings
{
    static constexpr std::string_view kDefaultUdpPort = "23513";
    static constexpr std::string_view kDefaultTcpPort = "8501";

    // A fresh program's values: the first start writes them to the file. Ports are kept as
    // the player typed them (an empty or out-of-range port is a value too).
    std::string udpPort{kDefaultUdpPort};
    std::string tcpPort{kDefaultTcpPort};
    std::string lobbyNickname{"Build-game player"};
    std::string inGameNickname{"BuildGamer"};
    bool upnp = true;

    // Takes the group from the file. Without a file nothing changes; a file that lacks a key
    // leaves that text as it is and reads the UPnP box as unticked. Returns what the reader
    // found, so a caller can tell an unreadable file from none.
    ConfigFile::Status load(const ConfigFile& file);
    // Writes the ports, then the nicknames, then the UPnP box (three replacements of the
    // file, in that order, so a first start lays the sections out in that order). Stops at
    // the first failure.
    Result<void> save(ConfigFile& file) const;

    bool operator==(const NetworkingSettings&) const = default;
};

} // namespace vantrell::settings
