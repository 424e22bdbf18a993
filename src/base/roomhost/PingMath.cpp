#include "base/roomhost/PingMath.h"

namespace vantrell::roomhost {

EchoOutcome echoOutcome(std::int64_t roundTripMs)
{
    const auto t = roundTripMs;
    if (t > 999)
        return {EchoOutcome::Kind::ProbeByTcp, {}};
    if (t == 999 || t == 5)
        return {EchoOutcome::Kind::Unchanged, {}};
    const auto shown = t > 5 ? t + 6 : t + 1;
    return {EchoOutcome::Kind::Show, pingText(shown)};
}

std::int64_t TCPPingRoundup(std::int64_t elapsedMs)
{
    if (elapsedMs < 0)
        elapsedMs = 0;
    return 1 + elapsedMs / kProbeTickMs;
}

std::int64_t tcpPingMs(std::int64_t roundup)
{
    auto ms = roundup * 7 + 52;
    if (ms < 70)
        ms -= 22;
    return ms;
}

std::string pingText(std::int64_t ms)
{
    return std::to_string(ms) + " ms";
}

} // namespace vantrell::roomhost
