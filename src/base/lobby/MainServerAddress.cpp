#include "base/lobby/MainServerAddress.h"

#include <algorithm>
#include <charconv>
#include <vector>

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

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A part of an address as the system's resolver reads one: decimal, octal with a leading
// "0", hexadecimal after "0x". A name made of these only is never looked up as a name.
bool isNumberForm(std::string_view label)
{
    if (label.size() >= 2 && label[0] == '0' && (label[1] == 'x' || label[1] == 'X'))
        return std::all_of(label.begin() + 2, label.end(), isHexDigit);
    return !label.empty() && std::all_of(label.begin(), label.end(), isDigit);
}

// 0 to 255 in decimal, without leading zeros: "010" would be read as octal 8.
bool isAddressPart(std::string_view part)
{
    if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), isDigit) ||
        (part.size() > 1 && part.front() == '0'))
        return false;
    int value = 0;
    std::from_chars(part.data(), part.data() + part.size(), value);
    return value <= 255;
}

bool isLabel(std::string_view label)
{
    return !label.empty() && label.size() <= 63 && label.front() != '-' && label.back() != '-' &&
           std::all_of(label.begin(), label.end(), isHostNameCharacter);
}

std::vector<std::string_view> labelsOf(std::string_view host)
{
    std::vector<std::string_view> labels;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = std::min(host.find('.', start), host.size());
        labels.push_back(host.substr(start, dot - start));
        if (dot == host.size())
            return labels;
        start = dot + 1;
    }
}

// Labels of letters, digits, "-" and "_" between dots, none empty, none longer than 63
// characters or starting or ending with "-"; one dot may end the name (a fully qualified
// one). A name whose every label is a number is an address to the system however it is
// written ("10.1", "0x7f000001", "192.168.001.010"), so it must be a dotted IPv4 address
// as the player reads it: four decimal parts, no leading zeros, no dot at the end.
bool isHostName(std::string_view host)
{
    const bool qualified = host.size() > 1 && host.back() == '.';
    if (qualified)
        host.remove_suffix(1);
    if (host.size() > 253)
        return false;
    const std::vector<std::string_view> labels = labelsOf(host);
    if (std::all_of(labels.begin(), labels.end(), isNumberForm))
        return !qualified && labels.size() == 4 &&
               std::all_of(labels.begin(), labels.end(), isAddressPart);
    return std::all_of(labels.begin(), labels.end(), isLabel);
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
