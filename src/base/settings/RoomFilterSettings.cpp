#include "base/settings/RoomFilterSettings.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace vantrell::settings {

namespace {
constexpr std::string_view kSection = "Room List Filters";

constexpr std::array<RoomFilterSettings::Entry, 4> kEntries{{
    {"Hide Full Rooms", &RoomFilterSettings::hideFull},
    {"Hide Rooms In Game", &RoomFilterSettings::hideInGame},
    {"Hide Private Rooms", &RoomFilterSettings::hidePrivate},
    {"Only Source Ports I Have Set Up", &RoomFilterSettings::onlySetUpPorts},
}};
} // namespace

std::span<const RoomFilterSettings::Entry> RoomFilterSettings::entries()
{
    return kEntries;
}

ConfigFile::Status RoomFilterSettings::load(const ConfigFile& file)
{
    if (!file.exists())
        return file.status();
    for (const Entry& entry : kEntries)
        this->*entry.value = file.readBool(kSection, entry.key, false);
    return file.status();
}

Result<void> RoomFilterSettings::save(ConfigFile& file) const
{
    std::vector<std::pair<std::string, std::string>> entries;
    for (const Entry& entry : kEntries)
        entries.emplace_back(std::string(entry.key), this->*entry.value ? "1" : "0");
    return file.writeStrings(kSection, entries);
}

} // namespace vantrell::settings
