#pragma once

#include <string_view>

namespace vantrell::server {

// Writes one line to standard output, stamped with the UTC time to the millisecond, and
// flushes it so a supervisor or a pipe sees it at once.
void logLine(std::string_view text);

} // namespace vantrell::server
