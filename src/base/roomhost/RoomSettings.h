#pragma once

#include "base/common/SourcePorts.h"
#include "base/lobby/MainServerCodec.h"
#include "base/roomhost/RoomCodec.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::roomhost {

// Positions of the settings rows every kind has. Members and the launch read rows by index.
inline constexpr std::size_t kGameRow = 0;
inline constexpr std::size_t kSourcePortRow = 1;
inline constexpr std::size_t kMapRow = 2;
inline constexpr std::size_t kPlayersRow = 3;
inline constexpr std::size_t kGameTypeRow = 4;
inline constexpr std::size_t kSkillRow = 5;
inline constexpr std::size_t kSpawnRow = 6;
inline constexpr std::size_t kConnectionRow = 7;
inline constexpr std::size_t kFraglimitRow = 8;
inline constexpr std::size_t kFirstOptionRow = 9;

// What the host chose in the creation window, kept unchanged for the life of the room.
struct RoomSettings
{
    // The room's source port; only ports that host rooms.
    SourcePort kind = SourcePort::HDuke;
    std::string roomName;
    int playerPlaces = 8; // counts the host
    bool spectate = false;
    std::string hostTeam; // empty, or "Team 1" .. "Team 9"
    bool passwordProtected = false;
    std::string password; // kept, never sent
    int fraglimit = 0;
    bool originalMapChosen = true; // which of the two map boxes is ticked
    std::string originalMap = "None";
    std::string userMap = "None";
    std::string gameType;
    std::string skill;
    std::string spawn;
    std::array<bool, 8> hDukeOptions{};
    std::array<bool, 3> oldMpOptions{};

    std::string sourcePort() const { return std::string(sourcePortRow(kind).name); }
    std::string game() const { return std::string(gameRow(sourcePortRow(kind).game).roomName); }
    // The map the room plays: the original map when its box is ticked, else the user map.
    // A room without the Duke Nukem 3D choices always plays its user map.
    std::string map() const;
    // Rooms without those choices have neither game type nor skill, whatever the controls
    // held.
    std::string effectiveGameType() const;
    std::string effectiveSkill() const;
    // "1" when password protection is on, "0" otherwise.
    std::string privateFlag() const { return passwordProtected ? "1" : "0"; }

    bool operator==(const RoomSettings&) const = default;
};

// "<member rows>/<player places>", as the "Players" row and the advertisement show it.
std::string playersText(std::size_t memberRows, int playerPlaces);

// The positional settings list of a room, as long as its port's row says. memberRows is the current
// count of member rows, host included.
std::vector<SettingRow> buildSettingsList(const RoomSettings& settings, std::size_t memberRows);

// Writes the current player count into the "Players" row. Does nothing (and returns false)
// unless the list has the length of a room port's list, so a list of unexpected shape is
// never patched at a wrong position.
bool updatePlayersRow(std::vector<SettingRow>& rows, std::size_t memberRows, int playerPlaces);

// The "AdvertiseRoom" line for this room. The map is the settings list's Map row (what the
// members see), the players field the current member count over the places.
lobby::AdvertiseRoom makeAdvertisement(const RoomSettings& settings,
                                       const std::vector<SettingRow>& rows, std::size_t memberRows,
                                       std::string nickname, std::string roomPort,
                                       std::string inGameFlag);

} // namespace vantrell::roomhost
