#pragma once

#include <string_view>

namespace vantrell {

// Whether a chat line names the player: the nickname as a whole word anywhere in the text,
// without regard to ASCII letter case. A nickname inside a longer word ("Bobby" for "Bob")
// does not count, nor does a line the player wrote, nor an empty nickname.
bool mentionsPlayer(std::string_view speaker, std::string_view text, std::string_view nickname);

} // namespace vantrell
