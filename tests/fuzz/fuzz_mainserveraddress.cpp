// The main-server address a player types: what it lets through goes to the system's resolver
// and into "vantrel.cfg", so an accepted host is a plain name or IPv4 address (no blank, no
// control character, no ":" or "[" that would change what the system reads) and reads back
// the same when written out with its port.
#include "FuzzCheck.h"
#include "base/lobby/MainServerAddress.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using vantrell::lobby::parseMainServerAddress;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto address = parseMainServerAddress(text);
    if (!address) {
        FUZZ_CHECK(!address.error().empty());
        return 0;
    }
    FUZZ_CHECK(address->port >= 1);
    FUZZ_CHECK(address->host.size() <= 253);
    for (const char c : address->host)
        FUZZ_CHECK((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == '_');
    if (address->host.empty())
        return 0;
    const auto again = parseMainServerAddress(address->host + ":" + std::to_string(address->port));
    FUZZ_CHECK(again && again.value() == address.value());
    return 0;
}
