#include "base/roomhost/OsDescription.h"

namespace vantrell::roomhost {

namespace {

std::string windows9xName(unsigned minor, std::string_view servicePack)
{
    // The 9x releases tell their editions apart by the second character of this text.
    const char edition = servicePack.size() > 1 ? servicePack[1] : '\0';
    switch (minor) {
    case 0:
        return (edition == 'B' || edition == 'C') ? "Windows 95 OSR2" : "Windows 95";
    case 10:
        return edition == 'A' ? "Windows 98 SE" : "Windows 98";
    case 90:
        return "Windows Millenium";
    default:
        return "Unknown Windows Version";
    }
}

std::string windowsNtName(unsigned major, unsigned minor)
{
    if (major <= 3)
        return "Windows NT 3.x";
    if (major == 4)
        return "Windows NT 4.x";
    if (major == 5) {
        switch (minor) {
        case 0:
            return "Windows 2000";
        case 1:
            return "Windows XP";
        case 2:
            return "Windows Server 2003";
        }
    }
    if (major == 6) {
        switch (minor) {
        case 0:
            return "Windows Vista";
        case 1:
            return "Windows 7";
        case 2:
            return "Windows 8";
        case 3:
            return "Windows 8.1";
        }
    }
    if (major == 10 && minor == 0)
        return "Windows 10";
    return "Unknown Windows Version";
}

// An os-release value: shell-style, optionally in single or double quotes.
std::string unquote(std::string_view value)
{
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
        value.remove_suffix(1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        const char quote = value.front();
        value = value.substr(1, value.size() - 2);
        if (quote == '\'')
            return std::string(value);
        std::string out;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            out.push_back(value[i]);
        }
        return out;
    }
    return std::string(value);
}

} // namespace

std::string windowsSystemName(WindowsPlatform platform, unsigned major, unsigned minor,
                              std::string_view servicePack)
{
    switch (platform) {
    case WindowsPlatform::Win32s:
        return "Windows 32S";
    case WindowsPlatform::Win9x:
        return major == 4 ? windows9xName(minor, servicePack) : "Unknown Windows Version";
    case WindowsPlatform::WinNT:
        return windowsNtName(major, minor);
    }
    return "Unknown Windows Version";
}

std::string linuxSystemName(std::string_view osReleaseContents)
{
    constexpr std::string_view kKey = "PRETTY_NAME=";
    std::string name;
    while (!osReleaseContents.empty()) {
        const auto lf = osReleaseContents.find('\n');
        std::string_view line = osReleaseContents.substr(0, lf);
        osReleaseContents.remove_prefix(lf == std::string_view::npos ? osReleaseContents.size()
                                                                     : lf + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        // A later assignment overrides an earlier one, as when the file is sourced.
        if (line.substr(0, kKey.size()) == kKey)
            name = unquote(line.substr(kKey.size()));
    }
    // The name travels as one field of a "~" line, and as one line.
    for (char& c : name) {
        if (c == '~')
            c = '-';
        else if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    if (name.find_first_not_of(' ') == std::string::npos)
        return "Linux";
    return name;
}

std::string osDescription(std::string_view systemName, bool is64Bit, std::string_view servicePack)
{
    std::string out(systemName);
    out += is64Bit ? " 64 bit " : " 32 Bit ";
    out += servicePack;
    return out;
}

} // namespace vantrell::roomhost
