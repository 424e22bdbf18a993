#pragma once

#include "base/launch/CommandLine.h"
#include "base/roomhost/RoomCodec.h"
#include "base/roomhost/RoomSettings.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vantrell::launch {

// What the host's launch reads: the creation window's choices (kept as the room settings),
// the host window's lists and its "Record Demo" box.
struct HostInputs
{
    roomhost::RoomSettings settings;
    // The host window's settings list; the NBlood launch reads its "Map" row.
    std::vector<roomhost::SettingRow> settingsRows;
    // Host first.
    std::vector<roomhost::MemberRow> members;
    // The in-game nickname.
    std::string nickname;
    bool recordDemo = false;

    // Position of the game type in the kind's "Game Type:" list, or -1.
    int gameTypePosition() const;
    // "Select your team:" position + 1, or 0 when no team is picked.
    int teamNumber() const;
    std::string hostUdpPort() const;
    std::string mapRow() const;
};

// What a member's launch reads: the lists the host sent last, the room window's boxes and
// team, and where the room is.
struct MemberInputs
{
    std::vector<roomhost::SettingRow> settings;
    // Host first.
    std::vector<roomhost::MemberRow> members;
    // The room's address as joined; stands in for the host's "Remote IPs" while the host
    // has not yet learnt its public address (the cell then holds a blank).
    std::string roomAddress;
    std::string nickname;
    // Position in "Select team:", -1 when none is chosen.
    int teamPosition = -1;
    bool recordDemo = false;
    bool spectator = false;

    // The value of a settings row; empty when the list is shorter.
    std::string value(std::size_t row) const;
    bool enabled(std::size_t row) const { return value(row) == "Enabled"; }
    // The host's row with a blank "Remote IPs" replaced by the room address.
    roomhost::MemberRow hostRow() const;
};

// The member list with a blank "Remote IPs" of the host's row replaced by the room
// address, as every member-side reader should see it.
std::vector<roomhost::MemberRow> withHostAddress(std::vector<roomhost::MemberRow> members,
                                                 const std::string& roomAddress);

// A built command line and the usermap it needs staged in the game folder (empty when
// none).
struct GameCommand
{
    CommandLine line;
    std::string usermap;
};

} // namespace vantrell::launch
