#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The lines between a lobby program and the main server, both directions. Encoders return
// the line without its line end (encodeLine adds it); parsers take a line without it.
//
// The "~" lines follow the field rule of base/common/LineWriter.h: a "~" inside a field is
// written as "-" and a line break as a blank, so no typed text can add a field or a line. The
// chat text, the last field of its line, is the exception: its "~" is sent as typed and the
// reader keeps only the part before it. The two "," lines write line breaks as blanks too.
namespace vantrell::lobby {

inline constexpr std::string_view kVersionToken = "Vantrex 3829";

// ---- program to main server ----

struct ClientVersionCheck
{
    std::string token;
    bool operator==(const ClientVersionCheck&) const = default;
};
// Comma line: written without quoting, as stored ("~" and "," included).
struct AddNickName
{
    std::string nickname;
    std::string computerName;
    bool operator==(const AddNickName&) const = default;
};
// Also relayed back by the server under the same keyword.
struct GlobalChat
{
    std::string nickname;
    std::string text;
    bool operator==(const GlobalChat&) const = default;
};
struct RequestRoomsList
{
    bool operator==(const RequestRoomsList&) const = default;
};
// The twelve fields a host advertises, in their order on the line.
struct AdvertiseRoom
{
    std::string nickname;
    std::string privateFlag; // "1" or "0"
    std::string roomPort;
    std::string roomName;
    std::string game;
    std::string sourcePort;
    std::string players;
    std::string map;
    std::string gameType;
    std::string skill;
    std::string inGame; // "Yes" or "No"
    bool operator==(const AdvertiseRoom&) const = default;
};
struct ClientRequestRemoteIP
{
    bool operator==(const ClientRequestRemoteIP&) const = default;
};
struct StopAdvertisingRoom
{
    bool operator==(const StopAdvertisingRoom&) const = default;
};

using ClientMessage = std::variant<ClientVersionCheck, AddNickName, GlobalChat, RequestRoomsList,
                                   AdvertiseRoom, ClientRequestRemoteIP, StopAdvertisingRoom>;

std::string encodeClientMessage(const ClientMessage& message);
// What the server reads. Nothing for an unknown keyword or a line that does not fit its
// layout (an "AdvertiseRoom" with other than twelve fields, a "Globalchat" without text
// field).
std::optional<ClientMessage> parseClientMessage(std::string_view line);

// ---- main server to program ----

// Comma line. The count is kept as text because the lobby shows it as received.
struct UserListUpdate
{
    std::string countText;
    std::vector<std::string> nicknames;
    bool operator==(const UserListUpdate&) const = default;
};
struct WrongVersion
{
    bool operator==(const WrongVersion&) const = default;
};
// One record of a room list (13 fields on the line).
struct RoomRecord
{
    std::string field0; // not read by the program; our server writes the host's nickname
    std::string address;
    bool isPrivate = false; // "1" / "0" on the line; other values skip the record
    std::string roomName;
    std::string game;
    std::string sourcePort;
    std::string players;
    std::string map;
    std::string gameType;
    std::string skill;
    std::string inGame;
    std::string id;
    std::string roomPort;
    bool operator==(const RoomRecord&) const = default;
};
// A count that is not a number, or 0, gives no rooms; parsing stops at the first record
// that is not complete; a record whose private flag is neither "1" nor "0" is skipped.
struct NewRoomsListUpdate
{
    std::vector<RoomRecord> rooms;
    bool operator==(const NewRoomsListUpdate&) const = default;
};
struct YourRemoteIP
{
    std::string address;
    bool operator==(const YourRemoteIP&) const = default;
};
// A count that is not a number gives no names; fewer fields than the count gives the ones
// present.
struct UpdateTimedUserList
{
    std::vector<std::string> nicknames;
    bool operator==(const UpdateTimedUserList&) const = default;
};

using ServerMessage = std::variant<UserListUpdate, WrongVersion, GlobalChat, NewRoomsListUpdate,
                                   YourRemoteIP, UpdateTimedUserList>;

// "UserListUpdate" writes nicknames holding "," or a double quote in quoted form.
std::string encodeServerMessage(const ServerMessage& message);
// "UserListUpdate" is matched on the comma split, every other keyword on the tilde split,
// exactly and case-sensitively. Nothing for an unknown keyword.
std::optional<ServerMessage> parseServerMessage(std::string_view line);

} // namespace vantrell::lobby
