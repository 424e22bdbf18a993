#pragma once

#include "base/roomhost/RoomCodec.h"

#include <string>
#include <string_view>
#include <vector>

// The contents of the files hDuke reads from its folder in a room game.
namespace vantrell::launch {

inline constexpr std::string_view kPeerListName = "netlist.txt";
inline constexpr std::string_view kMarkerName = "kesh.txt";

// The marker file's one line, CR LF ended.
std::string markerContents();

// The host's peer list: its own row 0 binds, every other row is allowed, in list order.
std::string hostPeerList(const std::vector<roomhost::MemberRow>& members);
// A member's peer list. Its own rows are the member rows whose "Remote Port" is its own
// remote port; each binds ("interface" and "mode peer", first). Every other row, the host's
// always, is allowed. Pass the list with the host's address filled in (withHostAddress).
std::string memberPeerList(const std::vector<roomhost::MemberRow>& members,
                           std::string_view ownRemotePort);

} // namespace vantrell::launch
