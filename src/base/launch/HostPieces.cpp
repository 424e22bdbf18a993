#include "base/launch/HostPieces.h"

#include "base/launch/Switches.h"
#include "base/roomhost/RoomChoices.h"

namespace vantrell::launch {

void addHostMap(GameCommand& command, const HostInputs& in, char prefix)
{
    if (!in.settings.originalMapChosen)
        return;
    const int position = positionOf(roomhost::originalMaps(), in.settings.originalMap);
    if (const auto level = levelAtPosition(position))
        command.line.piece().fixed(mapSwitch(*level, prefix));
}

void addHostUsermap(GameCommand& command, const HostInputs& in)
{
    if (in.settings.originalMapChosen)
        return;
    command.line.piece().fixed("-map ").value(in.settings.userMap);
    command.usermap = in.settings.userMap;
}

void addSwitch(CommandLine& line, const std::optional<std::string>& sw)
{
    if (sw)
        line.piece().fixed(*sw);
}

} // namespace vantrell::launch
