#pragma once

#include "base/common/Result.h"
#include "base/common/SourcePorts.h"
#include "base/settings/ConfigFile.h"

#include <array>
#include <string>
#include <string_view>

namespace vantrell::settings {

// The source-port group of the settings file: for each source port whether it is enabled
// and where its executable is (section "GamePath"), and the usermaps folder of each game
// (section "Usermaps Directorys").
struct SourcePortSettings
{
    struct Entry
    {
        bool enabled = false;
        std::string path;
        bool operator==(const Entry&) const = default;
    };

    // A fresh program's values: nothing enabled, no paths, no folders.
    // Both in the order of the file, which is the order of the enums.
    std::array<Entry, kSourcePortCount> ports{};
    std::array<std::string, kGameCount> usermapsFolders{};

    Entry& port(SourcePort which) { return ports[indexOf(which)]; }
    const Entry& port(SourcePort which) const { return ports[indexOf(which)]; }
    std::string& usermapsFolder(Game game) { return usermapsFolders[indexOf(game)]; }
    const std::string& usermapsFolder(Game game) const { return usermapsFolders[indexOf(game)]; }

    // The port's stored name followed by " Checkbox" and " Path".
    static std::string enabledKey(SourcePort port);
    static std::string pathKey(SourcePort port);

    // Takes the group from the file. Without a file nothing changes; a file that lacks a key
    // leaves that path or folder as it is and reads that box as unticked. Returns what the
    // reader found.
    ConfigFile::Status load(const ConfigFile& file);
    // Writes every port (box, then path, in the order of the ports), then the three folders:
    // two replacements of the file. Stops at the first failure.
    Result<void> save(ConfigFile& file) const;

    bool operator==(const SourcePortSettings&) const = default;
};

} // namespace vantrell::settings
