#include "base/launch/ExecutableFormat.h"

namespace vantrell::launch {

std::optional<std::uint32_t> peHeaderOffset(std::span<const unsigned char> head)
{
    if (head.size() < kDosHeaderSize || head[0] != 'M' || head[1] != 'Z')
        return std::nullopt;
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < 4; ++i)
        offset |= std::uint32_t(head[0x3C + i]) << (8 * i);
    return offset;
}

bool isPeSignature(std::span<const unsigned char> signature)
{
    return signature.size() >= 4 && signature[0] == 'P' && signature[1] == 'E' &&
           signature[2] == 0 && signature[3] == 0;
}

} // namespace vantrell::launch
