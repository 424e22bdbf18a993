#pragma once

#include "base/roomhost/RoomSettings.h"
#include "base/settings/Settings.h"
#include "core/launch/HostLaunch.h"
#include "core/launch/MemberLaunch.h"

namespace vantrell::core {

class RoomClient;

// The host's launch setup. The executable and the in-game nickname are the values in force
// (what the settings windows show), unless the port's row says its launch reads the file;
// the usermaps folder is always read from the file, so a key missing from it is an empty
// text.
HostLaunchSetup hostLaunchSetupFor(const roomhost::RoomSettings& room, bool recordDemo,
                                   const settings::Settings& settings,
                                   const QProcessEnvironment& variables);

// A member reads its source ports, usermaps folders and in-game nickname from the settings
// file itself.
void readMemberPaths(MemberLaunchSetup& setup, const settings::ConfigFile& file);

// The Wine choice as the file holds it (the source-port window saves it whenever it loses
// the focus), with the variables the program was started with.
WineSetup wineSetupFor(const settings::ConfigFile& file, const QProcessEnvironment& variables);

// A member's launch setup: the room as the room client holds it when the host's word comes,
// the room window's team ("Team 1" .. "Team 9", empty for none) and boxes, and the paths and
// nickname from the settings file.
MemberLaunchSetup memberLaunchSetupFor(const RoomClient& client, const std::string& team,
                                       bool recordDemo, bool spectator,
                                       const settings::ConfigFile& file,
                                       const QProcessEnvironment& variables);

} // namespace vantrell::core
