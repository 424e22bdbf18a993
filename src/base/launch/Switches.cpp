#include "base/launch/Switches.h"

#include "base/roomhost/RoomChoices.h"

#include <array>
#include <cctype>

namespace vantrell::launch {

std::optional<Level> levelAtPosition(int position)
{
    // First position of each episode's levels in the "Original Map:" list, and how many
    // levels it has; the heading sits just before.
    struct Episode
    {
        int first;
        int count;
    };
    static constexpr std::array<Episode, 4> episodes = {{{2, 7}, {10, 11}, {22, 11}, {34, 11}}};
    for (std::size_t e = 0; e < episodes.size(); ++e) {
        const int offset = position - episodes[e].first;
        if (offset >= 0 && offset < episodes[e].count)
            return Level{static_cast<int>(e) + 1, offset + 1};
    }
    return std::nullopt;
}

std::optional<Level> levelByText(std::string_view text)
{
    const int position = positionOf(roomhost::originalMaps(), text);
    if (position < 0)
        return std::nullopt;
    return levelAtPosition(position);
}

std::string mapSwitch(Level level, char prefix)
{
    return std::string(1, prefix) + "v" + std::to_string(level.episode) + " " + prefix + "l" +
           std::to_string(level.level);
}

std::optional<std::string> skillSwitch(std::string_view skill, char prefix)
{
    const int position = positionOf(roomhost::skills(), skill);
    if (position < 0)
        return std::nullopt;
    if (position == 0)
        return std::string(1, prefix) + "m";
    return std::string(1, prefix) + "s" + std::to_string(position);
}

std::optional<std::string> spawnSwitch(std::string_view spawn, char prefix)
{
    static constexpr std::array<std::string_view, 5> switches = {"", "t1", "t2", "t3", "tx"};
    const int position = positionOf(roomhost::spawns(), spawn);
    if (position <= 0)
        return std::nullopt;
    return std::string(1, prefix) + std::string(switches[static_cast<std::size_t>(position)]);
}

bool isUsermapName(std::string_view map)
{
    constexpr std::string_view extension = ".map";
    if (map.size() < extension.size())
        return false;
    const std::string_view tail = map.substr(map.size() - extension.size());
    for (std::size_t i = 0; i < extension.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != extension[i])
            return false;
    }
    return true;
}

} // namespace vantrell::launch
