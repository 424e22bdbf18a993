#pragma once

#include "base/roomhost/RoomCodec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a room's usermap transfer asks for and how its size travels. A member sends one
// request line naming the game; the host answers with the size (8 bytes, most significant
// first) and the file's bytes.
namespace vantrell::transfer {

// The largest usermap either side accepts. Real maps are a few MiB; anything past this is a
// hostile or broken peer, not a map.
inline constexpr std::int64_t kMaxUsermapSize = std::int64_t(512) * 1024 * 1024;
inline constexpr std::size_t kSizeBytes = 8;

// Whether a map name is a usermap: its extension, in lower case, is ".map".
bool isUsermap(std::string_view map);

// One game's usermap: the request line, the configuration key of its usermaps folder and
// the map's file name.
struct UsermapRequest
{
    std::string requestLine;
    std::string folderKey; // in the "Usermaps Directorys" section
    std::string map;
    bool operator==(const UsermapRequest&) const = default;
};

// What a member does about the room's map, from the settings list it got from the host
// (row 0 the game, row 2 the map).
struct MemberUsermapDecision
{
    enum class Kind
    {
        Nothing,    // not a usermap room (or no list yet): no transfer
        UnsafeName, // a usermap whose name is not a plain file name: never a path
        Fetch,      // fetch `request` if the file is missing
    };
    Kind kind = Kind::Nothing;
    UsermapRequest request;
};
MemberUsermapDecision memberUsermapDecision(const std::vector<roomhost::SettingRow>& rows);

// What the host serves for a request line, from its own settings list: the usermap when
// the line asks for the room's game, the room plays a usermap and its name is a plain file
// name; nothing otherwise (the host then closes the connection without sending).
std::optional<UsermapRequest> servedUsermap(std::string_view requestLine,
                                            const std::vector<roomhost::SettingRow>& rows);

std::array<char, kSizeBytes> encodeSize(std::int64_t size);
std::int64_t decodeSize(const std::array<char, kSizeBytes>& bytes);
// A size a member accepts: from 0 to kMaxUsermapSize.
bool isAcceptableSize(std::int64_t size);

// "folder/map", the way log lines show a usermap's path.
std::string usermapPathText(std::string_view folder, std::string_view map);

} // namespace vantrell::transfer
