#include "base/common/SourcePorts.h"

namespace vantrell {

namespace {

constexpr GameRow kGames[kGameCount] = {
    {
        .game = Game::Duke3d,
        .roomName = "Duke Nukem 3D",
        .tabName = "Duke Nukem 3D",
        .menuName = "Duke Nukem 3D",
        .usermapsKey = "Duke3d Usermaps Path",
        .webPath = "/content/uploaded_files/",
        .joinFolderMissing = "Your UserMaps directory location is invalid!",
        .usermapRequest = "RequestFile",
    },
    {
        .game = Game::Blood,
        .roomName = "Blood Game",
        .tabName = "Blood",
        .menuName = "Blood: One Unit Whole Blood",
        .usermapsKey = "Blood Usermaps Path",
        .webPath = "/bloodcontent/uploaded_files/",
        .joinFolderMissing = "Your Blood game UserMaps directory location is invalid!",
        .usermapRequest = "NBloodRequestFile",
    },
    {
        .game = Game::ShadowWarrior,
        .roomName = {},
        .tabName = "Shadow Warrior",
        .menuName = "Shadow Warrior",
        .usermapsKey = "Shadow Warrior Usermaps Path",
        .webPath = {},
        .joinFolderMissing = {},
        .usermapRequest = {},
    },
};

constexpr std::string_view kMasterSlaveGameTypes[] = {"Dukematch", "Cooperative", "Team Dukematch"};
constexpr std::string_view kPeerToPeerGameTypes[] = {"Dukematch (Spawn)", "Cooperative",
                                                     "Dukematch (No Spawn)", "Team Dukematch",
                                                     "Team Dukematch (Special Respawn)"};

constexpr SourcePortRow kPorts[kSourcePortCount] = {
    {
        .port = SourcePort::EDuke32OldMP,
        .name = "EDuke32-OldMP",
        .storedName = "EDuke32-OldMP",
        .game = Game::Duke3d,
        .locateFilter = "EDuke32-OldMP Executable",
        .executables = {"eduke32-oldmp.exe"},
        .kindName = "OldMP",
        .settingsRows = 12,
        .connection = "Master/Slave",
        .switchPrefix = '-',
        .maxPlaces = 16,
        .gameTypes = kMasterSlaveGameTypes,
        .memberControls = {.spectatorAndDemo = false, .team = true},
        .checkShowsSpectatorAndDemo = false,
        .soloWithoutReady = true,
        .quietSolo = true,
        .refreshAfterGame = true,
        .waitAfterGameMs = 2000,
        .startError = "Error starting EDuke32-OldMP!",
        .createRoom =
            {
                .notEnabled = "You need to enable the EDuke32-OldMP Source Port in the options!",
                .notConfigured = "You need to configure EDuke32-OldMP as a Source Port first "
                                 "before creating a game!",
                .executableMissing = {"Your EDuke32-OldMP SourcePort location is invalid.",
                                      "Please check your Duke Nukem 3D EDuke32-OldMP path "
                                      "settings."},
                .folderMissing = {"Your Duke Nukem 3D UserMaps location is invalid.",
                                  "Please check your Duke Nukem 3D UserMaps folder location "
                                  "settings."},
            },
    },
    {
        .port = SourcePort::HDuke,
        .name = "hDuke",
        .storedName = "hDuke",
        .game = Game::Duke3d,
        .locateFilter = "hDuke Executable",
        .executables = {"hduke.exe"},
        .kindName = "hDuke",
        .settingsRows = 17,
        .connection = "P2P",
        .switchPrefix = '/',
        .gameTypes = kPeerToPeerGameTypes,
        .hostSpectates = true,
        .checkShowsSpectatorAndDemo = true,
        .hostRecordsDemo = true,
        .soloStart = StartStyle::RunAndWait,
        .peerList = true,
        .refreshWhenClosing = true,
        .startError = "Error starting hDuke!",
        .markerNotRemoved = "Error when trying to remove the file \"kesh.txt\", this file can "
                            "cause problems on launching hDuke.",
        .createRoom =
            {
                .notEnabled = "You need to enable the hDuke Source Port in the options!",
                .notConfigured =
                    "You need to configure hDuke as a Source Port first before creating a game!",
                .executableMissing = {"The SourcePort for the hDuke settings is invalid.",
                                      "Please configure your hDuke settings."},
                .folderMissing = {"Your Duke Nukem 3D UserMaps folder is invalid.",
                                  "Please configure your UserMap folder settings to store maps."},
                .executableFirst = true,
            },
    },
    {
        .port = SourcePort::NDuke,
        .name = "nDuke",
        .storedName = "nDuke",
        .game = Game::Duke3d,
        .locateFilter = "nDuke Executable",
        .executables = {"nduke.exe"},
    },
    {
        .port = SourcePort::EDuke32,
        .name = "EDuke32",
        .storedName = "EDuke32",
        .game = Game::Duke3d,
        // EDuke32 installations are often the multiplayer build renamed, so its dialog lists
        // that file as well as EDuke32's own.
        .locateFilter = "EDuke32",
        .executables = {"eduke32-oldmp.exe", "eduke32.exe"},
    },
    {
        .port = SourcePort::NBlood,
        .name = "NBlood",
        .storedName = "nBlood",
        .game = Game::Blood,
        .locateFilter = "nBlood Executable",
        .executables = {"nblood.exe"},
        .kindName = "NBlood",
        .settingsRows = 4,
        .dukeChoices = false,
        .memberControls = {.spectatorAndDemo = false, .team = false},
        .soloStart = StartStyle::RunAndWait,
        .roomStart = StartStyle::RunAndWait,
        .soloWithoutReady = true,
        .refreshAfterGame = true,
        .memberWaitMs = 5000,
        .hostReadsFile = true,
        .startError = "Error starting NBlood!",
        .createRoom =
            {
                .notEnabled = "You need to enable the NBlood Source Port in the options!",
                .notConfigured =
                    "You need to configure NBlood as a Source Port first before creating a game!",
                .executableMissing = {"Your NBlood SourcePort location is invalid.",
                                      "Please check your Blood NBlood path settings."},
                .folderMissing = {"Your Blood UserMaps location is invalid.",
                                  "Please check your Blood UserMaps folder location settings."},
            },
    },
    {
        .port = SourcePort::VoidSW,
        .name = "VoidSW",
        .storedName = "VoidSW",
        .game = Game::ShadowWarrior,
        .locateFilter = "VoidSW Executable",
        .executables = {"voidsw.exe"},
    },
};

constexpr SourcePort kRoomPorts[] = {SourcePort::HDuke, SourcePort::EDuke32OldMP,
                                     SourcePort::NBlood};

template <typename Matches>
std::optional<SourcePort> findRoomPort(Matches matches)
{
    for (const SourcePort port : kRoomPorts) {
        if (matches(sourcePortRow(port)))
            return port;
    }
    return std::nullopt;
}

} // namespace

const SourcePortRow& sourcePortRow(SourcePort port)
{
    return kPorts[indexOf(port)];
}

const GameRow& gameRow(Game game)
{
    return kGames[indexOf(game)];
}

std::span<const SourcePortRow> sourcePortRows()
{
    return kPorts;
}

std::span<const GameRow> gameRows()
{
    return kGames;
}

std::span<const SourcePort> roomPorts()
{
    return kRoomPorts;
}

std::optional<SourcePort> roomPortNamed(std::string_view name)
{
    return findRoomPort([name](const SourcePortRow& row) { return row.name == name; });
}

std::optional<SourcePort> roomPortOfKind(std::string_view kindName)
{
    return findRoomPort([kindName](const SourcePortRow& row) { return row.kindName == kindName; });
}

std::optional<SourcePort> roomPortWithRows(std::size_t rows)
{
    return findRoomPort([rows](const SourcePortRow& row) { return row.settingsRows == rows; });
}

std::optional<Game> gameWithRoomName(std::string_view name)
{
    for (const GameRow& row : kGames) {
        if (!row.roomName.empty() && row.roomName == name)
            return row.game;
    }
    return std::nullopt;
}

bool isUsermapRequest(std::string_view line)
{
    for (const GameRow& row : kGames) {
        if (!row.usermapRequest.empty() && row.usermapRequest == line)
            return true;
    }
    return false;
}

} // namespace vantrell
