#pragma once

#include "base/common/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrell::settings {

// The program's one settings file, "vantrel.cfg", in a folder the caller names (the
// program passes its own executable's folder). Sections of "key=value" lines; section and
// key names compare without regard to letter case; lines end with CR LF.
//
// Each call opens the file, does its work and closes it again: there is no cached state,
// so several ConfigFile objects (on several threads) may point at the same folder. Every
// write replaces the whole file atomically (a temporary file in the same folder, flushed,
// then renamed over the old one), so a reader sees either the old or the new file, and a
// crash mid-write never loses the player's settings. Nothing is ever deleted, and lines the
// component does not understand are kept as they stand.
class ConfigFile
{
public:
    static constexpr std::string_view kFileName = "vantrel.cfg";
    static constexpr std::size_t kMaxValueLength = 2047;

    explicit ConfigFile(std::filesystem::path folder);

    // What a reader finds: no file, a file it cannot read (a folder of that name, no
    // permission, a read error), or a file it can read. Readers treat an unreadable file as
    // empty; a caller that must tell the player asks here.
    enum class Status
    {
        Missing,
        Unreadable,
        Readable
    };

    std::filesystem::path path() const;
    bool exists() const;
    Status status() const;

    // The value after the first "=", blanks trimmed, cut to 2047 characters (UTF-8
    // characters, not bytes); the default
    // when the file, the section or the key is missing.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Decimal, or hexadecimal after "0x" or "$"; non-zero is true. The default when the key
    // is missing or its value is not an integer.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Replaces the key in place, or appends it at the end of its section (a new section goes
    // at the end of the file). A line break inside the value is stored as a blank, since it
    // would otherwise end the entry and start a line of its own. Fails with
    // "Unable to write to <full path>".
    Result<void> writeString(std::string_view section, std::string_view key,
                             std::string_view value);
    Result<void> writeBool(std::string_view section, std::string_view key, bool value);
    // Several keys of one section in one replacement of the file, in the order given.
    Result<void> writeStrings(std::string_view section,
                              const std::vector<std::pair<std::string, std::string>>& entries);

    // Window sizes: "Main height" then "Main width", as decimal text.
    Result<void> saveSize(std::string_view section, int height, int width);
    struct SavedSize
    {
        std::optional<int> height; // set when the stored height converts
        std::optional<int> width;  // set only when the height and then the width convert
    };
    SavedSize restoreSize(std::string_view section) const;

private:
    std::filesystem::path m_folder;
};

} // namespace vantrell::settings
