#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

// Everything that differs between the source ports, one row per port. Readers ask the table
// and never compare port names; a new port is a row here plus its command-line builder.
namespace vantrell {

// The source ports, in the order of the settings file.
enum class SourcePort
{
    EDuke32OldMP,
    HDuke,
    NDuke,
    EDuke32,
    NBlood,
    VoidSW,
};
inline constexpr std::size_t kSourcePortCount = 6;

// The games with a usermaps folder, in the order of the settings file.
enum class Game
{
    Duke3d,
    Blood,
    ShadowWarrior,
};
inline constexpr std::size_t kGameCount = 3;

struct GameRow
{
    Game game{};
    // The settings list's "Game" row and the room list's game column; empty for a game
    // without rooms.
    std::string_view roomName{};
    // The source-port window's tab and the create-room submenu.
    std::string_view tabName{};
    std::string_view menuName{};
    std::string_view usermapsKey{};
    // Where the web site keeps the game's usermaps.
    std::string_view webPath{};
    // A join's lobby line when the usermaps folder is missing.
    std::string_view joinFolderMissing{};
    // The line a member sends a room's file server for the game's usermap.
    std::string_view usermapRequest{};
};

// How a game is started and waited for: with the program's own process runner, whose
// failure carries the system's text, or as the shell would start it, whose failure is the
// port's own "Error starting" box.
enum class StartStyle
{
    RunAndWait,
    Shell,
};

// What a create-room command tells the player when the port or its folder is not usable.
struct CreateRoomTexts
{
    std::string_view notEnabled{};
    std::string_view notConfigured{};
    std::array<std::string_view, 2> executableMissing{};
    std::array<std::string_view, 2> folderMissing{};
    // Whether the executable is looked at before the usermaps folder.
    bool executableFirst = false;
};

// Which of the room windows' optional controls a port's room shows.
struct RoomControls
{
    // "Be a Spectator" and "Record Demo" with their labels.
    bool spectatorAndDemo = true;
    // "Select team:" with its drop-down.
    bool team = true;
    bool operator==(const RoomControls&) const = default;
};

struct SourcePortRow
{
    SourcePort port{};
    // What rooms show and advertise, and what the settings list's "SourcePort" row holds.
    std::string_view name{};
    // The settings window's check box caption and the start of both its settings keys.
    std::string_view storedName{};
    Game game{};
    // The "Locate" dialog: its filter's description and the file names it lists.
    std::string_view locateFilter{};
    std::array<std::string_view, 2> executables{};

    // Everything below is for the ports that host rooms; `kindName` is empty for the rest.
    // The name the create-room commands use for the port.
    std::string_view kindName{};
    // The settings list's length for a room of this port; members tell the port by it.
    std::size_t settingsRows = 0;
    // The settings list's "Connection" row.
    std::string_view connection{};
    // The character that starts the switches the ports share ('/', '-'); none when the
    // port takes none of them.
    char switchPrefix = '\0';

    // The creation window: the most players it offers, whether it offers the Duke Nukem
    // 3D choices (original map, game type, skill, spawn, fraglimit) and the host's
    // "Spectate" box. Without the choices the room always plays its user map.
    int maxPlaces = 8;
    bool dukeChoices = true;
    // The creation window's game types, in the order of their switches.
    std::span<const std::string_view> gameTypes{};
    bool hostSpectates = false;
    // The member's window when it joins.
    RoomControls memberControls{};
    // What the member's periodic connection check does to its spectator and demo boxes for
    // a settings list of this port: show, hide, or nothing.
    std::optional<bool> checkShowsSpectatorAndDemo{};
    // Whether the host window shows "Record Demo".
    bool hostRecordsDemo = false;

    // The host's game alone and in a room.
    StartStyle soloStart = StartStyle::Shell;
    StartStyle roomStart = StartStyle::Shell;
    // A solo game starts even when the host has not clicked ready.
    bool soloWithoutReady = false;
    // A solo game starts quietly: no "Launching game...." and the Launch button untouched.
    bool quietSolo = false;
    // A room game reads a peer list and has the marker file taken away while it runs.
    bool peerList = false;
    // After the game the host refreshes the room's settings, and waits this long before
    // its log line.
    bool refreshAfterGame = false;
    int waitAfterGameMs = 0;
    // The host's last steps refresh the settings and wait 2000 ms.
    bool refreshWhenClosing = false;
    // A member waits this long before starting, so the host's game is up first.
    int memberWaitMs = 0;
    // The host's launch reads the executable and the in-game nickname from the settings
    // file itself rather than taking what the settings windows show.
    bool hostReadsFile = false;

    // The box when the game does not start.
    std::string_view startError{};
    // The box when the marker file cannot be taken away (ports with a peer list).
    std::string_view markerNotRemoved{};
    CreateRoomTexts createRoom{};

    bool hostsRooms() const { return !kindName.empty(); }
};

const SourcePortRow& sourcePortRow(SourcePort port);
const GameRow& gameRow(Game game);
// Every port and every game, in the order of the settings file.
std::span<const SourcePortRow> sourcePortRows();
std::span<const GameRow> gameRows();
// The ports that host rooms, in the order the create-room menu lists them.
std::span<const SourcePort> roomPorts();

// The room port with this shown name ("EDuke32-OldMP"), create-room name ("OldMP") or
// settings-list length; none for anything else.
std::optional<SourcePort> roomPortNamed(std::string_view name);
std::optional<SourcePort> roomPortOfKind(std::string_view kindName);
std::optional<SourcePort> roomPortWithRows(std::size_t rows);
// The game whose rooms show this name ("Blood Game").
std::optional<Game> gameWithRoomName(std::string_view name);
// Whether a line is one game's usermap request.
bool isUsermapRequest(std::string_view line);

inline std::size_t indexOf(SourcePort port)
{
    return static_cast<std::size_t>(port);
}
inline std::size_t indexOf(Game game)
{
    return static_cast<std::size_t>(game);
}

} // namespace vantrell
