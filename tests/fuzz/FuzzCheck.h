#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// A property that does not hold is a crash, so libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The encoders write a line break inside a field as a blank (a line cannot hold one), so a
// parsed line holding CR or LF writes back as the same line with blanks in their place.
inline std::string withBlanksForLineBreaks(std::string_view line)
{
    std::string out(line);
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}
