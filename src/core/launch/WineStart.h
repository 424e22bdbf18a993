#pragma once

#include "base/common/Result.h"
#include "base/settings/WineSettings.h"
#include "core/launch/GameProcess.h"

#include <string>

#include <QProcessEnvironment>

namespace vantrell::core {

// What starting a Windows build of a source port needs: the player's choice of Wine, and
// the variables the program was started with (its games inherit them), where "wine" is
// looked for and where the player may have told Wine things already.
struct WineSetup
{
    settings::WineSettings settings;
    QProcessEnvironment variables;
};

// Whether the file is a Windows program (a PE image), by its content. A file that cannot be
// read, or that ends before its headers do, is not one.
bool isWindowsProgram(const std::string& path);

// The start of a Windows program through Wine: Wine is the executable, the program's full
// path its first argument and the program's arguments follow unchanged; the working folder
// stays the game folder. The game gets WINEPREFIX when the player chose a prefix (made here
// if missing) and WINEDEBUG=-all unless the player's environment says otherwise, so Wine's
// own chatter stays out of the program's output. Fails with a message for the player,
// naming the program, when no Wine can be started or the prefix cannot be made.
Result<GameStart> throughWine(const GameStart& windowsGame, const WineSetup& wine);

} // namespace vantrell::core
