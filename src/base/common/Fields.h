#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

// Splits a tilde line at every "~". Nothing is dropped: "a~~b~" gives "a", "", "b", "".
std::vector<std::string> splitTilde(std::string_view line);

// Joins fields with "~". Fields are written as they are: a "~" inside one cannot be escaped.
std::string joinTilde(const std::vector<std::string>& fields);

// Splits a comma line at every ",". A field that begins with a double quote runs to its
// closing quote, a doubled quote inside stands for one quote, and the quotes are removed;
// any text between the closing quote and the next "," stays part of the field. Blanks
// belong to their field, and a "," at the very end gives an empty last field.
std::vector<std::string> splitComma(std::string_view line);

// Writes one field of a comma line so that splitComma reads it back: a field holding ","
// or a double quote is quoted, with its quotes doubled.
std::string quoteCommaField(std::string_view field);

// Parses a count or port: decimal digits only, no sign, nothing else, no overflow.
bool parseDecimal(std::string_view text, long long& out);

} // namespace vantrell
