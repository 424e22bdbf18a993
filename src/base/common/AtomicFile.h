#pragma once

#include "base/common/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// Whole-file reads and writes for small files that other threads may read at any moment.
//
// replaceFileAtomically writes the new contents to a temporary file in the same folder,
// flushes it to the disk and renames it over the old file. A reader that opens the file at
// any time gets either the whole old contents or the whole new contents, and a crash in the
// middle leaves the old file as it was (at worst a stray temporary file beside it).

// The whole file, or nothing when it is missing or cannot be read. `missing` (when given)
// tells the two apart: it is set when the file does not exist.
std::optional<std::string> readWholeFile(const std::filesystem::path& path,
                                         bool* missing = nullptr);

// Fails with "Unable to write to <full path>".
Result<void> replaceFileAtomically(const std::filesystem::path& path, std::string_view contents);

// A fresh hidden name beside `path` (same folder) for a file that is renamed onto it later.
std::filesystem::path temporaryPathBeside(const std::filesystem::path& path);

// The text of the write failure for a file, with its full path.
std::string unableToWriteMessage(const std::filesystem::path& path);

} // namespace vantrell
