#pragma once

#include "base/common/Result.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrell::server {

using Seconds = std::chrono::duration<double>;

// Everything an operator can set on the command line. The defaults suit a community server
// on one small machine.
struct ServerOptions
{
    std::string address = "0.0.0.0";
    std::uint16_t port = 4444; // 0: any free port, logged once listening
    std::string versionToken = "Vantrex 3829";
    Seconds timedListInterval{60.0};           // 0: never
    Seconds userListMinGap{1.0};               // shortest time between two user-list broadcasts
    std::size_t maxClients = 10000;            // connections at once
    std::size_t maxClientsPerAddress = 32;     // 0: no limit
    std::size_t maxPendingOutput = 256 * 1024; // bytes queued for one client
    std::size_t floodLines = 5;                // chat lines per flood window; 0: no limit
    Seconds floodWindow{10.0};
    Seconds loginTimeout{30.0}; // to pass the version check; 0: no limit
    bool showHelp = false;
};

// Reads "--name value" and "--name=value" arguments. Unknown options and bad values are
// errors whose text names the option.
Result<ServerOptions> parseServerOptions(const std::vector<std::string>& arguments);

std::string serverHelpText();

} // namespace vantrell::server
