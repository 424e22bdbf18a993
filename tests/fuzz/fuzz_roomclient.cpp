// The member's side of a room fed with whatever a host sends: a stream of host lines goes
// through the parser and the member's rules as the room client applies them. Properties: the
// team drop-down only ever holds the game's team names, a member list never holds more rows
// than its line carried, and a port the host names is a plain decimal port, and the Ping column
// shows a number of milliseconds or "N/A" whatever the round trip.
#include "FuzzCheck.h"
#include "base/roomclient/RoomClientRules.h"
#include "base/roomhost/RoomCodec.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrell;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    roomclient::TeamChoices teams;
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos)
            end = input.size();
        const std::string_view line = input.substr(start, end - start);
        start = end + 1;

        const auto message = roomhost::parseHostMessage(line);
        if (!message)
            continue;
        if (const auto* settings = std::get_if<roomhost::RoomSettingsUpdate>(&*message)) {
            FUZZ_CHECK(settings->rows.size() * 2 <= line.size());
            teams = roomclient::nextTeamChoices(teams, settings->rows);
            FUZZ_CHECK(teams.items.size() <= 9);
            for (const auto& item : teams.items)
                FUZZ_CHECK(item.rfind("Team ", 0) == 0 && item.size() <= 6);
            if (teams.enabled)
                FUZZ_CHECK(!teams.items.empty());
            roomclient::spectatorAndDemoShown(settings->rows);
        } else if (const auto* members = std::get_if<roomhost::UserRoomSettingsUpdate>(&*message)) {
            FUZZ_CHECK(members->rows.size() * 8 <= line.size());
            for (const auto& row : members->rows)
                FUZZ_CHECK(row.ping == "N/A");
        } else if (const auto* port = std::get_if<roomhost::YourRemotePortIs>(&*message)) {
            if (const auto parsed = roomclient::parseRoomPort(port->remotePort)) {
                FUZZ_CHECK(*parsed >= 1);
                FUZZ_CHECK(port->remotePort.find_first_not_of("0123456789") == std::string::npos);
            }
        }
        // Any number a line carries, as a round trip: the Ping column shows digits or "N/A".
        std::uint64_t bits = 0;
        for (const char c : line.substr(0, 18))
            bits = bits * 31 + static_cast<unsigned char>(c);
        if (const auto text = roomclient::clientPingText(static_cast<std::int64_t>(bits))) {
            const bool measured = text->size() > 3 && text->ends_with(" ms") &&
                                  text->find_first_not_of("0123456789") == text->size() - 3;
            FUZZ_CHECK(*text == "N/A" || measured);
        }
    }
    return 0;
}
