#pragma once

#include <array>
#include <cstdint>
#include <map>

namespace vantrell::server {

// Why a connection or a line was turned away, as counted for the metrics page.
enum class Refusal : unsigned
{
    PerAddressLimit,
    TotalLimit,
    Flood,
    WrongVersion,
    LoginTimeout,
    LongLine,
    Denied,
    Count
};

// Counters since start-up, kept on the event loop and read by the status pages.
struct Metrics
{
    std::uint64_t linesReceived = 0;
    std::uint64_t linesSent = 0;
    std::uint64_t bytesSent = 0;
    std::array<std::uint64_t, static_cast<unsigned>(Refusal::Count)> refusals{};
    std::map<unsigned, std::uint64_t> httpRequests; // by status code

    void refused(Refusal why) { ++refusals[static_cast<unsigned>(why)]; }
};

} // namespace vantrell::server
