#pragma once

#include "base/roomhost/RoomSettings.h"

#include <array>
#include <string_view>
#include <vector>

// The fixed choices the creation window offers. Values are the texts peers receive, so they
// stay exactly as players have always seen them.
namespace vantrell::roomhost {

// 45 entries: "None", then every level of the four episodes under its episode heading.
// Headings are selectable too and then stand as the map.
const std::vector<std::string_view>& originalMaps();

// Game types offered for a room port (empty for a port without the Duke Nukem 3D choices).
std::vector<std::string_view> gameTypes(SourcePort port);
const std::vector<std::string_view>& skills();
const std::vector<std::string_view>& spawns();

// The teams a host may pick for the game type at this list position: nine teams for
// position 3, two for position 4, none otherwise.
std::vector<std::string_view> teamsForGameType(int gameTypePosition);

// A room option: its row name in the settings list and its check box label.
struct RoomOption
{
    std::string_view rowName;
    std::string_view label;
};
const std::array<RoomOption, 8>& hDukeOptions();
const std::array<RoomOption, 3>& oldMpOptions();
// Options index of "Start with all weapons" and of the option that depends on it.
inline constexpr std::size_t kAllWeaponsOption = 6;
inline constexpr std::size_t kDisableExpanderOption = 7;

inline constexpr std::size_t kMaxRoomNameLength = 255;
inline constexpr std::size_t kMaxPasswordLength = 38;
// Whether a typed character may go into a room name or password. Tilde and bar never may:
// the room name travels inside "~" lines.
bool isPermittedNameChar(char32_t c);

} // namespace vantrell::roomhost
