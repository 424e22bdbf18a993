// The lines between a room host and its members: a parsed message, written back by the
// encoder, reads as the same message again. The encoders write a line break inside a field as
// a blank (a line cannot hold one), so a line holding CR or LF only has to parse back to the
// message with those characters as blanks.
#include "FuzzCheck.h"
#include "base/roomhost/RoomCodec.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrell::roomhost;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    // The fields of a parsed line hold no "~", so the only change the encoders may make is the
    // one for line breaks; parse the line with those already replaced to get the expectation.
    const std::string blanked = withBlanksForLineBreaks(line);

    if (const auto member = parseMemberMessage(line)) {
        const auto expected = parseMemberMessage(blanked);
        FUZZ_CHECK(expected.has_value());
        const auto again = parseMemberMessage(encodeMemberMessage(*member));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *expected);
    }
    if (const auto host = parseHostMessage(line)) {
        const auto expected = parseHostMessage(blanked);
        FUZZ_CHECK(expected.has_value());
        const auto again = parseHostMessage(encodeHostMessage(*host));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *expected);
    }
    return 0;
}
