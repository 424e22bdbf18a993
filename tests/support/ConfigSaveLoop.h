#pragma once

// The values config_save_loop writes, shared with the test that checks what it left behind.

#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace saveloop {

// Enough sections and keys that one save takes a while to write.
inline std::vector<std::tuple<std::string, std::string, std::string>> fixedEntries()
{
    std::vector<std::tuple<std::string, std::string, std::string>> entries;
    for (int s = 0; s < 8; ++s) {
        for (int k = 0; k < 16; ++k) {
            entries.emplace_back("Section " + std::to_string(s), "Key " + std::to_string(k),
                                 std::string(200, static_cast<char>('a' + (s + k) % 26)));
        }
    }
    return entries;
}

inline std::string checkValue(long long n)
{
    return std::to_string(n) + ":" + std::string(1000 + n % 997, static_cast<char>('A' + n % 26));
}

// n when the value is exactly checkValue(n).
inline std::optional<long long> checkNumber(std::string_view value)
{
    const auto colon = value.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 18)
        return std::nullopt;
    long long n = 0;
    for (const char c : value.substr(0, colon)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (checkValue(n) != value)
        return std::nullopt;
    return n;
}

} // namespace saveloop
