#pragma once

#include "base/common/SourcePorts.h"
#include "base/roomhost/RoomCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The member side's small rules: which team choices the room offers, what a measured echo
// shows in the Ping column, which controls a room's source port keeps.
namespace vantrell::roomclient {

// The "Select team:" drop-down: its entries and whether it can be used.
struct TeamChoices
{
    std::vector<std::string> items;
    bool enabled = false;
    bool operator==(const TeamChoices&) const = default;
};

// The drop-down after the settings list changed to `rows`. Only a list of hDuke's length
// says anything; its game type (row 4) decides: a team game fills an empty drop-down (nine
// teams, or two for "Team Dukematch (Special Respawn)") and leaves a filled one alone; the
// three games without teams empty and disable it; any other value changes nothing.
TeamChoices nextTeamChoices(const TeamChoices& current,
                            const std::vector<roomhost::SettingRow>& rows);

// What one ICMP echo of roundTripMs milliseconds shows in a member's Ping column: below 5
// it is t+1, from 6 to 998 t+6, from 1000 "N/A". Exactly 5 and 999 leave the column as it
// was (nothing).
std::optional<std::string> clientPingText(std::int64_t roundTripMs);

// The controls for the source port a join handed over, as its row says; a name that is no
// room port's keeps them all.
RoomControls controlsForSourcePort(std::string_view sourcePort);

// What the periodic connection check does to the spectator and demo boxes, from row 1 (the
// source port) of the settings list, as that port's row says; nothing without such a row or
// for a name that is no room port's.
std::optional<bool> spectatorAndDemoShown(const std::vector<roomhost::SettingRow>& rows);

// A room port as a join hands it over: decimal digits naming a port from 1 to 65535.
std::optional<std::uint16_t> parseRoomPort(std::string_view text);

} // namespace vantrell::roomclient
