#include "base/settings/WineSettings.h"

#include <string_view>
#include <utility>
#include <vector>

namespace vantrell::settings {

namespace {
constexpr std::string_view kSection = "Wine";
constexpr std::string_view kCommand = "Wine Command";
constexpr std::string_view kPrefix = "Wine Prefix";
} // namespace

void WineSettings::load(const ConfigFile& file)
{
    WineSettings stored;
    if (file.exists()) {
        stored.command = file.readString(kSection, kCommand, "");
        stored.prefix = file.readString(kSection, kPrefix, "");
    }
    *this = std::move(stored);
}

Result<void> WineSettings::save(ConfigFile& file) const
{
    WineSettings stored;
    stored.load(file);
    if (stored == *this)
        return {};
    return file.writeStrings(kSection,
                             {{std::string(kCommand), command}, {std::string(kPrefix), prefix}});
}

} // namespace vantrell::settings
