#include "base/launch/NBloodCommandLine.h"

#include "base/launch/Switches.h"

namespace vantrell::launch {

GameCommand nBloodHostSolo(const HostInputs& in)
{
    GameCommand command;
    command.line.piece().fixed("-pname ").value(in.nickname).fixed(" -setup");
    command.usermap = in.settings.userMap;
    const std::string map = in.mapRow();
    if (isUsermapName(map))
        command.line.piece().fixed("-map ").value(map);
    return command;
}

GameCommand nBloodHostRoom(const HostInputs& in)
{
    GameCommand command;
    command.line.piece()
        .fixed("-pname ")
        .value(in.nickname)
        .fixed(" -nosetup -server " + std::to_string(in.members.size()) + " -port ")
        .value(in.hostUdpPort());
    command.usermap = in.settings.userMap;
    return command;
}

GameCommand nBloodMember(const MemberInputs& in)
{
    GameCommand command;
    const auto host = in.hostRow();
    command.line.piece()
        .fixed("-pname ")
        .value(in.nickname)
        .fixed(" -nosetup -client ")
        .value(host.remoteAddress)
        .fixed(" -port ")
        .value(host.udpPort);
    const std::string map = in.value(roomhost::kMapRow);
    if (isUsermapName(map))
        command.usermap = map;
    return command;
}

} // namespace vantrell::launch
