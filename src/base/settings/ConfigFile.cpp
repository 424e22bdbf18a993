#include "base/settings/ConfigFile.h"

#include "base/common/AtomicFile.h"

#include <charconv>
#include <limits>
#include <mutex>

namespace vantrell::settings {

namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Read-modify-write of the file must not interleave within the program, or one write would
// drop the other's keys. Readers need no lock: the file is only ever replaced whole.
std::mutex g_writeMutex;

std::string_view trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

// The first `limit` characters of UTF-8 text; a character's continuation bytes stay with it.
std::string_view cutToCharacters(std::string_view text, std::size_t limit)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80)
            continue;
        if (characters == limit)
            return text.substr(0, i);
        ++characters;
    }
    return text;
}

// Decimal, or hexadecimal after "0x" or "$", with an optional sign.
std::optional<long long> parseInteger(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    unsigned long long magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    constexpr auto kMax = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    if (magnitude > kMax + (negative ? 1 : 0))
        return std::nullopt;
    if (negative)
        return magnitude == kMax + 1 ? std::numeric_limits<long long>::min()
                                     : -static_cast<long long>(magnitude);
    return static_cast<long long>(magnitude);
}

std::optional<int> parseInt(std::string_view text)
{
    const auto value = parseInteger(text);
    if (!value || *value < std::numeric_limits<int>::min() ||
        *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*value);
}

// A value is one line of the file; a line break inside it would end the entry early and
// turn the rest into a line of its own, so each one is stored as a blank.
std::string oneLine(std::string_view value)
{
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

// The file as lines, kept exactly as they are apart from their line ends.
class Document
{
public:
    explicit Document(std::string_view contents)
    {
        if (contents.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
            m_bom = true;
            contents.remove_prefix(kUtf8Bom.size());
        }
        while (!contents.empty()) {
            const auto lf = contents.find('\n');
            std::string_view line = contents.substr(0, lf);
            if (lf != std::string_view::npos && !line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            m_lines.emplace_back(line);
            if (lf == std::string_view::npos)
                break;
            contents.remove_prefix(lf + 1);
        }
    }

    std::string text() const
    {
        std::string out;
        if (m_bom)
            out += kUtf8Bom;
        for (const auto& line : m_lines) {
            out += line;
            out += "\r\n";
        }
        return out;
    }

    // The value of the first entry of the key in the section.
    std::optional<std::string_view> value(std::string_view section, std::string_view key) const
    {
        const auto index = findKey(section, key);
        if (!index)
            return std::nullopt;
        const std::string_view line = m_lines[*index];
        return trimBlanks(line.substr(line.find('=') + 1));
    }

    void set(std::string_view section, std::string_view key, std::string_view value)
    {
        std::string line = std::string(key) + "=" + oneLine(value);
        if (const auto index = findKey(section, key)) {
            m_lines[*index] = std::move(line);
            return;
        }
        if (const auto end = sectionEnd(section)) {
            m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(*end), std::move(line));
            return;
        }
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(std::move(line));
    }

private:
    static std::optional<std::string_view> headerName(std::string_view line)
    {
        line = trimBlanks(line);
        if (line.empty() || line.front() != '[')
            return std::nullopt;
        const auto close = line.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        return trimBlanks(line.substr(1, close - 1));
    }

    static std::optional<std::string_view> keyName(std::string_view line)
    {
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        const auto key = trimBlanks(line.substr(0, eq));
        if (key.empty())
            return std::nullopt;
        return key;
    }

    // Visits the lines of every section with that name (a section may appear twice).
    template <typename Visit>
    void forEachLineIn(std::string_view section, Visit visit) const
    {
        bool inside = false;
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            if (const auto name = headerName(m_lines[i])) {
                inside = sameName(*name, section);
                if (inside && !visit(i, true))
                    return;
                continue;
            }
            if (inside && !visit(i, false))
                return;
        }
    }

    std::optional<std::size_t> findKey(std::string_view section, std::string_view key) const
    {
        std::optional<std::size_t> found;
        forEachLineIn(section, [&](std::size_t i, bool header) {
            if (header)
                return true;
            const auto name = keyName(m_lines[i]);
            if (name && sameName(*name, key)) {
                found = i;
                return false;
            }
            return true;
        });
        return found;
    }

    // Where a new entry of the first section with that name goes: after its last line that
    // is not blank, so blank lines that set the next section apart stay in front of it.
    std::optional<std::size_t> sectionEnd(std::string_view section) const
    {
        std::optional<std::size_t> insertAt;
        bool seenHeader = false;
        forEachLineIn(section, [&](std::size_t i, bool header) {
            if (header) {
                if (seenHeader)
                    return false;
                seenHeader = true;
                insertAt = i + 1;
                return true;
            }
            if (!trimBlanks(m_lines[i]).empty())
                insertAt = i + 1;
            return true;
        });
        return insertAt;
    }

    bool m_bom = false;
    std::vector<std::string> m_lines;
};

} // namespace

