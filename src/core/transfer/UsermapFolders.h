#pragma once

#include <functional>
#include <string>

namespace vantrell::core {

struct Environment;

// Where a game's usermaps live: the folder for a key of the "Usermaps Directorys" section
// ("Duke3d Usermaps Path", "Blood Usermaps Path"); empty when none is set. Read each time
// it is needed, so a folder the player changes in the settings counts at once.
using UsermapFolderSource = std::function<std::string(const std::string& folderKey)>;

// The folders as the configuration file in the environment's program folder holds them.
UsermapFolderSource configUsermapFolders(const Environment& env);

} // namespace vantrell::core
