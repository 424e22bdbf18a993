#pragma once

#include "base/common/Result.h"
#include "server/Asio.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::server {

// Addresses and ranges that may not connect: one IPv4 or IPv6 address or CIDR range per
// line ("203.0.113.7", "198.51.100.0/24", "2001:db8::/32"), "#" starts a comment.
class DenyList
{
public:
    // The error names the line that could not be read ("line 3: ...").
    static Result<DenyList> parse(std::string_view text);
    // Reads and parses a file; the error names the file and the line.
    static Result<DenyList> load(const std::string& path);

    // The address as the socket reports it; an IPv4-mapped IPv6 address counts as IPv4.
    bool denies(const asio::ip::address& address) const;
    std::size_t size() const { return m_ranges.size(); }
    // Entries that are valid but most likely not meant as written, one text per entry.
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    struct Range
    {
        std::array<std::uint8_t, 16> address; // IPv4 as IPv4-mapped IPv6
        unsigned prefix;                      // in bits of the 128
    };
    std::vector<Range> m_ranges;
    std::vector<std::string> m_warnings;
};

} // namespace vantrell::server
