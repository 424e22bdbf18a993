#pragma once

#include <string_view>

namespace vantrell {

// Whether a name that came from a peer, a web page or a settings row may be joined to a
// folder as a file name of its own. Only a plain name passes: not empty, not "." or "..",
// no "/" or "\" anywhere, no drive ("C:"), no control characters, and not ending in a
// blank or a dot (Windows drops those, so the name would mean another file there).
// Every path built from such a name goes through this one check.
bool isPlainFileName(std::string_view name);

} // namespace vantrell
