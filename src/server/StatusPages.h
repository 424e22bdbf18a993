#pragma once

#include "server/Metrics.h"
#include "server/Registry.h"

#include <cstdint>
#include <string>

namespace vantrell::server {

// What the public status pages show. Nothing in it is an address: the pages are public.
struct StatusFacts
{
    const Registry& registry;
    std::uint64_t uptimeSeconds;
    std::size_t connectionsOpen;
    const Metrics& metrics;
};

// /status.json: the users and rooms in the order the lobby lists them.
std::string statusJson(const StatusFacts& facts);
// /: the same as a small HTML page that reloads itself every 30 seconds, without script.
std::string statusHtml(const StatusFacts& facts);
// /metrics: counters and gauges in the Prometheus text format.
std::string metricsText(const StatusFacts& facts);

} // namespace vantrell::server
