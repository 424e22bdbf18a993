#include "server/ServerLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace vantrell::server {

void logLine(std::string_view text)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    const auto length = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
    std::fprintf(stdout, "%.*s.%03dZ %.*s\n", static_cast<int>(length), stamp,
                 static_cast<int>(millis), static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

} // namespace vantrell::server
