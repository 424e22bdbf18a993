#include "base/lobby/JoinPlan.h"

#include "base/common/PlainFileName.h"

namespace vantrell::lobby {

namespace {

std::string concat(std::initializer_list<std::string_view> parts)
{
    std::string out;
    for (const std::string_view part : parts)
        out += part;
    return out;
}

bool isUsermapName(std::string_view map)
{
    constexpr std::string_view kExtension = ".map";
    if (map.size() < kExtension.size())
        return false;
    const std::string_view tail = map.substr(map.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kExtension[i])
            return false;
    }
    return true;
}

// The source-port check: true when the port may be started; otherwise the advice lines.
bool checkPort(const SourcePortRow& port, const JoinSettings& settings, const JoinDisk& disk,
               std::vector<std::string>& log)
{
    const std::string please =
        concat({"Please set up the ", port.name, " SourcePort first before joining a room."});
    const settings::SourcePortSettings::Entry& entry = settings.sourcePorts.port(port.port);
    if (!entry.enabled) {
        log.insert(log.end(), {"", concat({"Your SourcePort for ", port.name, " is not set up."}),
                               please, ""});
        return false;
    }
    const std::string& executable = entry.path;
    if (!executable.empty() && disk.isFile(executable))
        return true;
    log.insert(
        log.end(),
        {"", concat({"Your SourcePort path location for ", port.name, " is not set up correctly."}),
         please, ""});
    return false;
}

} // namespace

JoinPlan planJoin(const JoinRow& row, const JoinSettings& settings, const JoinDisk& disk,
                  std::string_view webHost)
{
    JoinPlan plan;
    plan.address = RoomAddress{row.ip, row.roomPort, row.sourcePort, row.roomName};

    const std::optional<Game> gameFound = gameWithRoomName(row.game);
    const GameRow* game = gameFound ? &gameRow(*gameFound) : nullptr;
    // The room's port, when it is one of the game's.
    const std::optional<SourcePort> portFound = roomPortNamed(row.sourcePort);
    const SourcePortRow* port =
        portFound && gameFound && sourcePortRow(*portFound).game == *gameFound
            ? &sourcePortRow(*portFound)
            : nullptr;

    if (!settings.readable) {
        // Nothing from the file can be trusted: every port counts as not enabled, so the
        // player learns what to fix. The usermaps folder is unknown, so neither the folder
        // advice nor a download (it would have nowhere to go) follows.
        plan.logLines.emplace_back(kUnreadableConfigLine);
        if (port)
            checkPort(*port, JoinSettings{}, disk, plan.logLines);
        return plan;
    }
    if (!game)
        return plan;

    const std::string& folder = settings.sourcePorts.usermapsFolder(game->game);
    const bool folderFound = !folder.empty() && disk.isFolder(folder);
    bool join = false;
    if (!folderFound) {
        plan.logLines.insert(plan.logLines.end(),
                             {"", std::string(game->joinFolderMissing),
                              "You cannot join a game without setting up the game first!", ""});
    } else if (port) {
        join = checkPort(*port, settings, disk, plan.logLines);
    }
    plan.openRoom = join;

    if (!isUsermapName(row.map))
        return plan;
    if (!isPlainFileName(row.map)) {
        // A name that would reach outside the usermaps folder is neither looked up nor
        // requested; the join goes on as after a failed download.
        plan.download = UsermapDownload{{}, {}, std::string(webHost), {}, true};
        return plan;
    }
    const std::string target = folder + kPathSeparator + row.map;
    if (folderFound && disk.isFile(target))
        return plan;

    UsermapDownload download;
    download.target = target;
    download.host = std::string(webHost);
    download.path = concat({game->webPath, row.map});
    download.url = concat({"https://", webHost, download.path});
    download.refused = !folderFound;
    plan.logLines.insert(plan.logLines.end(), {"", concat({target, " does not exist."}),
                                               concat({"Attempting download of ", row.map}),
                                               concat({"Downloading: ", download.url})});
    plan.download = std::move(download);
    return plan;
}

std::string usermapReceivedLine(std::string_view target, long long size)
{
    return concat({"Recieved ", target, " of ", std::to_string(size), " bytes."});
}

} // namespace vantrell::lobby
