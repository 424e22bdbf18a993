#pragma once

#include <string>

namespace vantrell::lobby {

// What a join hands to the room client window: where the room's host listens and which
// source port the room plays. All three are the texts of the room list row as listed.
struct RoomAddress
{
    std::string ip;
    std::string port;
    // "hDuke", "EDuke32-OldMP" or "NBlood".
    std::string sourcePort;
    // The room's name as listed; empty when the player typed the address in.
    std::string roomName = {};

    bool operator==(const RoomAddress&) const = default;
};

} // namespace vantrell::lobby
