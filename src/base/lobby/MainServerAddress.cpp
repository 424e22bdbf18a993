#include "base/lobby/MainServerAddress.h"

#include <algorithm>
#include <charconv>

namespace vantrell::lobby {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHostNameCharacter(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
}

// Up to three digits, 0 to 255.
bool isAddressPart(std::string_view part)
{
    if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), isDigit))
        return false;
    int value = 0;
    std::from_chars(part.data(), part.data() + part.size(), value);
    return value <= 255;
}

// Labels of letters, digits, "-" and "_" between dots, none empty, none longer than 63
// characters or starting or ending with "-". A name of digits and dots only must be a whole
// IPv4 address: the system would read "10.1" or "300.1.1.1" as something else or not at all.
bool isHostName(std::string_view host)
{
    if (host.size() > 253)
        return false;
    const bool numeric =
        std::all_of(host.begin(), host.end(), [](char c) { return isDigit(c) || c == '.'; });
    int labels = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = std::min(host.find('.', start), host.size());
        const std::string_view label = host.substr(start, dot - start);
        ++labels;
        if (numeric ? !isAddressPart(label)
                    : label.empty() || label.size() > 63 || label.front() == '-' ||
                          label.back() == '-' ||
                          !std::all_of(label.begin(), label.end(), isHostNameCharacter))
            return false;
        if (dot == host.size())
            break;
        start = dot + 1;
    }
    return !numeric || labels == 4;
}

Error invalid(std::string message)
{
    return Error{std::move(message)};
}
} // namespace

std::string_view trimBlanks(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

Result<MainServerAddress> parseMainServerAddress(std::string_view text)
{
    text = trimBlanks(text);
    if (text.empty())
        return MainServerAddress{};
    if (text.front() == '[' || std::count(text.begin(), text.end(), ':') > 1)
        return invalid("IPv6 addresses cannot be used: give a host name or an IPv4 address.");

    const std::size_t colon = text.find(':');
    const std::string_view host = text.substr(0, colon);
    if (host.empty())
        return invalid("The host name or IPv4 address before \":\" is missing.");
    if (!isHostName(host))
        return invalid("\"" + std::string(host) + "\" is not a host name or an IPv4 address.");

    MainServerAddress address{std::string(host), kMainServerPort};
    if (colon == std::string_view::npos)
        return address;
    const std::string_view port = text.substr(colon + 1);
    if (port.empty())
        return invalid("The port after \":\" is missing.");
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
        return invalid("The port after \":\" must be a number from 1 to 65535.");
    address.port = static_cast<std::uint16_t>(value);
    return address;
}

} // namespace vantrell::lobby
