#include "base/launch/LaunchInputs.h"

#include "base/launch/Switches.h"
#include "base/roomhost/RoomChoices.h"

namespace vantrell::launch {

int HostInputs::gameTypePosition() const
{
    return positionOf(roomhost::gameTypes(settings.kind), settings.gameType);
}

int HostInputs::teamNumber() const
{
    const int position =
        positionOf(roomhost::teamsForGameType(gameTypePosition()), settings.hostTeam);
    return position < 0 ? 0 : position + 1;
}

std::string HostInputs::hostUdpPort() const
{
    return members.empty() ? std::string() : members.front().udpPort;
}

std::string HostInputs::mapRow() const
{
    return settingsRows.size() > roomhost::kMapRow ? settingsRows[roomhost::kMapRow].value
                                                   : std::string();
}

std::string MemberInputs::value(std::size_t row) const
{
    return row < settings.size() ? settings[row].value : std::string();
}

namespace {
bool isBlank(const std::string& text)
{
    return text.find_first_not_of(" \t") == std::string::npos;
}
} // namespace

std::vector<roomhost::MemberRow> withHostAddress(std::vector<roomhost::MemberRow> members,
                                                 const std::string& roomAddress)
{
    if (!members.empty() && isBlank(members.front().remoteAddress))
        members.front().remoteAddress = roomAddress;
    return members;
}

roomhost::MemberRow MemberInputs::hostRow() const
{
    if (members.empty())
        return {};
    roomhost::MemberRow row = members.front();
    if (isBlank(row.remoteAddress))
        row.remoteAddress = roomAddress;
    return row;
}

} // namespace vantrell::launch
