#include "base/common/LineWriter.h"

namespace vantrell {

namespace {

char fieldChar(char c, bool keepTilde)
{
    if (c == '\r' || c == '\n')
        return ' ';
    if (c == '~' && !keepTilde)
        return '-';
    return c;
}

} // namespace

LineWriter::LineWriter(std::string_view keyword) : m_line(keyword) {}

LineWriter& LineWriter::field(std::string_view text)
{
    return append(text, false);
}

LineWriter& LineWriter::freeText(std::string_view text)
{
    return append(text, true);
}

LineWriter& LineWriter::append(std::string_view text, bool keepTilde)
{
    m_line.reserve(m_line.size() + 1 + text.size());
    m_line.push_back('~');
    for (char c : text)
        m_line.push_back(fieldChar(c, keepTilde));
    return *this;
}

std::string withoutLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(fieldChar(c, true));
    return out;
}

} // namespace vantrell
