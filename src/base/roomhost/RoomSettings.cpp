#include "base/roomhost/RoomSettings.h"

#include "base/roomhost/RoomChoices.h"

#include <utility>

namespace vantrell::roomhost {

std::string RoomSettings::map() const
{
    if (!sourcePortRow(kind).dukeChoices || !originalMapChosen)
        return userMap;
    return originalMap;
}

std::string RoomSettings::effectiveGameType() const
{
    return sourcePortRow(kind).dukeChoices ? gameType : std::string();
}

std::string RoomSettings::effectiveSkill() const
{
    return sourcePortRow(kind).dukeChoices ? skill : std::string();
}

std::string playersText(std::size_t memberRows, int playerPlaces)
{
    return std::to_string(memberRows) + "/" + std::to_string(playerPlaces);
}

namespace {
std::string enabledText(bool on)
{
    return on ? "Enabled" : "Disabled";
}
} // namespace

std::vector<SettingRow> buildSettingsList(const RoomSettings& settings, std::size_t memberRows)
{
    const SourcePortRow& port = sourcePortRow(settings.kind);
    std::vector<SettingRow> rows;
    rows.reserve(port.settingsRows);
    rows.push_back({"Game", settings.game()});
    rows.push_back({"SourcePort", settings.sourcePort()});
    rows.push_back({"Map", settings.map()});
    rows.push_back({"Players", playersText(memberRows, settings.playerPlaces)});
    if (!port.dukeChoices)
        return rows;

    rows.push_back({"Game Type", settings.gameType});
    rows.push_back({"Skill", settings.skill});
    rows.push_back({"Spawn", settings.spawn});
    rows.push_back({"Connection", std::string(port.connection)});
    rows.push_back({"Fraglimit", std::to_string(settings.fraglimit)});
    if (settings.kind == SourcePort::HDuke) {
        for (std::size_t i = 0; i < hDukeOptions().size(); ++i)
            rows.push_back(
                {std::string(hDukeOptions()[i].rowName), enabledText(settings.hDukeOptions[i])});
    } else {
        for (std::size_t i = 0; i < oldMpOptions().size(); ++i)
            rows.push_back(
                {std::string(oldMpOptions()[i].rowName), enabledText(settings.oldMpOptions[i])});
    }
    return rows;
}

bool updatePlayersRow(std::vector<SettingRow>& rows, std::size_t memberRows, int playerPlaces)
{
    if (!roomPortWithRows(rows.size()))
        return false;
    rows[kPlayersRow].value = playersText(memberRows, playerPlaces);
    return true;
}

lobby::AdvertiseRoom makeAdvertisement(const RoomSettings& settings,
                                       const std::vector<SettingRow>& rows, std::size_t memberRows,
                                       std::string nickname, std::string roomPort,
                                       std::string inGameFlag)
{
    lobby::AdvertiseRoom ad;
    ad.nickname = std::move(nickname);
    ad.privateFlag = settings.privateFlag();
    ad.roomPort = std::move(roomPort);
    ad.roomName = settings.roomName;
    ad.game = settings.game();
    ad.sourcePort = settings.sourcePort();
    ad.players = playersText(memberRows, settings.playerPlaces);
    // The map as the members see it; a list not yet built falls back to the settings.
    ad.map = rows.size() > kMapRow ? rows[kMapRow].value : settings.map();
    ad.gameType = settings.effectiveGameType();
    ad.skill = settings.effectiveSkill();
    ad.inGame = std::move(inGameFlag);
    return ad;
}

} // namespace vantrell::roomhost
