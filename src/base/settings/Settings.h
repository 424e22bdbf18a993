#pragma once

#include "base/settings/ConfigFile.h"
#include "base/settings/MainServerSettings.h"
#include "base/settings/NetworkingSettings.h"
#include "base/settings/NotificationSettings.h"
#include "base/settings/RoomFilterSettings.h"
#include "base/settings/SourcePortSettings.h"
#include "base/settings/WineSettings.h"

#include <filesystem>
#include <utility>

namespace vantrell::settings {

// The program's settings: every group of "vantrel.cfg" with the values in force. The
// program owns one; the settings windows are views that load and save its groups, and
// every other reader asks it, refreshing a group from the file where the file's word counts
// at that moment.
struct Settings
{
    explicit Settings(std::filesystem::path folder) : file(std::move(folder)) {}

    ConfigFile file;
    NetworkingSettings networking;
    SourcePortSettings sourcePorts;
    MainServerSettings mainServer;
    RoomFilterSettings roomFilters;
    NotificationSettings notifications;
    WineSettings wine;
};

} // namespace vantrell::settings
