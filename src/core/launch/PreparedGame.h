#pragma once

#include "base/common/Result.h"
#include "base/launch/LaunchInputs.h"
#include "core/launch/GameFolder.h"
#include "core/launch/GameProcess.h"
#include "core/launch/WineStart.h"

#include <string>
#include <string_view>

namespace vantrell::core {

// One game made ready in its source port's folder, for the host's launch and a member's
// alike: the executable checked, the command line taken, the usermap staged, the peer list
// written and the marker taken away, and everything put back after the game. The launches
// keep only the order of their steps and what they tell the player.
class PreparedGame
{
public:
    // Checks the executable and takes the command line. A Windows program is started
    // through Wine as `wine` says (it needs no execute bit, Wine only reads it). On failure
    // (with the check's text) nothing is prepared, so no folder is ever touched for a port
    // that cannot start.
    Result<void> prepare(const std::string& executable, const launch::GameCommand& command,
                         const WineSetup& wine = {});

    // The steps below do nothing until the game is prepared.
    // Copies the usermap the command line needs, if any, from the usermaps folder.
    void stageUsermap(const std::string& usermapFolder);
    // Replaces the game folder's peer list.
    Result<void> writePeerList(std::string_view contents) const;
    // Takes the marker away for the game; false when it is there and cannot be.
    bool removeMarker();
    // Puts the marker back and removes the staged usermap. Safe to call again: each file
    // is put back once. Fails with the text of a marker that could not be written back.
    Result<void> tidy();

    const GameStart& start() const { return m_start; }
    // The arguments as one text, for the log and tests; empty until prepared.
    const std::string& commandText() const { return m_commandText; }
    const GameFolder& folder() const { return m_folder; }
    // Whether the executable is a Windows program; known even when the preparation failed,
    // whose text then says what the player needs for it.
    bool isWindowsProgram() const { return m_windowsProgram; }

private:
    GameFolder m_folder;
    GameStart m_start;
    std::string m_commandText;
    std::string m_usermap;
    bool m_prepared = false;
    bool m_windowsProgram = false;
};

} // namespace vantrell::core
