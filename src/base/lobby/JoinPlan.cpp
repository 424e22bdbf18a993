#include "base/lobby/JoinPlan.h"

#include "base/common/PlainFileName.h"

namespace vantrell::lobby {

namespace {

struct PortSetup
{
    std::string_view name;
    std::string JoinSettings::*path;
    bool JoinSettings::*enabled;
};

struct GameSetup
{
    std::string_view game;
    std::string JoinSettings::*folder;
    std::string_view webPath;
    std::string_view folderMissingLine;
    PortSetup ports[2];
    int portCount;
};

const GameSetup kGames[] = {
    {kDukeGame,
     &JoinSettings::dukeUsermapsFolder,
     "/content/uploaded_files/",
     "Your UserMaps directory location is invalid!",
     {{"EDuke32-OldMP", &JoinSettings::oldMpPath, &JoinSettings::oldMpEnabled},
      {"hDuke", &JoinSettings::hDukePath, &JoinSettings::hDukeEnabled}},
     2},
    {kBloodGame,
     &JoinSettings::bloodUsermapsFolder,
     "/bloodcontent/uploaded_files/",
     "Your Blood game UserMaps directory location is invalid!",
     {{"NBlood", &JoinSettings::nBloodPath, &JoinSettings::nBloodEnabled}, {}},
     1},
};

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
bool checkPort(const PortSetup& port, const JoinSettings& settings, const JoinDisk& disk,
               std::vector<std::string>& log)
{
    const std::string please =
        concat({"Please set up the ", port.name, " SourcePort first before joining a room."});
    if (!(settings.*port.enabled)) {
        log.insert(log.end(), {"", concat({"Your SourcePort for ", port.name, " is not set up."}),
                               please, ""});
        return false;
    }
    const std::string& executable = settings.*port.path;
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
    plan.address = RoomAddress{row.ip, row.roomPort, row.sourcePort};

    const GameSetup* game = nullptr;
    for (const GameSetup& candidate : kGames) {
        if (candidate.game == row.game)
            game = &candidate;
    }

    if (!settings.readable) {
        // Nothing from the file can be trusted: every port counts as not enabled, so the
        // player learns what to fix. The usermaps folder is unknown, so neither the folder
        // advice nor a download (it would have nowhere to go) follows.
        plan.logLines.emplace_back(kUnreadableConfigLine);
        if (game) {
            const JoinSettings none;
            for (int i = 0; i < game->portCount; ++i) {
                if (game->ports[i].name == row.sourcePort)
                    checkPort(game->ports[i], none, disk, plan.logLines);
            }
        }
        return plan;
    }
    if (!game)
        return plan;

    const std::string& folder = settings.*game->folder;
    const bool folderFound = !folder.empty() && disk.isFolder(folder);
    bool join = false;
    if (!folderFound) {
        plan.logLines.insert(plan.logLines.end(),
                             {"", std::string(game->folderMissingLine),
                              "You cannot join a game without setting up the game first!", ""});
    } else {
        for (int i = 0; i < game->portCount; ++i) {
            if (game->ports[i].name == row.sourcePort)
                join = checkPort(game->ports[i], settings, disk, plan.logLines);
        }
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
