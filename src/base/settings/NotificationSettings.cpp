#include "base/settings/NotificationSettings.h"

#include <string_view>

namespace vantrell::settings {

namespace {
constexpr std::string_view kSection = "Desktop Notifications";
constexpr std::string_view kEnabled = "Enabled";
} // namespace

void NotificationSettings::load(const ConfigFile& file)
{
    enabled = file.readBool(kSection, kEnabled, true);
}

Result<void> NotificationSettings::save(ConfigFile& file) const
{
    return file.writeBool(kSection, kEnabled, enabled);
}

} // namespace vantrell::settings
