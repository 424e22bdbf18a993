// The lines between the lobby and the main server: any line the parsers accept, written back
// by the encoders, reads as the same message again. The server relays what it parsed and the
// lobby shows what it parsed, so a message that changes on the way would mislead both. The
// only change the encoders may make is writing a line break inside a field as a blank.
#include "FuzzCheck.h"
#include "base/lobby/MainServerCodec.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrell::lobby;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::string blanked = withBlanksForLineBreaks(line);

    if (const auto client = parseClientMessage(line)) {
        const auto expected = parseClientMessage(blanked);
        FUZZ_CHECK(expected.has_value());
        const auto again = parseClientMessage(encodeClientMessage(*client));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *expected);
    }
    if (const auto server = parseServerMessage(line)) {
        const auto expected = parseServerMessage(blanked);
        FUZZ_CHECK(expected.has_value());
        const auto again = parseServerMessage(encodeServerMessage(*server));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *expected);
    }
    return 0;
}
