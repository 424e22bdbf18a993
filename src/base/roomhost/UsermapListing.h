#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantrell::roomhost {

// The usermaps a room can offer: the file names (with extension) of the regular files in the
// folder whose names end in ".map" in any letter case. Sorted without regard to case so the
// list reads the same on every file system. An empty, missing or unreadable folder gives no
// entries.
std::vector<std::string> listUsermaps(const std::filesystem::path& folder);

} // namespace vantrell::roomhost
