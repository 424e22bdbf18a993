#pragma once

#include <functional>

#include <QString>

namespace vantrell::core {

// Where "vantrel.cfg" lives. A copy of the program unpacked into a folder of the player's own
// keeps the file beside its executable, as it always has. An installed program sits in a
// folder the player cannot write (/usr/bin); unless an administrator put a "vantrel.cfg"
// there, the file goes to the player's configuration folder instead.
struct ConfigLocation
{
    QString folder;
    // The program's folder was passed over: the program was installed, and its package, not
    // an updater beside it, brings new versions.
    bool installed = false;
};

// The player's own folder for the file: "vantrell" in $XDG_CONFIG_HOME (~/.config).
QString userConfigFolder();

// The folder the build installs the program to (/usr/bin for the packages).
QString installFolder();

// Whether the program may keep its file in the folder: the running user may write it, and it
// is not the install folder. Root may write /usr/bin too, but a file left there would then
// be every player's file, and read-only for all of them.
bool mayKeepFileIn(const QString& folder);

// Decides for the program's folder. The folder is kept when it holds "vantrel.cfg" or when
// mayKeep (by default mayKeepFileIn) allows it; otherwise the user folder is chosen and made
// if missing (if it cannot be made, the first write reports the path it failed on).
ConfigLocation locateConfig(const QString& programFolder, const QString& userFolder,
                            const std::function<bool(const QString&)>& mayKeep = mayKeepFileIn);

} // namespace vantrell::core
