#include "server/Registry.h"

#include "base/common/Fields.h"
#include "base/common/LineFraming.h"

#include <utility>

namespace vantrell::server {

namespace {

// The text as it goes on the wire, without the line end.
std::string asciiOnly(std::string_view text)
{
    std::string out = encodeLine(text);
    out.resize(out.size() - 2);
    return out;
}

SharedLine share(const lobby::ServerMessage& message)
{
    return std::make_shared<const std::string>(encodeLine(lobby::encodeServerMessage(message)));
}

std::size_t recordLength(const lobby::RoomRecord& r)
{
    // Thirteen fields, each preceded by its "~".
    return 13 + r.field0.size() + r.address.size() + 1 + r.roomName.size() + r.game.size() +
           r.sourcePort.size() + r.players.size() + r.map.size() + r.gameType.size() +
           r.skill.size() + r.inGame.size() + r.id.size() + r.roomPort.size();
}

// Copies items from the front, in order, while the line they make stays within what a lobby
// reads. `field` gives an item's length on the line (with its separator) and its value.
template <typename Items, typename Out, typename Field>
void takeWhileFits(const Items& items, std::size_t length, std::vector<Out>& out, Field field)
{
    for (const auto& item : items) {
        auto [size, value] = field(item);
        if (length + size > kMaxLineLength)
            return;
        length += size;
        out.push_back(std::move(value));
    }
}

} // namespace

std::string Registry::cleanNickname(std::string_view nickname)
{
    std::string clean = asciiOnly(nickname);
    for (char& c : clean) {
        if (c == '~')
            c = '?';
    }
    return clean;
}

bool Registry::addUser(ClientId client, std::string nickname)
{
    if (m_userIndex.count(client))
        return false;
    m_users.push_back(User{client, std::move(nickname)});
    m_userIndex.emplace(client, std::prev(m_users.end()));
    m_userListLine.reset();
    m_timedUserListLine.reset();
    return true;
}

void Registry::removeUser(ClientId client)
{
    const auto it = m_userIndex.find(client);
    if (it == m_userIndex.end())
        return;
    m_users.erase(it->second);
    m_userIndex.erase(it);
    m_userListLine.reset();
    m_timedUserListLine.reset();
}

const std::string* Registry::nickname(ClientId client) const
{
    const auto it = m_userIndex.find(client);
    return it == m_userIndex.end() ? nullptr : &it->second->nickname;
}

Result<Registry::RoomOutcome> Registry::advertise(ClientId client, const lobby::AdvertiseRoom& room,
                                                  const std::string& hostNickname,
                                                  const std::string& address)
{
    if (room.privateFlag != "1" && room.privateFlag != "0")
        return Error{"private flag \"" + asciiOnly(room.privateFlag) + "\" is neither 1 nor 0"};
    long long port = 0;
    if (!parseDecimal(room.roomPort, port) || port < 1 || port > 65535)
        return Error{"room port \"" + asciiOnly(room.roomPort) + "\" is not 1 to 65535"};

    lobby::RoomRecord record;
    record.field0 = hostNickname;
    record.address = address;
    record.isPrivate = room.privateFlag == "1";
    record.roomName = asciiOnly(room.roomName);
    record.game = asciiOnly(room.game);
    record.sourcePort = asciiOnly(room.sourcePort);
    record.players = asciiOnly(room.players);
    record.map = asciiOnly(room.map);
    record.gameType = asciiOnly(room.gameType);
    record.skill = asciiOnly(room.skill);
    record.inGame = asciiOnly(room.inGame);
    record.roomPort = std::to_string(port);

    m_roomsListLine.reset();
    const auto existing = m_roomIndex.find(client);
    if (existing != m_roomIndex.end()) {
        // A replacement keeps its identifier and its place in the list.
        auto& stored = existing->second->record;
        record.id = stored.id;
        const bool changed = !(record == stored);
        stored = std::move(record);
        return RoomOutcome{stored.id, true, changed};
    }
    record.id = std::to_string(m_nextRoomId++);
    std::string id = record.id;
    m_rooms.push_back(Room{client, std::move(record)});
    m_roomIndex.emplace(client, std::prev(m_rooms.end()));
    return RoomOutcome{std::move(id), false};
}

std::string Registry::removeRoom(ClientId client)
{
    const auto it = m_roomIndex.find(client);
    if (it == m_roomIndex.end())
        return {};
    std::string id = it->second->record.id;
    m_rooms.erase(it->second);
    m_roomIndex.erase(it);
    m_roomsListLine.reset();
    return id;
}

SharedLine Registry::userListLine()
{
    if (!m_userListLine) {
        lobby::UserListUpdate update{std::to_string(m_users.size()), {}};
        const std::size_t head =
            std::string_view("UserListUpdate,").size() + update.countText.size();
        takeWhileFits(m_users, head, update.nicknames, [](const User& user) {
            return std::pair{1 + quoteCommaField(user.nickname).size(), user.nickname};
        });
        m_userListLine = share(update);
    }
    return m_userListLine;
}

SharedLine Registry::timedUserListLine()
{
    if (!m_timedUserListLine) {
        lobby::UpdateTimedUserList update;
        // The count written is the number of names that fit; budget for the longest count.
        const std::size_t head =
            std::string_view("UpdateTimedUserList~").size() + std::to_string(m_users.size()).size();
        takeWhileFits(m_users, head, update.nicknames, [](const User& user) {
            return std::pair{1 + user.nickname.size(), user.nickname};
        });
        m_timedUserListLine = share(update);
    }
    return m_timedUserListLine;
}

SharedLine Registry::roomsListLine()
{
    if (!m_roomsListLine) {
        lobby::NewRoomsListUpdate update;
        const std::size_t head =
            std::string_view("NewRoomsListUpdate~").size() + std::to_string(m_rooms.size()).size();
        takeWhileFits(m_rooms, head, update.rooms, [](const Room& room) {
            return std::pair{recordLength(room.record), room.record};
        });
        m_roomsListLine = share(update);
    }
    return m_roomsListLine;
}

} // namespace vantrell::server
