#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QString>

namespace vantrell::core {

// One member as the pinger knows it: the address and port of its room connection.
struct PingTarget
{
    QString address;
    quint16 port = 0;
};

// What the pinger needs of the room whose members it measures, and nothing more: the room
// host implements it for its own pinger.
class PingedRoom
{
public:
    // The members to measure, host excluded, in list order; none while the room is not open.
    virtual std::vector<PingTarget> pingTargets() const = 0;
    // Sends one line over that member's connection; false when it has none (any more).
    virtual bool sendToMember(const PingTarget& member, std::string_view line) = 0;
    // Shows a measured ping in that member's row of an open room.
    virtual void showPing(const PingTarget& member, const std::string& text) = 0;

protected:
    ~PingedRoom() = default;
};

} // namespace vantrell::core
