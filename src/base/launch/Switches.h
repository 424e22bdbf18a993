#pragma once

#include <optional>
#include <string>
#include <string_view>

// The switches the three source ports share in meaning. hDuke writes them with "/",
// EDuke32-OldMP with "-"; the letters are the same.
namespace vantrell::launch {

struct Level
{
    int episode = 0;
    int level = 0;
};

// The level at a position of the "Original Map:" list; none for "None" and the episode
// headings.
std::optional<Level> levelAtPosition(int position);
// The level whose full text ("E3L10: Tier Drops") this is; none for any other text.
std::optional<Level> levelByText(std::string_view text);

// "/v3 /l10" (two arguments).
std::string mapSwitch(Level level, char prefix);
// "/m", "/s1" .. "/s4" for the five skill texts; none for any other text.
std::optional<std::string> skillSwitch(std::string_view skill, char prefix);
// "/t1", "/t2", "/t3", "/tx" for "Monsters", "Items", "Inventory", "All"; none otherwise
// ("N/A" included).
std::optional<std::string> spawnSwitch(std::string_view spawn, char prefix);

// Whether a map name names a usermap: it ends in ".map", in any letter case.
bool isUsermapName(std::string_view map);

// Position of a text in a list of choices, or -1.
template <typename List>
int positionOf(const List& list, std::string_view text)
{
    int i = 0;
    for (const auto& entry : list) {
        if (entry == text)
            return i;
        ++i;
    }
    return -1;
}

} // namespace vantrell::launch
