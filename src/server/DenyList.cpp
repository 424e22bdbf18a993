#include "server/DenyList.h"

#include "base/common/Fields.h"
#include "server/Asio.h"
#include "server/TextFile.h"

#include <algorithm>

namespace vantrell::server {

namespace {

bool inRange(const std::array<std::uint8_t, 16>& address,
             const std::array<std::uint8_t, 16>& rangeAddress, unsigned prefix)
{
    const unsigned whole = prefix / 8;
    const unsigned rest = prefix % 8;
    if (!std::equal(address.begin(), address.begin() + whole, rangeAddress.begin()))
        return false;
    const auto mask = static_cast<std::uint8_t>(0xff00u >> rest);
    return rest == 0 || ((address[whole] ^ rangeAddress[whole]) & mask) == 0;
}

} // namespace

Result<DenyList> DenyList::parse(std::string_view text)
{
    DenyList list;
    for (std::size_t lineNumber = 1; !text.empty(); ++lineNumber) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty())
            continue;

        const auto slash = line.find('/');
        const std::string addressText(line.substr(0, slash));
        ErrorCode error;
        const auto address = asio::ip::make_address(addressText, error);
        if (error)
            return Error{"line " + std::to_string(lineNumber) + ": \"" + std::string(line) +
                         "\" is not an IPv4 or IPv6 address or range"};
        const unsigned width = address.is_v4() ? 32 : 128;
        long long prefix = width;
        if (slash != std::string_view::npos &&
            (!parseDecimal(std::string(line.substr(slash + 1)), prefix) || prefix > width))
            return Error{"line " + std::to_string(lineNumber) + ": bad prefix length in \"" +
                         std::string(line) + "\" (0 to " + std::to_string(width) + ")"};
        Range range{};
        if (address.is_v4()) {
            range.address =
                asio::ip::make_address_v6(asio::ip::v4_mapped, address.to_v4()).to_bytes();
            range.prefix = 96 + static_cast<unsigned>(prefix);
        } else {
            range.address = address.to_v6().to_bytes();
            range.prefix = static_cast<unsigned>(prefix);
            // IPv4 clients are matched as ::ffff:a.b.c.d, so a wide IPv6 range meant for
            // IPv6 turns every IPv4 client away as well.
            static const auto mappedSpace =
                asio::ip::make_address_v6(asio::ip::v4_mapped, asio::ip::address_v4::any())
                    .to_bytes();
            if (range.prefix <= 96 && inRange(mappedSpace, range.address, range.prefix))
                list.m_warnings.push_back("line " + std::to_string(lineNumber) + ": \"" +
                                          std::string(line) +
                                          "\" bans every IPv4 client too (they are matched as "
                                          "::ffff:a.b.c.d)");
        }
        list.m_ranges.push_back(range);
    }
    return list;
}

Result<DenyList> DenyList::load(const std::string& path)
{
    const auto text = readTextFile(path);
    if (!text)
        return Error{text.error()};
    auto list = parse(*text);
    if (!list)
        return Error{path + ": " + list.error()};
    return list;
}

bool DenyList::denies(const asio::ip::address& peer) const
{
    const auto address =
        peer.is_v4() ? asio::ip::make_address_v6(asio::ip::v4_mapped, peer.to_v4()).to_bytes()
                     : peer.to_v6().to_bytes();
    return std::any_of(m_ranges.begin(), m_ranges.end(), [&](const Range& range) {
        return inRange(address, range.address, range.prefix);
    });
}

} // namespace vantrell::server
