#pragma once

#include "base/launch/LaunchInputs.h"

#include <optional>
#include <string>

// Pieces the two Duke Nukem 3D ports build alike on the host, each with its switch prefix.
namespace vantrell::launch {

// The level picked in "Original Map:", only while that box is ticked, so the host plays
// what the "Map" row tells the members.
void addHostMap(GameCommand& command, const HostInputs& in, char prefix);
// "-map" and the usermap, staged for the game, while the "User Map:" box is ticked.
void addHostUsermap(GameCommand& command, const HostInputs& in);
// A switch as its own piece, when there is one.
void addSwitch(CommandLine& line, const std::optional<std::string>& sw);

} // namespace vantrell::launch
