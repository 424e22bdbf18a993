#pragma once

#include "base/common/SourcePorts.h"
#include "base/lobby/MainServerCodec.h"
#include "base/settings/RoomFilterSettings.h"
#include "base/settings/SourcePortSettings.h"

#include <functional>
#include <string>
#include <vector>

// Which rooms of the last room list the main window shows, under the "View" menu's filters.
// Decided from the room's own values only: filtering never asks the main server or the room.
namespace vantrell::lobby {

// The ports that host rooms and that the player has set up: ticked in the source-port
// settings, with a file at the configured path (asked with the path exactly as configured).
std::vector<SourcePort> setUpRoomPorts(const settings::SourcePortSettings& sourcePorts,
                                       const std::function<bool(const std::string&)>& isFile);

// Whether the room stays in the list. A room whose player count cannot be read is not taken
// for full; under "only set-up ports" a room is kept only when its source port is one of
// `setUp` and belongs to the room's game, since a join refuses any other.
bool roomPassesFilters(const RoomRecord& room, const settings::RoomFilterSettings& filters,
                       const std::vector<SourcePort>& setUp);

} // namespace vantrell::lobby
