#pragma once

#include "base/launch/LaunchInputs.h"

// hDuke's command lines. The host reads the creation window's choices by list position, the
// member reads the settings rows as texts; the two also order their pieces differently and
// name team games differently, and only the host's solo game runs without the network.
namespace vantrell::launch {

// The host alone in the room: "/q8" and no network.
GameCommand hDukeHostSolo(const HostInputs& in);
GameCommand hDukeHostRoom(const HostInputs& in);
GameCommand hDukeMember(const MemberInputs& in);

} // namespace vantrell::launch
