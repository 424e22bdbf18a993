// The lines between the lobby and the main server: any line the parsers accept, written back
// by the encoders, reads as the same message again. The server relays what it parsed and the
// lobby shows what it parsed, so a message that changes on the way would mislead both.
#include "FuzzCheck.h"
#include "base/lobby/MainServerCodec.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrell::lobby;
    const std::string_view line(reinterpret_cast<const char*>(data), size);

    if (const auto client = parseClientMessage(line)) {
        const auto again = parseClientMessage(encodeClientMessage(*client));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *client);
    }
    if (const auto server = parseServerMessage(line)) {
        const auto again = parseServerMessage(encodeServerMessage(*server));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *server);
    }
    return 0;
}