ConfigFile::ConfigFile(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::filesystem::path ConfigFile::path() const
{
    return m_folder / kFileName;
}

bool ConfigFile::exists() const
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path(), ec);
}

ConfigFile::Status ConfigFile::status() const
{
    bool missing = false;
    if (readWholeFile(path(), &missing))
        return Status::Readable;
    return missing ? Status::Missing : Status::Unreadable;
}

std::string ConfigFile::readString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const
{
    const auto contents = readWholeFile(path());
    if (!contents)
        return std::string(defaultValue);
    const Document document(*contents);
    const auto value = document.value(section, key);
    if (!value)
        return std::string(defaultValue);
    return std::string(cutToCharacters(*value, kMaxValueLength));
}

bool ConfigFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    const auto contents = readWholeFile(path());
    if (!contents)
        return defaultValue;
    const Document document(*contents);
    const auto value = document.value(section, key);
    if (!value)
        return defaultValue;
    const auto number = parseInteger(cutToCharacters(*value, kMaxValueLength));
    return number ? *number != 0 : defaultValue;
}

Result<void> ConfigFile::writeString(std::string_view section, std::string_view key,
                                     std::string_view value)
{
    return writeStrings(section, {{std::string(key), std::string(value)}});
}

Result<void> ConfigFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    return writeString(section, key, value ? "1" : "0");
}

Result<void>
ConfigFile::writeStrings(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& entries)
{
    if (entries.empty())
        return {};
    std::lock_guard lock(g_writeMutex);
    const auto target = path();
    bool missing = false;
    const auto contents = readWholeFile(target, &missing);
    // A file that is there but cannot be read must not be replaced by one holding only the
    // new keys: that would lose every other setting.
    if (!contents && !missing)
        return Error{unableToWriteMessage(target)};
    Document document(contents ? *contents : std::string());
    for (const auto& [key, value] : entries)
        document.set(section, key, value);
    std::string text = document.text();
    // A file that already says this stays as it is: no write, no sync (every start saves
    // the networking group back, almost always unchanged).
    if (contents && *contents == text)
        return {};
    return replaceFileAtomically(target, text);
}

Result<void> ConfigFile::saveSize(std::string_view section, int height, int width)
{
    return writeStrings(
        section, {{"Main height", std::to_string(height)}, {"Main width", std::to_string(width)}});
}

ConfigFile::SavedSize ConfigFile::restoreSize(std::string_view section) const
{
    SavedSize size;
    const auto contents = readWholeFile(path());
    if (!contents)
        return size;
    const Document document(*contents);
    const auto text = [&](std::string_view key) {
        return cutToCharacters(document.value(section, key).value_or(""), kMaxValueLength);
    };
    size.height = parseInt(text("Main height"));
    if (size.height)
        size.width = parseInt(text("Main width"));
    return size;
}

} // namespace vantrell::settings
