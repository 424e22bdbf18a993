#include "base/settings/SourcePortSettings.h"

#include <utility>
#include <vector>

namespace vantrell::settings {

namespace {
constexpr std::string_view kGamePath = "GamePath";
constexpr std::string_view kUsermaps = "Usermaps Directorys";
} // namespace

std::string SourcePortSettings::enabledKey(SourcePort port)
{
    return std::string(sourcePortRow(port).storedName) + " Checkbox";
}

std::string SourcePortSettings::pathKey(SourcePort port)
{
    return std::string(sourcePortRow(port).storedName) + " Path";
}

ConfigFile::Status SourcePortSettings::load(const ConfigFile& file)
{
    if (!file.exists())
        return file.status();
    for (const SourcePortRow& row : sourcePortRows()) {
        Entry& entry = port(row.port);
        entry.path = file.readString(kGamePath, pathKey(row.port), entry.path);
        entry.enabled = file.readBool(kGamePath, enabledKey(row.port), false);
    }
    for (const GameRow& row : gameRows())
        usermapsFolder(row.game) =
            file.readString(kUsermaps, row.usermapsKey, usermapsFolder(row.game));
    return file.status();
}

Result<void> SourcePortSettings::save(ConfigFile& file) const
{
    std::vector<std::pair<std::string, std::string>> entries;
    for (const SourcePortRow& row : sourcePortRows()) {
        entries.emplace_back(enabledKey(row.port), port(row.port).enabled ? "1" : "0");
        entries.emplace_back(pathKey(row.port), port(row.port).path);
    }
    Result<void> saved = file.writeStrings(kGamePath, entries);
    if (!saved)
        return saved;
    entries.clear();
    for (const GameRow& row : gameRows())
        entries.emplace_back(std::string(row.usermapsKey), usermapsFolder(row.game));
    return file.writeStrings(kUsermaps, entries);
}

} // namespace vantrell::settings
