#include "base/roomhost/RoomCodec.h"

#include "base/common/Fields.h"
#include "base/common/LineWriter.h"
#include "base/common/Overloaded.h"

namespace vantrell::roomhost {

namespace {

// Room keywords, matched exactly.
constexpr std::string_view kAddUserToList = "AddUserToList";
constexpr std::string_view kClientRequestsRemotePort = "ClientRequestsRemotePort";
constexpr std::string_view kClientSentReadyMessage = "ClientSentReadyMessage";
constexpr std::string_view kClientSentNotReadyMessage = "ClientSentNotReadyMessage";
constexpr std::string_view kClientSentTeamChanged = "ClientSentTeamChanged";
constexpr std::string_view kRoomChat = "RoomChat";
constexpr std::string_view kTCPPing = "TCPPing";
constexpr std::string_view kRoomSettingsUpdate = "RoomSettingsUpdate";
constexpr std::string_view kUserRoomSettingsUpdate = "UserRoomSettingsUpdate";
constexpr std::string_view kYourRemotePortIs = "YourRemotePortIs";
constexpr std::string_view kRoomIsFull = "RoomIsFull";
constexpr std::string_view kTimeToLaunchGame = "TimeToLaunchGame";
constexpr std::string_view kPingPong = "PingPong";

constexpr std::size_t kMemberRowFields = 8;

// How many whole rows of `width` fields a list line holds after its keyword and count.
// A row is whole when each of its fields is followed by "~"; the text after the last "~"
// (empty on a well-formed line) ends no field and belongs to no row.
std::size_t wholeRows(const std::vector<std::string>& fields, long long announced,
                      std::size_t width)
{
    const std::size_t terminated = fields.size() - 1; // fields followed by "~"
    const std::size_t available = terminated > 2 ? (terminated - 2) / width : 0;
    return static_cast<unsigned long long>(announced) < available
               ? static_cast<std::size_t>(announced)
               : available;
}

// The row count of a list line; a negative count (an empty list) reads as 0.
bool parseRowCount(const std::vector<std::string>& fields, long long& count)
{
    if (fields.size() < 2)
        return false;
    const std::string_view text = fields[1];
    if (!text.starts_with('-'))
        return parseDecimal(text, count);
    long long magnitude = 0;
    if (!parseDecimal(text.substr(1), magnitude))
        return false;
    count = 0;
    return true;
}

std::optional<RoomSettingsUpdate> parseSettingsUpdate(const std::vector<std::string>& fields)
{
    long long count = 0;
    if (!parseRowCount(fields, count))
        return std::nullopt;
    RoomSettingsUpdate update;
    const std::size_t rows = wholeRows(fields, count, 2);
    update.rows.reserve(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::size_t at = 2 + r * 2;
        update.rows.push_back({fields[at], fields[at + 1]});
    }
    return update;
}

std::optional<UserRoomSettingsUpdate>
parseUserSettingsUpdate(const std::vector<std::string>& fields)
{
    long long count = 0;
    if (!parseRowCount(fields, count))
        return std::nullopt;
    UserRoomSettingsUpdate update;
    const std::size_t rows = wholeRows(fields, count, kMemberRowFields);
    update.rows.reserve(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const auto* f = &fields[2 + r * kMemberRowFields];
        MemberRow row;
        row.readyCode = f[0];
        row.nickname = f[1];
        row.os = f[2];
        row.remoteAddress = f[3];
        row.localAddress = f[4];
        row.team = f[5];
        row.remotePort = f[6];
        row.udpPort = f[7];
        update.rows.push_back(std::move(row)); // the ping keeps its "N/A"
    }
    return update;
}

std::string encodeChat(const RoomChat& m)
{
    return LineWriter(kRoomChat).field(m.nickname).freeText(m.text).line();
}

std::string encodePing(const TCPPing& m)
{
    return LineWriter(kTCPPing).field(m.remotePort).line();
}

} // namespace

std::string encodeMemberMessage(const MemberMessage& message)
{
    return std::visit(
        Overloaded{
            [](const AddUserToList& m) {
                return LineWriter(kAddUserToList)
                    .field(m.nickname)
                    .field(m.os)
                    .field(m.localAddress)
                    .field(m.udpPort)
                    .line();
            },
            [](const ClientRequestsRemotePort&) { return std::string(kClientRequestsRemotePort); },
            [](const ClientSentReadyMessage&) { return std::string(kClientSentReadyMessage); },
            [](const ClientSentNotReadyMessage&) {
                return std::string(kClientSentNotReadyMessage);
            },
            [](const ClientSentTeamChanged& m) {
                return LineWriter(kClientSentTeamChanged).field(m.team).line();
            },
            [](const RoomChat& m) { return encodeChat(m); },
            [](const TCPPing& m) { return encodePing(m); },
        },
        message);
}

std::optional<MemberMessage> parseMemberMessage(std::string_view line)
{
    const auto f = splitTilde(line);
    const std::string_view keyword = f[0];
    if (keyword == kAddUserToList && f.size() >= 5)
        return AddUserToList{f[1], f[2], f[3], f[4]};
    if (keyword == kClientRequestsRemotePort)
        return ClientRequestsRemotePort{};
    if (keyword == kClientSentReadyMessage)
        return ClientSentReadyMessage{};
    if (keyword == kClientSentNotReadyMessage)
        return ClientSentNotReadyMessage{};
    if (keyword == kClientSentTeamChanged && f.size() >= 2)
        return ClientSentTeamChanged{f[1]};
    if (keyword == kRoomChat && f.size() >= 3)
        return RoomChat{f[1], f[2]};
    if (keyword == kTCPPing && f.size() >= 2)
        return TCPPing{f[1]};
    return std::nullopt;
}

std::string encodeHostMessage(const HostMessage& message)
{
    return std::visit(Overloaded{
                          [](const RoomSettingsUpdate& m) {
                              LineWriter w(kRoomSettingsUpdate);
                              w.field(std::to_string(m.rows.size()));
                              for (const auto& row : m.rows)
                                  w.field(row.name).field(row.value);
                              return w.listLine();
                          },
                          [](const UserRoomSettingsUpdate& m) {
                              LineWriter w(kUserRoomSettingsUpdate);
                              w.field(std::to_string(m.rows.size()));
                              // The ping is shown by each program itself and never sent.
                              for (const auto& row : m.rows) {
                                  w.field(row.readyCode)
                                      .field(row.nickname)
                                      .field(row.os)
                                      .field(row.remoteAddress)
                                      .field(row.localAddress)
                                      .field(row.team)
                                      .field(row.remotePort)
                                      .field(row.udpPort);
                              }
                              return w.listLine();
                          },
                          [](const YourRemotePortIs& m) {
                              return LineWriter(kYourRemotePortIs).field(m.remotePort).line();
                          },
                          [](const RoomIsFull&) { return std::string(kRoomIsFull); },
                          [](const TimeToLaunchGame&) { return std::string(kTimeToLaunchGame); },
                          [](const RoomChat& m) { return encodeChat(m); },
                          [](const TCPPing& m) { return encodePing(m); },
                          [](const PingPong&) { return std::string(kPingPong); },
                      },
                      message);
}

std::optional<HostMessage> parseHostMessage(std::string_view line)
{
    const auto f = splitTilde(line);
    const std::string_view keyword = f[0];
    if (keyword == kRoomSettingsUpdate) {
        if (auto update = parseSettingsUpdate(f))
            return std::move(*update);
        return std::nullopt;
    }
    if (keyword == kUserRoomSettingsUpdate) {
        if (auto update = parseUserSettingsUpdate(f))
            return std::move(*update);
        return std::nullopt;
    }
    if (keyword == kYourRemotePortIs && f.size() >= 2)
        return YourRemotePortIs{f[1]};
    if (keyword == kRoomIsFull)
        return RoomIsFull{};
    if (keyword == kTimeToLaunchGame)
        return TimeToLaunchGame{};
    if (keyword == kRoomChat && f.size() >= 3)
        return RoomChat{f[1], f[2]};
    if (keyword == kTCPPing && f.size() >= 2)
        return TCPPing{f[1]};
    if (keyword == kPingPong)
        return PingPong{};
    return std::nullopt;
}

} // namespace vantrell::roomhost
