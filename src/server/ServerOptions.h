#pragma once

#include "base/common/Result.h"
#include "base/lobby/MainServerCodec.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrell::server {

using Seconds = std::chrono::duration<double>;

inline std::chrono::steady_clock::duration toDuration(Seconds seconds)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(seconds);
}

// Everything an operator can set on the command line. The defaults suit a community server
// on one small machine.
struct ServerOptions
{
    std::string address = "0.0.0.0";
    std::uint16_t port = 4444; // 0: any free port, logged once listening
    std::string versionToken{lobby::kVersionToken};
    Seconds timedListInterval{60.0};           // 0: never
    Seconds userListMinGap{1.0};               // shortest time between two user-list broadcasts
    std::size_t maxClients = 10000;            // connections at once
    std::size_t maxClientsPerAddress = 32;     // 0: no limit
    std::size_t maxPendingOutput = 256 * 1024; // bytes queued for one client
    std::size_t floodLines = 5;                // chat lines per flood window; 0: no limit
    Seconds floodWindow{10.0};
    Seconds loginTimeout{30.0}; // to pass the version check; 0: no limit
    std::string httpAddress;    // empty: no status pages
    std::uint16_t httpPort = 0; // 0: any free port, logged once listening
    std::string denyFile;       // empty: nobody is turned away
    std::string motdFile;       // empty: no message of the day
    std::string configFile;     // where the options below the command line came from
    bool showHelp = false;

    bool operator==(const ServerOptions&) const = default;
};

// Reads "--name value" and "--name=value" arguments, and the configuration file that
// "--config FILE" names ("name = value" lines with the long option names); an option on the
// command line wins over the file. Unknown options and bad values are errors whose text
// names the option, and for the file the file and its line.
Result<ServerOptions> parseServerOptions(const std::vector<std::string>& arguments);

std::string serverHelpText();

} // namespace vantrell::server
