#pragma once

#include <string>
#include <string_view>

namespace vantrell {

// Builds a "~" line field by field under the one field rule of our protocols: fields cannot
// be quoted or escaped, so no field may change the line's shape. A "~" inside a field would
// shift every later field (and every later row of a list) and is written as "-"; a line break
// would end the line and is written as a blank. Each replacement keeps the field's length.
//
// The one exception is free text (a chat text), always the last field of its line: its "~" is
// sent as typed and the receiver keeps only the part before it. Its line breaks still become
// blanks.
class LineWriter
{
public:
    explicit LineWriter(std::string_view keyword);

    // Appends "~" and the field.
    LineWriter& field(std::string_view text);
    // Appends "~" and a text whose "~" is sent as it is; nothing may follow it.
    LineWriter& freeText(std::string_view text);

    const std::string& line() const { return m_line; }
    // List lines follow every row field with "~", so they end with one.
    std::string listLine() const { return m_line + "~"; }

private:
    LineWriter& append(std::string_view text, bool keepTilde);

    std::string m_line;
};

// A field of a "," line: its line breaks become blanks. Whether a "," inside it needs quoting
// is up to the line's own layout.
std::string withoutLineBreaks(std::string_view text);

} // namespace vantrell
