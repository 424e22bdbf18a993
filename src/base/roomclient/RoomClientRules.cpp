#include "base/roomclient/RoomClientRules.h"

#include "base/roomhost/RoomSettings.h"

namespace vantrell::roomclient {

TeamChoices nextTeamChoices(const TeamChoices& current,
                            const std::vector<roomhost::SettingRow>& rows)
{
    if (roomPortWithRows(rows.size()) != SourcePort::HDuke)
        return current;
    const std::string& gameType = rows[roomhost::kGameTypeRow].value;
    const auto filledWith = [&current](int teams) {
        if (!current.items.empty())
            return current;
        TeamChoices filled;
        filled.enabled = true;
        for (int i = 1; i <= teams; ++i)
            filled.items.push_back("Team " + std::to_string(i));
        return filled;
    };
    if (gameType == "Team Dukematch")
        return filledWith(9);
    if (gameType == "Team Dukematch (Special Respawn)")
        return filledWith(2);
    if (gameType == "Dukematch (Spawn)" || gameType == "Cooperative" ||
        gameType == "Dukematch (No Spawn)")
        return TeamChoices{};
    return current;
}

std::optional<std::string> clientPingText(std::int64_t roundTripMs)
{
    const auto t = roundTripMs < 0 ? 0 : roundTripMs;
    if (t >= 1000)
        return std::string("N/A");
    if (t == 5 || t == 999)
        return std::nullopt;
    return std::to_string(t < 5 ? t + 1 : t + 6) + " ms";
}

RoomControls controlsForSourcePort(std::string_view sourcePort)
{
    const std::optional<SourcePort> port = roomPortNamed(sourcePort);
    return port ? sourcePortRow(*port).memberControls : RoomControls{};
}

std::optional<bool> spectatorAndDemoShown(const std::vector<roomhost::SettingRow>& rows)
{
    if (rows.size() <= roomhost::kSourcePortRow)
        return std::nullopt;
    const std::optional<SourcePort> port = roomPortNamed(rows[roomhost::kSourcePortRow].value);
    return port ? sourcePortRow(*port).checkShowsSpectatorAndDemo : std::nullopt;
}

std::optional<std::uint16_t> parseRoomPort(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace vantrell::roomclient
