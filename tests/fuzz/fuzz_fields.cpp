// The field splitters against their writers: whatever a field holds, writing it and splitting
// the line again gives it back unchanged, and splitting then joining a tilde line is the line.
#include "FuzzCheck.h"
#include "base/common/Fields.h"

#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrell;
    FuzzedDataProvider provider(data, size);

    const std::string field = provider.ConsumeRandomLengthString(256);
    const std::vector<std::string> around{"X", field, "Y"};
    FUZZ_CHECK(splitComma("X," + quoteCommaField(field) + ",Y") == around);

    // A whole comma line of quoted fields splits back into those fields.
    std::vector<std::string> fields;
    std::string commaLine;
    do {
        fields.push_back(provider.ConsumeRandomLengthString(64));
        if (fields.size() > 1)
            commaLine += ",";
        commaLine += quoteCommaField(fields.back());
    } while (provider.ConsumeBool() && fields.size() < 16);
    FUZZ_CHECK(splitComma(commaLine) == fields);

    const std::string line = provider.ConsumeRemainingBytesAsString();
    const auto tildeFields = splitTilde(line);
    FUZZ_CHECK(!tildeFields.empty());
    FUZZ_CHECK(joinTilde(tildeFields) == line);
    for (const auto& f : tildeFields)
        FUZZ_CHECK(f.find('~') == std::string::npos);
    FUZZ_CHECK(splitTilde(joinTilde(tildeFields)) == tildeFields);
    FUZZ_CHECK(!splitComma(line).empty());

    long long number = 0;
    if (parseDecimal(line, number)) {
        FUZZ_CHECK(number >= 0);
        FUZZ_CHECK(line.find_first_not_of("0123456789") == std::string::npos);
        const auto digits = line.find_first_not_of('0');
        FUZZ_CHECK(std::to_string(number) ==
                   (digits == std::string::npos ? std::string("0") : line.substr(digits)));
    }
    return 0;
}
