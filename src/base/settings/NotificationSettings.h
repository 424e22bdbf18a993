#pragma once

#include "base/common/Result.h"
#include "base/settings/ConfigFile.h"

namespace vantrell::settings {

// The "Desktop Notifications" entry of the "Settings" menu, in a section of its own. A fresh
// program has it on and writes nothing for it: the section appears only once the player
// changes the entry.
struct NotificationSettings
{
    bool enabled = true;

    // Takes the entry from the file; a missing file, section or key leaves it on.
    void load(const ConfigFile& file);
    Result<void> save(ConfigFile& file) const;
};

} // namespace vantrell::settings
