#pragma once

#include "base/common/Result.h"
#include "base/settings/ConfigFile.h"

#include <string>

namespace vantrell::settings {

// How Windows builds of the source ports are started on this machine, one choice for all
// ports, in a section of its own ("Wine", keys "Wine Command" and "Wine Prefix"). Written
// only once the player has set one of them, so the file of a player who never did stays as
// it was.
struct WineSettings
{
    // The Wine program to start: a path, or a name looked up on the search path; empty:
    // "wine" on the search path.
    std::string command;
    // The folder Wine keeps its Windows installation in (WINEPREFIX); empty: the one the
    // program's environment names, else Wine's own default.
    std::string prefix;

    // Takes both from the file; a missing file, section or key leaves them empty.
    void load(const ConfigFile& file);
    // Writes both when they differ from what the file holds, and only then.
    Result<void> save(ConfigFile& file) const;

    bool operator==(const WineSettings&) const = default;
};

} // namespace vantrell::settings
