#pragma once

#include "base/common/Result.h"
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
    // The source ports, in the order of the file.
    enum Port
    {
        EDuke32OldMP,
        HDuke,
        NDuke,
        EDuke32,
        NBlood,
        VoidSW,
        kPortCount
    };
    // The games with a usermaps folder, in the order of the file.
    enum Game
    {
        Duke3d,
        Blood,
        ShadowWarrior,
        kGameCount
    };

    struct SourcePort
    {
        bool enabled = false;
        std::string path;
        bool operator==(const SourcePort&) const = default;
    };

    // A fresh program's values: nothing enabled, no paths, no folders.
    std::array<SourcePort, kPortCount> ports{};
    std::array<std::string, kGameCount> usermapsFolders{};

    // "hDuke": the port's check box caption and the start of both its keys.
    static std::string_view portName(int port);
    static std::string enabledKey(int port); // "hDuke Checkbox"
    static std::string pathKey(int port);    // "hDuke Path"
    static std::string_view usermapsKey(int game);

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
