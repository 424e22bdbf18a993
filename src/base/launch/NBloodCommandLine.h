#pragma once

#include "base/launch/LaunchInputs.h"

// NBlood's command lines: the host runs the server for the room's player count, each member
// a client of the host's public address. No game type, skill or option is passed.
namespace vantrell::launch {

// Both host lines stage the room's usermap whether or not they name it.
GameCommand nBloodHostSolo(const HostInputs& in);
GameCommand nBloodHostRoom(const HostInputs& in);
GameCommand nBloodMember(const MemberInputs& in);

} // namespace vantrell::launch
