#include "base/launch/HDukeCommandLine.h"

#include "base/launch/HostPieces.h"
#include "base/launch/Switches.h"
#include "base/roomhost/RoomChoices.h"

#include <array>

namespace vantrell::launch {

namespace {

const char kPrefix = sourcePortRow(SourcePort::HDuke).switchPrefix;

} // namespace

GameCommand hDukeHostSolo(const HostInputs& in)
{
    GameCommand command;
    CommandLine& line = command.line;
    line.piece().fixed("-name ").value(in.nickname).fixed(" /q8");
    addSwitch(line, skillSwitch(in.settings.skill, kPrefix));
    addHostMap(command, in, kPrefix);
    // Team games play as a plain dukematch when alone.
    static constexpr std::array<std::string_view, 5> gameTypeSwitch = {"/c1", "/c2", "/c3", "/c1",
                                                                       "/c1"};
    const int gameType = in.gameTypePosition();
    if (gameType >= 0)
        line.piece().fixed(gameTypeSwitch[static_cast<std::size_t>(gameType)]);
    addHostUsermap(command, in);
    return command;
}

GameCommand hDukeHostRoom(const HostInputs& in)
{
    const auto& settings = in.settings;
    const auto& options = settings.hDukeOptions;
    const int gameType = in.gameTypePosition();
    const bool teamGame = gameType == 3 || gameType == 4;

    GameCommand command;
    CommandLine& line = command.line;
    line.piece().fixed("-name ");
    if (teamGame)
        line.fixed(std::to_string(in.teamNumber()) + "#");
    line.value(in.nickname).fixed(" ");
    if (in.recordDemo)
        line.piece().fixed("/r");
    addSwitch(line, skillSwitch(settings.skill, kPrefix));
    addHostMap(command, in, kPrefix);
    addHostUsermap(command, in);
    if (gameType >= 0 && gameType <= 2)
        line.piece().fixed("/c" + std::to_string(gameType + 1));
    addSwitch(line, spawnSwitch(settings.spawn, kPrefix));
    if (options[roomhost::kAllWeaponsOption])
        line.piece().fixed("-dnweapons");
    if (options[roomhost::kDisableExpanderOption])
        line.piece().fixed("-noexpander");
    if (settings.fraglimit != 0)
        line.piece().fixed("/y").value(std::to_string(settings.fraglimit));
    // Options 0 to 5 in the order of their check boxes.
    static constexpr std::array<std::string_view, 6> optionSwitches = {
        "-forcerespawn", "-nopistol", "-disablek", "-nochange", "-gametime", "-newfragbar"};
    for (std::size_t i = 0; i < optionSwitches.size(); ++i) {
        if (options[i])
            line.piece().fixed(optionSwitches[i]);
    }
    if (settings.spectate)
        line.piece().fixed("-spectator");
    if (gameType == 3)
        line.piece().fixed("-team");
    else if (gameType == 4)
        line.piece().fixed("-teamforts");
    line.piece().fixed("-net netlist.txt");
    return command;
}

GameCommand hDukeMember(const MemberInputs& in)
{
    using namespace roomhost;
    GameCommand command;
    CommandLine& line = command.line;

    const std::string gameType = in.value(kGameTypeRow);
    if (gameType == "Dukematch (Spawn)")
        line.piece().fixed("-name ").value(in.nickname).fixed(" /c1");
    else if (gameType == "Cooperative")
        line.piece().fixed("-name ").value(in.nickname).fixed(" /c2");
    else if (gameType == "Dukematch (No Spawn)")
        line.piece().fixed("-name ").value(in.nickname).fixed(" /c3");
    else if (gameType == "Team Dukematch" || gameType == "Team Dukematch (Special Respawn)")
        line.piece()
            .fixed("-name " + std::to_string(in.teamPosition < 0 ? 0 : in.teamPosition + 1) + "#")
            .value(in.nickname)
            .fixed(" -team");

    if (in.recordDemo)
        line.piece().fixed("/r");
    const std::string map = in.value(kMapRow);
    if (const auto level = levelByText(map))
        line.piece().fixed(mapSwitch(*level, kPrefix));
    if (isUsermapName(map)) {
        line.piece().fixed("-map ").value(map);
        command.usermap = map;
    }
    addSwitch(line, skillSwitch(in.value(kSkillRow), kPrefix));
    addSwitch(line, spawnSwitch(in.value(kSpawnRow), kPrefix));
    const std::string fraglimit = in.value(kFraglimitRow);
    if (fraglimit != "0")
        line.piece().fixed("/y").value(fraglimit);
    // The option rows in their order: ForceRespawn .. Disable Expander.
    static constexpr std::array<std::string_view, 8> optionSwitches = {
        "-forcerespawn", "-nopistol",   "-disablek",  "-nochange",
        "-gametime",     "-newfragbar", "-dnweapons", "-noexpander"};
    for (std::size_t i = 0; i < optionSwitches.size(); ++i) {
        if (in.enabled(kFirstOptionRow + i))
            line.piece().fixed(optionSwitches[i]);
    }
    if (in.spectator)
        line.piece().fixed("-spectator");
    line.piece().fixed("-net netlist.txt");
    return command;
}

} // namespace vantrell::launch
