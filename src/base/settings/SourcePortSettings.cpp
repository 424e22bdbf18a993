#include "base/settings/SourcePortSettings.h"

#include <utility>
#include <vector>

namespace vantrell::settings {

namespace {
constexpr std::string_view kGamePath = "GamePath";
constexpr std::string_view kUsermaps = "Usermaps Directorys";

constexpr std::string_view kPortNames[SourcePortSettings::kPortCount] = {
    "EDuke32-OldMP", "hDuke", "nDuke", "EDuke32", "nBlood", "VoidSW"};
constexpr std::string_view kUsermapsKeys[SourcePortSettings::kGameCount] = {
    "Duke3d Usermaps Path", "Blood Usermaps Path", "Shadow Warrior Usermaps Path"};
} // namespace

std::string_view SourcePortSettings::portName(int port)
{
    return kPortNames[port];
}

std::string SourcePortSettings::enabledKey(int port)
{
    return std::string(portName(port)) + " Checkbox";
}

std::string SourcePortSettings::pathKey(int port)
{
    return std::string(portName(port)) + " Path";
}

std::string_view SourcePortSettings::usermapsKey(int game)
{
    return kUsermapsKeys[game];
}

ConfigFile::Status SourcePortSettings::load(const ConfigFile& file)
{
    if (!file.exists())
        return file.status();
    for (int port = 0; port < kPortCount; ++port) {
        SourcePort& entry = ports[port];
        entry.path = file.readString(kGamePath, pathKey(port), entry.path);
        entry.enabled = file.readBool(kGamePath, enabledKey(port), false);
    }
    for (int game = 0; game < kGameCount; ++game)
        usermapsFolders[game] =
            file.readString(kUsermaps, usermapsKey(game), usermapsFolders[game]);
    return file.status();
}

Result<void> SourcePortSettings::save(ConfigFile& file) const
{
    std::vector<std::pair<std::string, std::string>> entries;
    for (int port = 0; port < kPortCount; ++port) {
        entries.emplace_back(enabledKey(port), ports[port].enabled ? "1" : "0");
        entries.emplace_back(pathKey(port), ports[port].path);
    }
    Result<void> saved = file.writeStrings(kGamePath, entries);
    if (!saved)
        return saved;
    entries.clear();
    for (int game = 0; game < kGameCount; ++game)
        entries.emplace_back(std::string(usermapsKey(game)), usermapsFolders[game]);
    return file.writeStrings(kUsermaps, entries);
}

} // namespace vantrell::settings
