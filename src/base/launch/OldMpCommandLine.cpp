#include "base/launch/OldMpCommandLine.h"

#include "base/launch/HostPieces.h"
#include "base/launch/Switches.h"
#include "base/roomhost/RoomChoices.h"

#include <array>

namespace vantrell::launch {

namespace {

const char kPrefix = sourcePortRow(SourcePort::EDuke32OldMP).switchPrefix;

std::optional<std::string> gameTypeSwitch(int position)
{
    if (position < 0 || position > 2)
        return std::nullopt;
    return "-c" + std::to_string(position + 1);
}

} // namespace

GameCommand oldMpHostSolo(const HostInputs& in)
{
    GameCommand command;
    CommandLine& line = command.line;
    line.piece().fixed("-name ").value(in.nickname).fixed(" -q8");
    addSwitch(line, skillSwitch(in.settings.skill, kPrefix));
    addHostMap(command, in, kPrefix);
    addSwitch(line, gameTypeSwitch(in.gameTypePosition()));
    line.piece().fixed("-nologo");
    addHostUsermap(command, in);
    return command;
}

GameCommand oldMpHostRoom(const HostInputs& in)
{
    const auto& settings = in.settings;
    GameCommand command;
    CommandLine& line = command.line;
    line.piece().fixed("-name ").value(in.nickname).fixed(" ");
    addSwitch(line, skillSwitch(settings.skill, kPrefix));
    addHostMap(command, in, kPrefix);
    addHostUsermap(command, in);
    addSwitch(line, gameTypeSwitch(in.gameTypePosition()));
    line.piece().fixed("-nologo");
    addSwitch(line, spawnSwitch(settings.spawn, kPrefix));
    if (settings.fraglimit != 0)
        line.piece().fixed("-y").value(std::to_string(settings.fraglimit));
    // Check boxes: 0 "Disable Friendly Fire", 1 "Enable Weapon Stay", 2 "Allow Visibility
    // Adjustment"; the host names weapon stay first.
    if (settings.oldMpOptions[1])
        line.piece().fixed("-wstay");
    if (settings.oldMpOptions[0])
        line.piece().fixed("-noffire");
    if (settings.oldMpOptions[2])
        line.piece().fixed("-allowvisibility");
    line.piece()
        .fixed("/net /n0:" + std::to_string(in.members.size()) + " /p")
        .value(in.hostUdpPort());
    return command;
}

GameCommand oldMpMember(const MemberInputs& in)
{
    using namespace roomhost;
    GameCommand command;
    CommandLine& line = command.line;
    const auto gameType =
        gameTypeSwitch(positionOf(gameTypes(SourcePort::EDuke32OldMP), in.value(kGameTypeRow)));
    if (gameType)
        line.piece().fixed("-name ").value(in.nickname).fixed(" " + *gameType);
    const std::string map = in.value(kMapRow);
    if (const auto level = levelByText(map))
        line.piece().fixed(mapSwitch(*level, kPrefix));
    line.piece().fixed("-nologo");
    if (isUsermapName(map)) {
        line.piece().fixed("-map ").value(map);
        command.usermap = map;
    }
    addSwitch(line, skillSwitch(in.value(kSkillRow), kPrefix));
    addSwitch(line, spawnSwitch(in.value(kSpawnRow), kPrefix));
    const std::string fraglimit = in.value(kFraglimitRow);
    if (fraglimit != "0")
        line.piece().fixed("-y").value(fraglimit);
    if (in.enabled(kFirstOptionRow))
        line.piece().fixed("-noffire");
    if (in.enabled(kFirstOptionRow + 1))
        line.piece().fixed("-wstay");
    if (in.enabled(kFirstOptionRow + 2))
        line.piece().fixed("-allowvisibility");
    const MemberRow host = in.hostRow();
    line.piece().fixed("/net /n0 ").value(host.remoteAddress).fixed(" /p").value(host.udpPort);
    return command;
}

} // namespace vantrell::launch
