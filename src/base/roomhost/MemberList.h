#pragma once

#include "base/roomhost/RoomCodec.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The players of a hosted room, in the order the host shows and sends them.
namespace vantrell::roomhost {

// Row 0 is always the host and is never removed or changed by member events. Member rows
// follow in the order they were added. On the wire a member is known by its remote port;
// the host also knows the address the connection came from, and matches on both so that
// two members behind different addresses that happen to use the same source port stay
// apart.
class MemberList
{
public:
    explicit MemberList(MemberRow host);

    // The longest value a member's own line puts into its row (nickname, OS description,
    // local address, UDP port, team). Lobby nicknames are at most 32 characters; longer
    // values only come from a broken or hostile member, and a full room's list must still
    // fit in one line that every member accepts.
    static constexpr std::size_t kMaxMemberValueLength = 64;

    const std::vector<MemberRow>& rows() const { return m_rows; }
    std::size_t size() const { return m_rows.size(); }

    // The host's own row: ready, remote address " " until the main server reports it, no
    // remote port, ping "N/A".
    static MemberRow hostRow(std::string nickname, std::string os, std::string localAddress,
                             std::string team, std::string udpPort);
    // A new member's row: not ready, no team, ping "N/A"; its values cut to
    // kMaxMemberValueLength.
    static MemberRow memberRow(const AddUserToList& details, std::string remoteAddress,
                               std::string remotePort);
    void append(MemberRow row);
    // Whether a member row belongs to that connection.
    bool hasConnection(std::string_view remoteAddress, std::string_view remotePort) const;

    // Each returns how many member rows matched. Row 0 is never touched.
    std::size_t removeConnection(std::string_view remoteAddress, std::string_view remotePort);
    std::size_t setReadyCode(std::string_view remoteAddress, std::string_view remotePort,
                             std::string_view readyCode);
    // The team is cut to kMaxMemberValueLength.
    std::size_t setTeam(std::string_view remoteAddress, std::string_view remotePort,
                        std::string_view team);
    std::size_t setPing(std::string_view remoteAddress, std::string_view remotePort,
                        std::string_view ping);
    // Removes member row index (1 or above); false when there is no such row.
    bool removeRow(std::size_t index);

    // The host's public address, once the main server has told it.
    void setHostRemoteAddress(std::string address);

    // True when no member row has ready code "1".
    bool allReady() const;

private:
    template <typename Fn>
    std::size_t forEachMatch(std::string_view remoteAddress, std::string_view remotePort, Fn fn);

    std::vector<MemberRow> m_rows;
};

} // namespace vantrell::roomhost
