#include "base/transfer/UsermapTransfer.h"

#include "base/common/PlainFileName.h"
#include "base/roomhost/RoomSettings.h"

#include <cctype>

namespace vantrell::transfer {

bool isUsermap(std::string_view map)
{
    constexpr std::string_view kExtension = ".map";
    if (map.size() < kExtension.size())
        return false;
    const auto tail = map.substr(map.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != kExtension[i])
            return false;
    }
    return true;
}

MemberUsermapDecision memberUsermapDecision(const std::vector<roomhost::SettingRow>& rows)
{
    MemberUsermapDecision decision;
    if (rows.size() <= roomhost::kMapRow)
        return decision;
    const std::optional<Game> game = gameWithRoomName(rows[roomhost::kGameRow].value);
    const std::string& map = rows[roomhost::kMapRow].value;
    if (!game || !isUsermap(map))
        return decision;
    const GameRow& row = gameRow(*game);
    decision.request = {std::string(row.usermapRequest), std::string(row.usermapsKey), map};
    decision.kind = isPlainFileName(map) ? MemberUsermapDecision::Kind::Fetch
                                         : MemberUsermapDecision::Kind::UnsafeName;
    return decision;
}

std::optional<UsermapRequest> servedUsermap(std::string_view requestLine,
                                            const std::vector<roomhost::SettingRow>& rows)
{
    const auto decision = memberUsermapDecision(rows);
    if (decision.kind != MemberUsermapDecision::Kind::Fetch ||
        decision.request.requestLine != requestLine)
        return std::nullopt;
    return decision.request;
}

std::array<char, kSizeBytes> encodeSize(std::int64_t size)
{
    std::array<char, kSizeBytes> bytes{};
    auto value = static_cast<std::uint64_t>(size);
    for (std::size_t i = kSizeBytes; i-- > 0;) {
        bytes[i] = static_cast<char>(value & 0xff);
        value >>= 8;
    }
    return bytes;
}

std::int64_t decodeSize(const std::array<char, kSizeBytes>& bytes)
{
    std::uint64_t value = 0;
    for (const char byte : bytes)
        value = (value << 8) | static_cast<unsigned char>(byte);
    return static_cast<std::int64_t>(value);
}

bool isAcceptableSize(std::int64_t size)
{
    return size >= 0 && size <= kMaxUsermapSize;
}

std::string usermapPathText(std::string_view folder, std::string_view map)
{
    std::string path(folder);
    path += '/';
    path += map;
    return path;
}

} // namespace vantrell::transfer
