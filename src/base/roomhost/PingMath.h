#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The arithmetic behind the Ping column of a room's member list.
namespace vantrell::roomhost {

// What one ICMP echo round trip of roundTripMs milliseconds does to a member's row.
struct EchoOutcome
{
    enum class Kind
    {
        Show,       // write text into the Ping column
        Unchanged,  // leave the column as it is
        ProbeByTcp, // the echo counts as unanswered: measure over the room connection instead
    };
    Kind kind = Kind::Unchanged;
    std::string text;
};

// Below 999 ms: above 5 shows t + 6, below 5 shows t + 1, exactly 5 changes nothing.
// Above 999 ms (an unanswered echo reports the time it waited) asks for a TCP probe.
// Exactly 999 changes nothing.
EchoOutcome echoOutcome(std::int64_t roundTripMs);

// The length of one tick of the probe counter. Window timers of the platform this formula
// was tuned on never ticked faster than this, whatever interval was asked for.
inline constexpr std::int64_t kProbeTickMs = 15;

// The tick count of a TCP probe that took elapsedMs: it starts at 1 when the probe is sent
// and grows by one every kProbeTickMs.
std::int64_t TCPPingRoundup(std::int64_t elapsedMs);

// The Ping value for a tick count: roundup * 7 + 52, less 22 when that is below 70.
// Counts 1, 2 and 3 give 37, 44 and 73.
std::int64_t tcpPingMs(std::int64_t roundup);

// "<ms> ms", as the Ping column shows it.
std::string pingText(std::int64_t ms);

} // namespace vantrell::roomhost
