#include "base/lobby/RoomFilter.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace vantrell::lobby {

namespace {
bool wholeNumber(std::string_view text, long long& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// "8/8" (or more players than places) is full; anything that is not "count/places" is not.
bool isFull(std::string_view players)
{
    const auto slash = players.find('/');
    if (slash == std::string_view::npos)
        return false;
    long long count = 0;
    long long places = 0;
    return wholeNumber(players.substr(0, slash), count) &&
           wholeNumber(players.substr(slash + 1), places) && count >= places;
}

bool isSetUp(const RoomRecord& room, const std::vector<SourcePort>& setUp)
{
    const auto port = roomPortNamed(room.sourcePort);
    const auto game = gameWithRoomName(room.game);
    return port && game && sourcePortRow(*port).game == *game &&
           std::find(setUp.begin(), setUp.end(), *port) != setUp.end();
}
} // namespace

std::vector<SourcePort> setUpRoomPorts(const settings::SourcePortSettings& sourcePorts,
                                       const std::function<bool(const std::string&)>& isFile)
{
    std::vector<SourcePort> setUp;
    for (const SourcePort port : roomPorts()) {
        const auto& entry = sourcePorts.port(port);
        if (entry.enabled && !entry.path.empty() && isFile(entry.path))
            setUp.push_back(port);
    }
    return setUp;
}

bool roomPassesFilters(const RoomRecord& room, const settings::RoomFilterSettings& filters,
                       const std::vector<SourcePort>& setUp)
{
    if (filters.hideFull && isFull(room.players))
        return false;
    if (filters.hideInGame && room.inGame == "Yes")
        return false;
    if (filters.hidePrivate && room.isPrivate)
        return false;
    return !filters.onlySetUpPorts || isSetUp(room, setUp);
}

} // namespace vantrell::lobby
