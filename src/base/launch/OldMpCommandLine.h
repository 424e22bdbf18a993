#pragma once

#include "base/launch/LaunchInputs.h"

// EDuke32-OldMP's command lines: the host is the master for the room's player count, each
// member connects to the host's public address.
namespace vantrell::launch {

GameCommand oldMpHostSolo(const HostInputs& in);
GameCommand oldMpHostRoom(const HostInputs& in);
GameCommand oldMpMember(const MemberInputs& in);

} // namespace vantrell::launch
