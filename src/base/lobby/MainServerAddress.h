#pragma once

#include "base/common/Result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrell::lobby {

// The port every main server listens on unless its address names another.
inline constexpr std::uint16_t kMainServerPort = 4444;

// A main server as the player names it: a host name or an IPv4 address, and a port.
struct MainServerAddress
{
    std::string host; // empty: the program's built-in main server
    std::uint16_t port = kMainServerPort;

    bool operator==(const MainServerAddress&) const = default;
};

// Reads "HOST" or "HOST:PORT" as a player types it; blanks around it do not count. HOST is a
// host name (a dot may end it) or an IPv4 address of four decimal parts (IPv6 is refused: the
// main server hands each room's address to its members as IPv4; any other way of writing an
// address, "10.1" or "0x7f000001", is refused too), PORT 1 to 65535, kMainServerPort when
// left out. Blank text is the built-in main server (an empty host). Anything else fails with
// a text that tells the player what is wrong.
Result<MainServerAddress> parseMainServerAddress(std::string_view text);

// Blanks (spaces and tabs) cut from both ends.
std::string_view trimBlanks(std::string_view text);

} // namespace vantrell::lobby
