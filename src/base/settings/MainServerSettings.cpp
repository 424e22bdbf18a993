#include "base/settings/MainServerSettings.h"

#include "base/lobby/MainServerAddress.h"

namespace vantrell::settings {

namespace {
constexpr std::string_view kSection = "Main Server";
constexpr std::string_view kAddress = "Address";

// The choice a stored text stands for: itself without blanks when it reads as an address,
// otherwise none.
std::string choiceIn(const ConfigFile& file)
{
    const std::string stored = file.readString(kSection, kAddress, "");
    if (!lobby::parseMainServerAddress(stored))
        return {};
    return std::string(lobby::trimBlanks(stored));
}
} // namespace

void MainServerSettings::load(const ConfigFile& file)
{
    if (file.exists())
        address = choiceIn(file);
}

Result<void> MainServerSettings::save(ConfigFile& file) const
{
    if (address == choiceIn(file))
        return {};
    return file.writeString(kSection, kAddress, address);
}

} // namespace vantrell::settings
