#include "base/roomhost/RoomSettings.h"

#include "base/roomhost/RoomChoices.h"

#include <utility>

namespace vantrell::roomhost {

std::string_view roomKindName(RoomKind kind)
{
    switch (kind) {
    case RoomKind::HDuke:
        return "hDuke";
    case RoomKind::OldMP:
        return "OldMP";
    case RoomKind::NBlood:
        return "NBlood";
    }
    return {};
}

std::optional<RoomKind> roomKindFromName(std::string_view name)
{
    for (RoomKind kind : {RoomKind::HDuke, RoomKind::OldMP, RoomKind::NBlood}) {
        if (roomKindName(kind) == name)
            return kind;
    }
    return std::nullopt;
}

std::string_view sourcePortName(RoomKind kind)
{
    switch (kind) {
    case RoomKind::HDuke:
        return "hDuke";
    case RoomKind::OldMP:
        return "EDuke32-OldMP";
    case RoomKind::NBlood:
        return "NBlood";
    }
    return {};
}

std::string_view gameName(RoomKind kind)
{
    return kind == RoomKind::NBlood ? "Blood Game" : "Duke Nukem 3D";
}

std::size_t settingsRowCount(RoomKind kind)
{
    switch (kind) {
    case RoomKind::HDuke:
        return kHDukeRowCount;
    case RoomKind::OldMP:
        return kOldMPRowCount;
    case RoomKind::NBlood:
        return kNBloodRowCount;
    }
    return 0;
}

std::optional<RoomKind> roomKindFromRowCount(std::size_t rows)
{
    for (RoomKind kind : {RoomKind::HDuke, RoomKind::OldMP, RoomKind::NBlood}) {
        if (settingsRowCount(kind) == rows)
            return kind;
    }
    return std::nullopt;
}

std::string RoomSettings::map() const
{
    if (kind == RoomKind::NBlood || !originalMapChosen)
        return userMap;
    return originalMap;
}

std::string RoomSettings::effectiveGameType() const
{
    return kind == RoomKind::NBlood ? std::string() : gameType;
}

std::string RoomSettings::effectiveSkill() const
{
    return kind == RoomKind::NBlood ? std::string() : skill;
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
    std::vector<SettingRow> rows;
    rows.reserve(settingsRowCount(settings.kind));
    rows.push_back({"Game", settings.game()});
    rows.push_back({"SourcePort", settings.sourcePort()});
    rows.push_back({"Map", settings.map()});
    rows.push_back({"Players", playersText(memberRows, settings.playerPlaces)});
    if (settings.kind == RoomKind::NBlood)
        return rows;

    rows.push_back({"Game Type", settings.gameType});
    rows.push_back({"Skill", settings.skill});
    rows.push_back({"Spawn", settings.spawn});
    rows.push_back({"Connection", settings.kind == RoomKind::HDuke ? "P2P" : "Master/Slave"});
    rows.push_back({"Fraglimit", std::to_string(settings.fraglimit)});
    if (settings.kind == RoomKind::HDuke) {
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
    if (!roomKindFromRowCount(rows.size()))
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
