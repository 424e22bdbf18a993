#pragma once

#include <string>
#include <string_view>

// The operating-system text a member announces when it joins a room.
namespace vantrell::roomhost {

enum class WindowsPlatform
{
    Win32s,
    Win9x,
    WinNT,
};

// The system name for a Windows version as the platform reports it; servicePack is the
// platform's service-pack text (on 9x its second character tells the OSR2 and SE editions).
std::string windowsSystemName(WindowsPlatform platform, unsigned major, unsigned minor,
                              std::string_view servicePack);

// The system name on Linux: PRETTY_NAME from the contents of os-release (quotes removed,
// any "~" replaced), or "Linux" when there is none.
std::string linuxSystemName(std::string_view osReleaseContents);

// System name, word size ("64 bit" or "32 Bit") and service-pack text, joined by spaces.
std::string osDescription(std::string_view systemName, bool is64Bit, std::string_view servicePack);

} // namespace vantrell::roomhost
