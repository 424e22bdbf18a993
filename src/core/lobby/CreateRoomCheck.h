#pragma once

#include "base/common/SourcePorts.h"
#include "base/settings/SourcePortSettings.h"

#include <filesystem>

#include <QStringList>

namespace vantrell::core {

// What a create-room command finds before the room creation window may open: whether the
// source port is enabled and configured, whether a usermaps folder is set, and whether the
// executable and the folder exist (in the order the port's row gives, and only the first
// failure is reported).
struct CreateRoomCheck
{
    QStringList messageBoxes; // in the order they are shown
    QStringList logLines;     // for the lobby log, framed by empty lines
    bool passed = false;
};

// Checks the source port and its game's usermaps folder as the settings hold them
// (the caller refreshes them from the file first).
CreateRoomCheck checkCreateRoom(SourcePort port, const settings::SourcePortSettings& sourcePorts);

// The usermaps folder of the port's game.
std::filesystem::path usermapsFolderFor(SourcePort port,
                                        const settings::SourcePortSettings& sourcePorts);

} // namespace vantrell::core
