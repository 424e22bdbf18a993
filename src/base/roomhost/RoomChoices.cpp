#include "base/roomhost/RoomChoices.h"

namespace vantrell::roomhost {

const std::vector<std::string_view>& originalMaps()
{
    static const std::vector<std::string_view> maps = {
        "None",
        "--- Episode 1: LA. Meltdown ---",
        "E1L1: Hollywood Holocaust",
        "E1L2: Red Light District",
        "E1L3: Death Row",
        "E1L4: Toxic Dump",
        "E1L5: The Abyss",
        "E1L6: Launch Facility",
        "E1L7: Faces Of Death",
        "--- Episode 2: Lunar Apocalypse",
        "E2L1: Spaceport",
        "E2L2: Incubator",
        "E2L3: Warp Factor",
        "E2L4: Fusion Station",
        "E2L5: Occupied Territory",
        "E2L6: Tiberius Station",
        "E2L7: Lunar Reactor",
        "E2L8: Dark Side",
        "E2L9: Overlord",
        "E2L10: Spin Cycle",
        "E2L11: Lunatic Fringe",
        "--- Episode 3: Shrapnel City---",
        "E3L1: Raw Meat",
        "E3L2: Bank Roll",
        "E3L3: Flood Zone",
        "E3L4: L.A. Rumble",
        "E3L5: Movie Set",
        "E3L6: Rabid Transit",
        "E3L7: Fahrenheit",
        "E3L8: Hotel Hell",
        "E3L9: Stadium",
        "E3L10: Tier Drops",
        "E3L11: Freeway",
        "--- Episode 4: The Birth ---",
        "E4L1: It's Impossible",
        "E4L2: Duke Burger",
        "E4L3: Shop-N-Bag",
        "E4L4: Babe Land",
        "E4L5: Pigsty",
        "E4L6: Going Postal",
        "E4L7: XXX-Stacy",
        "E4L8: Critical Mass",
        "E4L9: Derelict",
        "E4L10: The Queen",
        "E4L11: Area 51",
    };
    return maps;
}

std::vector<std::string_view> gameTypes(SourcePort port)
{
    const std::span<const std::string_view> types = sourcePortRow(port).gameTypes;
    return {types.begin(), types.end()};
}

const std::vector<std::string_view>& skills()
{
    static const std::vector<std::string_view> list = {"No Monsters", "Piece Of Cake", "Let's Rock",
                                                       "Come Get Some", "Damn I'm Good"};
    return list;
}

const std::vector<std::string_view>& spawns()
{
    static const std::vector<std::string_view> list = {"N/A", "Monsters", "Items", "Inventory",
                                                       "All"};
    return list;
}

std::vector<std::string_view> teamsForGameType(int gameTypePosition)
{
    static constexpr std::array<std::string_view, 9> teams = {
        "Team 1", "Team 2", "Team 3", "Team 4", "Team 5", "Team 6", "Team 7", "Team 8", "Team 9"};
    if (gameTypePosition == 3)
        return {teams.begin(), teams.end()};
    if (gameTypePosition == 4)
        return {teams.begin(), teams.begin() + 2};
    return {};
}

const std::array<RoomOption, 8>& hDukeOptions()
{
    static constexpr std::array<RoomOption, 8> options = {{
        {"ForceRespawn", "Force Respawn"},
        {"Disable Pistol", "Disable Pistol Weapon"},
        {"Disable Coop View", "Disable Coop View in all modes"},
        {"Disable Changing Teams", "Disable change team inside game"},
        {"Chronometer", "Enable Chronometer"},
        {"Special Fragbar", "Enable special Fragbar for Team Games"},
        {"Srart with all Weapons", "Start with all weapons"},
        {"Disable Expander", "Disable Expander in all weapons mode"},
    }};
    return options;
}

const std::array<RoomOption, 3>& oldMpOptions()
{
    static constexpr std::array<RoomOption, 3> options = {{
        {"Disable Friendly Fire", "Disable Friendly Fire"},
        {"Enable Weapon Stay", "Enable Weapon Stay"},
        {"Allow Visibility Adjustment", "Allow Visibility Adjustment"},
    }};
    return options;
}

bool isPermittedNameChar(char32_t c)
{
    if (c == U'\b')
        return true;
    if ((c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9'))
        return true;
    switch (c) {
    case U' ':
    case U'(':
    case U')':
    case U'-':
    case U'.':
    case U'/':
    case U':':
    case U'@':
    case U'[':
    case U'\\':
    case U']':
    case U'_':
    case U'{':
    case U'}':
        return true;
    default:
        return false;
    }
}

} // namespace vantrell::roomhost
