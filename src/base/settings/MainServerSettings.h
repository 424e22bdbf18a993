#pragma once

#include "base/common/Result.h"
#include "base/settings/ConfigFile.h"

#include <string>

namespace vantrell::settings {

// The main server the player chose in the networking window, in a section of its own
// ("Main Server", key "Address"). Written only once the player has chosen one, so the file
// of a player who never did stays as it was.
struct MainServerSettings
{
    // "HOST" or "HOST:PORT", as lobby::parseMainServerAddress accepts it; empty: the
    // program's built-in main server.
    std::string address;

    // Takes the choice from the file. A stored text that does not read as an address (the
    // file edited by hand) counts as no choice and stays in the file until the player makes
    // one.
    void load(const ConfigFile& file);
    // Writes the choice when it differs from the one the file holds, and only then.
    Result<void> save(ConfigFile& file) const;

    bool operator==(const MainServerSettings&) const = default;
};

} // namespace vantrell::settings
