// The command lines of the three source ports against values a host or a member row made
// up. Every builder writes through CommandLine, so its rule is the property: a value never
// adds an argument, whatever it holds. A line built with the fuzzed values has exactly the
// arguments of the same line with each value replaced by a plain word, the values in their
// place. The member builders then run on fuzzed lists, for crashes and that rule.
#include "FuzzCheck.h"
#include "base/launch/CommandLine.h"
#include "base/launch/HDukeCommandLine.h"
#include "base/launch/NBloodCommandLine.h"
#include "base/launch/OldMpCommandLine.h"

#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

namespace {

using vantrell::launch::CommandLine;

void checkValuesStayInside(FuzzedDataProvider& provider)
{
    CommandLine fuzzed;
    CommandLine plain;
    std::vector<std::string> values;
    const int pieces = provider.ConsumeIntegralInRange(1, 8);
    for (int p = 0; p < pieces; ++p) {
        fuzzed.piece();
        plain.piece();
        const int parts = provider.ConsumeIntegralInRange(1, 4);
        for (int i = 0; i < parts; ++i) {
            if (provider.ConsumeBool()) {
                const char* words[] = {"-net", " /v", "-name ", "  ", "/y", " -port "};
                const char* word = words[provider.ConsumeIntegralInRange(0, 5)];
                fuzzed.fixed(word);
                plain.fixed(word);
            } else {
                values.push_back(provider.ConsumeRandomLengthString(40));
                fuzzed.value(values.back());
                plain.value(values.back().empty() ? "" : "V");
            }
        }
    }
    const auto got = fuzzed.arguments();
    const auto expected = plain.arguments();
    FUZZ_CHECK(got.size() == expected.size());
    // Put the values back into the plain arguments, in order, and compare.
    std::size_t next = 0;
    for (std::size_t a = 0; a < expected.size(); ++a) {
        std::string rebuilt;
        for (const char c : expected[a]) {
            if (c == 'V') {
                while (next < values.size() && values[next].empty())
                    ++next;
                FUZZ_CHECK(next < values.size());
                rebuilt += values[next++];
            } else {
                rebuilt += c;
            }
        }
        FUZZ_CHECK(rebuilt == got[a]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrell;
    FuzzedDataProvider provider(data, size);
    checkValuesStayInside(provider);

    launch::MemberInputs in;
    const std::size_t rows = provider.ConsumeIntegralInRange<std::size_t>(0, 20);
    for (std::size_t r = 0; r < rows; ++r)
        in.settings.push_back(
            {provider.ConsumeRandomLengthString(16), provider.ConsumeRandomLengthString(24)});
    const std::size_t members = provider.ConsumeIntegralInRange<std::size_t>(0, 9);
    for (std::size_t m = 0; m < members; ++m) {
        roomhost::MemberRow row;
        row.readyCode = provider.ConsumeRandomLengthString(2);
        row.nickname = provider.ConsumeRandomLengthString(16);
        row.remoteAddress = provider.ConsumeRandomLengthString(20);
        row.localAddress = provider.ConsumeRandomLengthString(20);
        row.team = provider.ConsumeRandomLengthString(8);
        row.remotePort = provider.ConsumeRandomLengthString(8);
        row.udpPort = provider.ConsumeRandomLengthString(8);
        in.members.push_back(std::move(row));
    }
    in.roomAddress = provider.ConsumeRandomLengthString(20);
    in.nickname = provider.ConsumeRandomLengthString(12);
    in.teamPosition = provider.ConsumeIntegralInRange(-1, 10);
    in.recordDemo = provider.ConsumeBool();
    in.spectator = provider.ConsumeBool();
    for (const auto& command :
         {launch::hDukeMember(in), launch::oldMpMember(in), launch::nBloodMember(in)}) {
        const auto arguments = command.line.arguments();
        FUZZ_CHECK(arguments.size() < 4096);
        FUZZ_CHECK(!command.line.text().empty() || arguments.empty());
    }
    return 0;
}
