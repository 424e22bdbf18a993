#include "base/lobby/MainServerCodec.h"

#include "base/common/Fields.h"
#include "base/common/LineWriter.h"
#include "base/common/Overloaded.h"

#include <cstddef>

namespace vantrell::lobby {

namespace {

constexpr std::size_t kRoomRecordFields = 13;

std::string fieldOrEmpty(const std::vector<std::string>& fields, std::size_t index)
{
    return index < fields.size() ? fields[index] : std::string();
}

// The lobby writes "AddNickName" without quoting, so a nickname may hold "," (or a double
// quote, which must not be taken for quoting). Computer names cannot hold ",", so the
// computer name is what follows the last ",", and the nickname is everything between the
// keyword and that last ",".
AddNickName parseAddNickName(std::string_view line)
{
    const auto keywordEnd = line.find(',');
    // The keyword alone names nobody; it must not register a user called "AddNickName".
    if (keywordEnd == std::string_view::npos)
        return AddNickName{};
    const std::string_view rest = line.substr(keywordEnd + 1);
    const auto lastComma = rest.rfind(',');
    if (lastComma == std::string_view::npos)
        return AddNickName{std::string(rest), std::string()};
    return AddNickName{std::string(rest.substr(0, lastComma)),
                       std::string(rest.substr(lastComma + 1))};
}

std::optional<AdvertiseRoom> parseAdvertiseRoom(const std::vector<std::string>& f)
{
    if (f.size() != 12)
        return std::nullopt;
    return AdvertiseRoom{f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11]};
}

std::vector<std::string> roomRecordFields(const RoomRecord& r)
{
    return {r.field0,   r.address, r.isPrivate ? "1" : "0",
            r.roomName, r.game,    r.sourcePort,
            r.players,  r.map,     r.gameType,
            r.skill,    r.inGame,  r.id,
            r.roomPort};
}

NewRoomsListUpdate parseRoomsList(const std::vector<std::string>& f)
{
    NewRoomsListUpdate update;
    long long count = 0;
    if (f.size() < 2 || !parseDecimal(f[1], count) || count <= 0)
        return update;
    for (long long r = 0; r < count; ++r) {
        const std::size_t start = 2 + kRoomRecordFields * static_cast<std::size_t>(r);
        if (start + kRoomRecordFields > f.size())
            break;
        const std::string& flag = f[start + 2];
        if (flag != "1" && flag != "0")
            continue;
        update.rooms.push_back(RoomRecord{f[start], f[start + 1], flag == "1", f[start + 3],
                                          f[start + 4], f[start + 5], f[start + 6], f[start + 7],
                                          f[start + 8], f[start + 9], f[start + 10], f[start + 11],
                                          f[start + 12]});
    }
    return update;
}

// The chat text goes out as typed; a reader keeps what comes before a further "~".
std::string encodeChat(const GlobalChat& m)
{
    return LineWriter("Globalchat").field(m.nickname).freeText(m.text).line();
}

UpdateTimedUserList parseTimedUserList(const std::vector<std::string>& f)
{
    UpdateTimedUserList update;
    long long count = 0;
    if (f.size() < 2 || !parseDecimal(f[1], count))
        return update;
    for (long long i = 0; i < count && 2 + static_cast<std::size_t>(i) < f.size(); ++i)
        update.nicknames.push_back(f[2 + static_cast<std::size_t>(i)]);
    return update;
}

} // namespace

std::string encodeClientMessage(const ClientMessage& message)
{
    return std::visit(
        Overloaded{
            [](const ClientVersionCheck& m) {
                return LineWriter("ClientVersionCheck").field(m.token).line();
            },
            [](const AddNickName& m) {
                return "AddNickName," + withoutLineBreaks(m.nickname) + "," +
                       withoutLineBreaks(m.computerName);
            },
            [](const GlobalChat& m) { return encodeChat(m); },
            [](const RequestRoomsList&) { return std::string("RequestRoomsList"); },
            [](const AdvertiseRoom& m) {
                return LineWriter("AdvertiseRoom")
                    .field(m.nickname)
                    .field(m.privateFlag)
                    .field(m.roomPort)
                    .field(m.roomName)
                    .field(m.game)
                    .field(m.sourcePort)
                    .field(m.players)
                    .field(m.map)
                    .field(m.gameType)
                    .field(m.skill)
                    .field(m.inGame)
                    .line();
            },
            [](const ClientRequestRemoteIP&) { return std::string("ClientRequestRemoteIP"); },
            [](const StopAdvertisingRoom&) { return std::string("StopAdvertisingRoom"); },
        },
        message);
}

