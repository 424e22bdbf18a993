#include "base/common/Fields.h"

#include <charconv>

namespace vantrell {

std::vector<std::string> splitTilde(std::string_view line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const auto tilde = line.find('~', start);
        if (tilde == std::string_view::npos) {
            fields.emplace_back(line.substr(start));
            return fields;
        }
        fields.emplace_back(line.substr(start, tilde - start));
        start = tilde + 1;
    }
}

std::string joinTilde(const std::vector<std::string>& fields)
{
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out.push_back('~');
        out += fields[i];
    }
    return out;
}

std::vector<std::string> splitComma(std::string_view line)
{
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (true) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i; // the closing quote
                    break;
                }
                field.push_back(line[i++]);
            }
        }
        while (i < line.size() && line[i] != ',')
            field.push_back(line[i++]);
        fields.push_back(std::move(field));
        if (i >= line.size())
            return fields;
        ++i; // the ","
    }
}

std::string quoteCommaField(std::string_view field)
{
    const bool needsQuotes = field.find_first_of(",\"") != std::string_view::npos;
    if (!needsQuotes)
        return std::string(field);
    std::string out = "\"";
    for (char c : field) {
        if (c == '"')
            out += "\"\"";
        else
            out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool parseDecimal(std::string_view text, long long& out)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace vantrell
