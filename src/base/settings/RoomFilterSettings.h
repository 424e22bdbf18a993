#pragma once

#include "base/common/Result.h"
#include "base/settings/ConfigFile.h"

#include <span>
#include <string_view>

namespace vantrell::settings {

// The room list's filters, the checkable entries of the main window's "View" menu, in the
// section "Room List Filters". All off in a fresh program, and nothing is written until the
// player changes one, so a first start's file never holds the section.
struct RoomFilterSettings
{
    bool hideFull = false;
    bool hideInGame = false;
    bool hidePrivate = false;
    bool onlySetUpPorts = false;

    // The filters in the menu's order; each key is also the menu entry's caption.
    struct Entry
    {
        std::string_view key;
        bool RoomFilterSettings::*value;
    };
    static std::span<const Entry> entries();

    bool any() const { return hideFull || hideInGame || hidePrivate || onlySetUpPorts; }

    // Takes the group from the file. Without a file nothing changes; a missing key reads as
    // off.
    ConfigFile::Status load(const ConfigFile& file);
    // Writes the four entries, in the order of the menu, in one replacement of the file.
    Result<void> save(ConfigFile& file) const;

    bool operator==(const RoomFilterSettings&) const = default;
};

} // namespace vantrell::settings
