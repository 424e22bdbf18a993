#pragma once

#include "base/common/Result.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrell::server {

// The whole of a small text file the operator gave us (configuration, ban list, message of
// the day). The error names the file; a file past the size limit is refused rather than
// read into memory whole.
Result<std::string> readTextFile(const std::string& path, std::size_t maxBytes = 1024 * 1024);

// Without blanks, tabs and carriage returns at either end.
std::string_view trimmed(std::string_view text);

} // namespace vantrell::server
