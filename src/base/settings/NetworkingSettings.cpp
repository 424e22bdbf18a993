#include "base/settings/NetworkingSettings.h"

namespace vantrell::settings {

namespace {
constexpr std::string_view kPorts = "Configured Ports";
constexpr std::string_view kNicknames = "Nicknames";
constexpr std::string_view kUpnp = "UPnP";
constexpr std::string_view kUdpPort = "UDPPort";
constexpr std::string_view kTcpPort = "TCPPort";
constexpr std::string_view kLobbyNickname = "Launcher Nickname";
constexpr std::string_view kInGameNickname = "In-Game Nickname";
constexpr std::string_view kUpnpBox = "UPnP Checkbox";
} // namespace

ConfigFile::Status NetworkingSettings::load(const ConfigFile& file)
{
    if (!file.exists())
        return file.status();
    udpPort = file.readString(kPorts, kUdpPort, udpPort);
    tcpPort = file.readString(kPorts, kTcpPort, tcpPort);
    lobbyNickname = file.readString(kNicknames, kLobbyNickname, lobbyNickname);
    inGameNickname = file.readString(kNicknames, kInGameNickname, inGameNickname);
    upnp = file.readBool(kUpnp, kUpnpBox, false);
    return file.status();
}

Result<void> NetworkingSettings::save(ConfigFile& file) const
{
    Result<void> saved = file.writeStrings(
        kPorts, {{std::string(kUdpPort), udpPort}, {std::string(kTcpPort), tcpPort}});
    if (saved)
        saved = file.writeStrings(kNicknames, {{std::string(kLobbyNickname), lobbyNickname},
                                               {std::string(kInGameNickname), inGameNickname}});
    if (saved)
        saved = file.writeBool(kUpnp, kUpnpBox, upnp);
    return saved;
}

} // namespace vantrell::settings