std::optional<ClientMessage> parseClientMessage(std::string_view line)
{
    if (line.substr(0, line.find(',')) == "AddNickName")
        return parseAddNickName(line);

    const auto f = splitTilde(line);
    const std::string& keyword = f[0];
    if (keyword == "ClientVersionCheck")
        return ClientVersionCheck{fieldOrEmpty(f, 1)};
    if (keyword == "Globalchat") {
        if (f.size() < 3)
            return std::nullopt;
        return GlobalChat{f[1], f[2]};
    }
    if (keyword == "RequestRoomsList")
        return RequestRoomsList{};
    if (keyword == "AdvertiseRoom") {
        if (auto room = parseAdvertiseRoom(f))
            return *room;
        return std::nullopt;
    }
    if (keyword == "ClientRequestRemoteIP")
        return ClientRequestRemoteIP{};
    if (keyword == "StopAdvertisingRoom")
        return StopAdvertisingRoom{};
    return std::nullopt;
}

std::string encodeServerMessage(const ServerMessage& message)
{
    return std::visit(Overloaded{
                          [](const UserListUpdate& m) {
                              // The count is sent as received too, so it is quoted like
                              // a nickname: a "," in it would otherwise turn its tail into a
                              // nickname of its own.
                              std::string line = "UserListUpdate," +
                                                 quoteCommaField(withoutLineBreaks(m.countText));
                              for (const auto& nickname : m.nicknames)
                                  line += "," + quoteCommaField(withoutLineBreaks(nickname));
                              return line;
                          },
                          [](const WrongVersion&) { return std::string("WrongVersion"); },
                          [](const GlobalChat& m) { return encodeChat(m); },
                          [](const NewRoomsListUpdate& m) {
                              LineWriter w("NewRoomsListUpdate");
                              w.field(std::to_string(m.rooms.size()));
                              for (const auto& room : m.rooms) {
                                  for (const auto& field : roomRecordFields(room))
                                      w.field(field);
                              }
                              return w.line();
                          },
                          [](const YourRemoteIP& m) {
                              return LineWriter("YourRemoteIP").field(m.address).line();
                          },
                          [](const UpdateTimedUserList& m) {
                              LineWriter w("UpdateTimedUserList");
                              w.field(std::to_string(m.nicknames.size()));
                              for (const auto& nickname : m.nicknames)
                                  w.field(nickname);
                              return w.line();
                          },
                      },
                      message);
}

std::optional<ServerMessage> parseServerMessage(std::string_view line)
{
    if (line.substr(0, line.find(',')) == "UserListUpdate") {
        auto f = splitComma(line);
        UserListUpdate update{fieldOrEmpty(f, 1), {}};
        if (f.size() > 2)
            update.nicknames.assign(std::make_move_iterator(f.begin() + 2),
                                    std::make_move_iterator(f.end()));
        return update;
    }

    const auto f = splitTilde(line);
    const std::string& keyword = f[0];
    if (keyword == "WrongVersion")
        return WrongVersion{};
    if (keyword == "Globalchat") {
        if (f.size() < 3)
            return std::nullopt;
        return GlobalChat{f[1], f[2]};
    }
    if (keyword == "NewRoomsListUpdate")
        return parseRoomsList(f);
    if (keyword == "YourRemoteIP") {
        if (f.size() < 2)
            return std::nullopt;
        return YourRemoteIP{f[1]};
    }
    if (keyword == "UpdateTimedUserList")
        return parseTimedUserList(f);
    return std::nullopt;
}

} // namespace vantrell::lobby
