#include "core/launch/LaunchSetup.h"

#include "base/launch/Switches.h"
#include "base/roomhost/RoomChoices.h"
#include "core/roomclient/RoomClient.h"

namespace vantrell::core {

using settings::NetworkingSettings;
using settings::SourcePortSettings;

namespace {

// The groups as the file has them, with nothing filled in for a missing key.
SourcePortSettings portsFromFile(const settings::ConfigFile& file)
{
    SourcePortSettings ports;
    (void)ports.load(file);
    return ports;
}

std::string inGameNicknameFromFile(const settings::ConfigFile& file)
{
    NetworkingSettings networking;
    networking.inGameNickname.clear();
    (void)networking.load(file);
    return networking.inGameNickname;
}

} // namespace

WineSetup wineSetupFor(const settings::ConfigFile& file, const QProcessEnvironment& variables)
{
    WineSetup wine;
    wine.settings.load(file);
    wine.variables = variables;
    return wine;
}

HostLaunchSetup hostLaunchSetupFor(const roomhost::RoomSettings& room, bool recordDemo,
                                   const settings::Settings& settings,
                                   const QProcessEnvironment& variables)
{
    const SourcePortSettings fromFile = portsFromFile(settings.file);
    const SourcePortRow& port = sourcePortRow(room.kind);
    HostLaunchSetup setup;
    setup.settings = room;
    setup.recordDemo = recordDemo;
    setup.usermapFolder = fromFile.usermapsFolder(port.game);
    setup.wine = wineSetupFor(settings.file, variables);
    if (port.hostReadsFile) {
        setup.executable = fromFile.port(room.kind).path;
        setup.nickname = inGameNicknameFromFile(settings.file);
    } else {
        setup.executable = settings.sourcePorts.port(room.kind).path;
        setup.nickname = settings.networking.inGameNickname;
    }
    return setup;
}

void readMemberPaths(MemberLaunchSetup& setup, const settings::ConfigFile& file)
{
    setup.sourcePorts = portsFromFile(file);
    setup.inputs.nickname = inGameNicknameFromFile(file);
}

MemberLaunchSetup memberLaunchSetupFor(const RoomClient& client, const std::string& team,
                                       bool recordDemo, bool spectator,
                                       const settings::ConfigFile& file,
                                       const QProcessEnvironment& variables)
{
    MemberLaunchSetup setup;
    setup.inputs.settings = client.settingsRows();
    setup.inputs.members = client.memberRows();
    setup.inputs.roomAddress = client.roomAddress().ip;
    // The nine teams of the longest list; the shorter one holds its first two.
    setup.inputs.teamPosition = launch::positionOf(roomhost::teamsForGameType(3), team);
    setup.inputs.recordDemo = recordDemo;
    setup.inputs.spectator = spectator;
    setup.ownRemotePort = client.ownRemotePort().toStdString();
    readMemberPaths(setup, file);
    setup.wine = wineSetupFor(file, variables);
    return setup;
}

} // namespace vantrell::core
