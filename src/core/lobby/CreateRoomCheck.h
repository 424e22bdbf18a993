#pragma once

#include "base/roomhost/RoomSettings.h"
#include "base/settings/SourcePortSettings.h"

#include <filesystem>

#include <QStringList>

namespace vantrell::core {

// What a create-room command finds before the room creation window may open: whether the
// source port is enabled and configured, whether a usermaps folder is set, and whether the
// executable and the folder exist (hDuke looks at the executable first, the others at the
// folder first, and only the first failure is reported).
struct CreateRoomCheck
{
    QStringList messageBoxes; // in the order they are shown
    QStringList logLines;     // for the lobby log, framed by empty lines
    bool passed = false;
};

// Checks the kind's source port and its game's usermaps folder as the settings hold them
// (the caller refreshes them from the file first).
CreateRoomCheck checkCreateRoom(roomhost::RoomKind kind,
                                const settings::SourcePortSettings& sourcePorts);

// The usermaps folder of the kind's game.
std::filesystem::path usermapsFolderFor(roomhost::RoomKind kind,
                                        const settings::SourcePortSettings& sourcePorts);

} // namespace vantrell::core
