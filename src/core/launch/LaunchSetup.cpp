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

int portOf(roomhost::RoomKind kind)
{
    switch (kind) {
    case roomhost::RoomKind::HDuke:
        return SourcePortSettings::HDuke;
    case roomhost::RoomKind::OldMP:
        return SourcePortSettings::EDuke32OldMP;
    case roomhost::RoomKind::NBlood:
        return SourcePortSettings::NBlood;
    }
    return SourcePortSettings::HDuke;
}

} // namespace

HostLaunchSetup hostLaunchSetupFor(const roomhost::RoomSettings& room, bool recordDemo,
                                   const settings::Settings& settings)
{
    const SourcePortSettings fromFile = portsFromFile(settings.file);
    const bool blood = room.kind == roomhost::RoomKind::NBlood;
    HostLaunchSetup setup;
    setup.settings = room;
    setup.recordDemo = recordDemo;
    setup.usermapFolder =
        fromFile.usermapsFolders[blood ? SourcePortSettings::Blood : SourcePortSettings::Duke3d];
    if (blood) {
        setup.executable = fromFile.ports[SourcePortSettings::NBlood].path;
        setup.nickname = inGameNicknameFromFile(settings.file);
    } else {
        setup.executable =
            settings.sourcePorts.ports[static_cast<std::size_t>(portOf(room.kind))].path;
        setup.nickname = settings.networking.inGameNickname;
    }
    return setup;
}

void readMemberPaths(MemberLaunchSetup& setup, const settings::ConfigFile& file)
{
    const SourcePortSettings ports = portsFromFile(file);
    setup.hDukePath = ports.ports[SourcePortSettings::HDuke].path;
    setup.oldMpPath = ports.ports[SourcePortSettings::EDuke32OldMP].path;
    setup.nBloodPath = ports.ports[SourcePortSettings::NBlood].path;
    setup.duke3dUsermaps = ports.usermapsFolders[SourcePortSettings::Duke3d];
    setup.bloodUsermaps = ports.usermapsFolders[SourcePortSettings::Blood];
    setup.inputs.nickname = inGameNicknameFromFile(file);
}

MemberLaunchSetup memberLaunchSetupFor(const RoomClient& client, const std::string& team,
                                       bool recordDemo, bool spectator,
                                       const settings::ConfigFile& file)
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
    return setup;
}

} // namespace vantrell::core
