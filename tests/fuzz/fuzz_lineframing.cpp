// LineReader fed the same bytes in arbitrary chunks, drained at arbitrary moments, must give
// the lines a plain split of the whole stream gives, and must fail on the first line too long.
#include "FuzzCheck.h"
#include "base/common/LineFraming.h"

#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using vantrell::LineReader;

struct Expected
{
    std::vector<std::string> lines; // the lines before the first one too long
    bool fails = false;
    std::size_t pending = 0; // the unfinished last line, when nothing fails
};

Expected splitReference(const std::string& stream, std::size_t maxLength)
{
    Expected expected;
    std::size_t start = 0;
    while (true) {
        const auto lf = stream.find('\n', start);
        if (lf == std::string::npos)
            break;
        std::string line = stream.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > maxLength) {
            expected.fails = true;
            return expected;
        }
        expected.lines.push_back(std::move(line));
        start = lf + 1;
    }
    // An unfinished line may still end in the CR of its line end.
    const std::size_t rest = stream.size() - start;
    if (rest > maxLength + 1)
        expected.fails = true;
    else
        expected.pending = rest;
    return expected;
}

void drain(LineReader& reader, std::vector<std::string>& got, std::size_t maxLength)
{
    while (auto line = reader.nextLine()) {
        FUZZ_CHECK(line->size() <= maxLength);
        FUZZ_CHECK(line->find('\n') == std::string::npos);
        got.push_back(std::move(*line));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    // The real limit needs inputs of 16 KiB to reach; small limits let the fuzzer reach the
    // failure path with short inputs.
    const std::size_t maxLength = provider.ConsumeBool()
                                      ? vantrell::kMaxLineLength
                                      : provider.ConsumeIntegralInRange<std::size_t>(0, 40);
    LineReader reader(maxLength);

    std::string stream;
    std::vector<std::string> got;
    bool failedOnce = false;
    while (provider.remaining_bytes() > 0) {
        const auto chunkSize = provider.ConsumeIntegralInRange<std::size_t>(0, 48);
        const bool drainNow = provider.ConsumeBool();
        const std::string chunk = provider.ConsumeBytesAsString(chunkSize);
        const bool accepted = reader.feed(chunk);
        FUZZ_CHECK(accepted == !failedOnce);
        if (accepted)
            stream += chunk;
        if (drainNow)
            drain(reader, got, maxLength);
        if (failedOnce)
            FUZZ_CHECK(reader.failed());
        failedOnce = reader.failed();
    }
    drain(reader, got, maxLength);

    const Expected expected = splitReference(stream, maxLength);
    FUZZ_CHECK(reader.failed() == expected.fails);
    if (expected.fails) {
        // Every line before the one too long came out before the reader failed.
        FUZZ_CHECK(got == expected.lines);
        // Failed stays failed: nothing more is taken or given.
        FUZZ_CHECK(!reader.feed("more\n"));
        FUZZ_CHECK(!reader.nextLine());
        FUZZ_CHECK(reader.failed());
    } else {
        FUZZ_CHECK(got == expected.lines);
        FUZZ_CHECK(reader.pendingBytes() == expected.pending);
    }

    // What encodeLine writes is 7-bit text ending in one CR LF.
    const std::string encoded = vantrell::encodeLine(stream);
    FUZZ_CHECK(encoded.size() >= 2 && encoded.compare(encoded.size() - 2, 2, "\r\n") == 0);
    for (char c : encoded)
        FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);
    return 0;
}
