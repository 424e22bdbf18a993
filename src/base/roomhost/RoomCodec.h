#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The lines between a room host and its members, both directions. Encoders return the line
// without its line end; parsers take a line without it.
//
// Fields cannot be escaped, so the encoders keep every line's shape (base/common/LineWriter.h,
// the rule the main-server lines follow too): a "~" inside a field
// would shift every later field (and every later row of a list) and is written as "-", and a
// line break is written as a blank. The one exception is the chat text, the last field of
// its line: its "~" is sent as typed and the receiver keeps only the part before it.
namespace vantrell::roomhost {

// One "Settings"/"Value" row of a room. Rows are positional: members read them by index.
struct SettingRow
{
    std::string name;
    std::string value;
    bool operator==(const SettingRow&) const = default;
};

// One player of a room, host first. Ready code "0" is ready, "1" not ready. The host's own
// row carries an empty remote port. The ping is shown locally and never sent: a parsed row
// shows "N/A".
struct MemberRow
{
    std::string readyCode = "1";
    std::string nickname;
    std::string os;
    std::string remoteAddress;
    std::string localAddress;
    std::string team = " ";
    std::string remotePort;
    std::string udpPort;
    std::string ping = "N/A";
    bool operator==(const MemberRow&) const = default;
};

// ---- member to host ----

struct AddUserToList
{
    std::string nickname;
    std::string os;
    std::string localAddress;
    std::string udpPort;
    bool operator==(const AddUserToList&) const = default;
};
struct ClientRequestsRemotePort
{
    bool operator==(const ClientRequestsRemotePort&) const = default;
};
struct ClientSentReadyMessage
{
    bool operator==(const ClientSentReadyMessage&) const = default;
};
struct ClientSentNotReadyMessage
{
    bool operator==(const ClientSentNotReadyMessage&) const = default;
};
struct ClientSentTeamChanged
{
    std::string team;
    bool operator==(const ClientSentTeamChanged&) const = default;
};
// Both directions: a member's line, and the host's relay or its own line.
struct RoomChat
{
    std::string nickname;
    std::string text;
    bool operator==(const RoomChat&) const = default;
};
// Both directions: the host's probe and the member's unchanged echo.
struct TCPPing
{
    std::string remotePort;
    bool operator==(const TCPPing&) const = default;
};

using MemberMessage =
    std::variant<AddUserToList, ClientRequestsRemotePort, ClientSentReadyMessage,
                 ClientSentNotReadyMessage, ClientSentTeamChanged, RoomChat, TCPPing>;

std::string encodeMemberMessage(const MemberMessage& message);
// What the host reads. Nothing for an unknown keyword or a line with fewer fields than its
// layout; extra fields are ignored (a chat text "a~b" reads as "a").
std::optional<MemberMessage> parseMemberMessage(std::string_view line);

// ---- host to member ----

// "RoomSettingsUpdate~n~name~value~...~": every row's fields are followed by "~".
struct RoomSettingsUpdate
{
    std::vector<SettingRow> rows;
    bool operator==(const RoomSettingsUpdate&) const = default;
};
struct UserRoomSettingsUpdate
{
    std::vector<MemberRow> rows;
    bool operator==(const UserRoomSettingsUpdate&) const = default;
};
struct YourRemotePortIs
{
    std::string remotePort;
    bool operator==(const YourRemotePortIs&) const = default;
};
struct RoomIsFull
{
    bool operator==(const RoomIsFull&) const = default;
};
struct TimeToLaunchGame
{
    bool operator==(const TimeToLaunchGame&) const = default;
};
struct PingPong
{
    bool operator==(const PingPong&) const = default;
};

using HostMessage = std::variant<RoomSettingsUpdate, UserRoomSettingsUpdate, YourRemotePortIs,
                                 RoomIsFull, TimeToLaunchGame, RoomChat, TCPPing, PingPong>;

std::string encodeHostMessage(const HostMessage& message);
// What a member reads. The two list updates yield only the complete rows when the line
// holds fewer than its count announces; a count that is not a number makes the line not
// understood (nothing).
std::optional<HostMessage> parseHostMessage(std::string_view line);

} // namespace vantrell::roomhost
