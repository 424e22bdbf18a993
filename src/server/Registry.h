#pragma once

#include "base/common/Result.h"
#include "base/lobby/MainServerCodec.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vantrell::server {

using ClientId = std::uint64_t;
using SharedLine = std::shared_ptr<const std::string>;

// The users online (in join order) and the advertised rooms (in advertising order), keyed
// by the connection that registered or advertised them, and the lines that describe them.
// The lines are built once per change and shared by every connection that is sent one.
class Registry
{
public:
    static constexpr std::size_t kMaxNicknameLength = 64;

    // What a received nickname is kept as: non-ASCII characters become "?" as they would on
    // the wire, and "~" becomes "?" too, because the nickname goes into tilde lines (relayed
    // chat, room records, the timed list) where a "~" would shift every later field.
    static std::string cleanNickname(std::string_view nickname);

    // Returns false when this connection already has a user.
    bool addUser(ClientId client, std::string nickname);
    void removeUser(ClientId client);
    const std::string* nickname(ClientId client) const;
    std::size_t userCount() const { return m_users.size(); }
    template <typename F>
    void forEachUser(F&& f) const
    {
        for (const auto& user : m_users)
            f(user.client);
    }
    // Nicknames and rooms in the order the lobby lists them.
    template <typename F>
    void forEachNickname(F&& f) const
    {
        for (const auto& user : m_users)
            f(user.nickname);
    }
    template <typename F>
    void forEachRoom(F&& f) const
    {
        for (const auto& room : m_rooms)
            f(room.record);
    }

    struct RoomOutcome
    {
        std::string id;
        bool replaced = false;
        bool changed = true; // false for a replacement identical to the room it replaces
    };
    // Stores or replaces the connection's one room. The error names why a room is refused.
    Result<RoomOutcome> advertise(ClientId client, const lobby::AdvertiseRoom& room,
                                  const std::string& hostNickname, const std::string& address);
    // The id of the room removed, or an empty text when the connection had none.
    std::string removeRoom(ClientId client);
    std::size_t roomCount() const { return m_rooms.size(); }

    // Whole lines with their line end. Lists that would not fit on one line the lobby can
    // read are cut short: the user list keeps the full count, the others count what they hold.
    SharedLine userListLine();
    SharedLine timedUserListLine();
    SharedLine roomsListLine();

private:
    struct User
    {
        ClientId client;
        std::string nickname;
    };
    struct Room
    {
        ClientId client;
        lobby::RoomRecord record;
    };

    std::list<User> m_users;
    std::unordered_map<ClientId, std::list<User>::iterator> m_userIndex;
    std::list<Room> m_rooms;
    std::unordered_map<ClientId, std::list<Room>::iterator> m_roomIndex;
    std::uint64_t m_nextRoomId = 1;

    SharedLine m_userListLine;
    SharedLine m_timedUserListLine;
    SharedLine m_roomsListLine;
};

} // namespace vantrell::server
