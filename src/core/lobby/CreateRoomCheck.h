#pragma once

#include "base/roomhost/RoomSettings.h"

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

// Reads the port's keys and the game's usermaps folder from "vantrel.cfg" in the folder; a
// missing file counts as a port neither enabled nor configured.
CreateRoomCheck checkCreateRoom(roomhost::RoomKind kind, const std::filesystem::path& configFolder);

} // namespace vantrell::core
