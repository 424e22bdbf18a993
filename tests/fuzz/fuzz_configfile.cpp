// vantrel.cfg holding any bytes at all: reading never fails, and writing a key keeps every
// other line of the player's file and reads back as the value written, with blanks trimmed
// and cut to the longest value the file keeps.
#include "FuzzCheck.h"
#include "base/settings/ConfigFile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <map>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vantrell::settings::ConfigFile;

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Names the program really uses, and pieces the fuzzer's own names are made from.
const char* const kSections[] = {"Configured Ports", "GamePath", "Window Size", "UPnP"};
const char* const kKeys[] = {"TCPPort", "UDPPort", "Main height", "Main width", "UPnP Checkbox"};

fs::path g_folder;

void removeFolder()
{
    std::error_code ec;
    fs::remove_all(g_folder, ec);
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return std::string(text.substr(first, last - first + 1));
}

std::string cutToCharacters(std::string_view text, std::size_t limit)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (characters == limit)
            return std::string(text.substr(0, i));
        ++characters;
    }
    return std::string(text);
}

// A section or key name as the program writes them: letters, digits and inner blanks.
std::string name(FuzzedDataProvider& provider, const char* const* known, std::size_t knownCount)
{
    if (provider.ConsumeBool())
        return known[provider.ConsumeIntegralInRange<std::size_t>(0, knownCount - 1)];
    std::string out;
    for (char c : provider.ConsumeRandomLengthString(24)) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter || (c >= '0' && c <= '9') || c == ' ' || c == '_')
            out.push_back(c);
    }
    out = trimmed(out);
    return out.empty() ? std::string(known[0]) : out;
}

std::string randomCase(FuzzedDataProvider& provider, std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z' && provider.ConsumeBool())
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// The lines of a file as the component sees them: a leading BOM is not part of the first
// line, lines end at LF, and one CR before the LF belongs to the line end.
std::vector<std::string> linesOf(std::string_view contents)
{
    if (contents.substr(0, kBom.size()) == kBom)
        contents.remove_prefix(kBom.size());
    std::vector<std::string> lines;
    while (!contents.empty()) {
        const auto lf = contents.find('\n');
        std::string_view line = contents.substr(0, lf);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        if (lf == std::string_view::npos)
            break;
        contents.remove_prefix(lf + 1);
    }
    return lines;
}

bool isEntryOf(std::string_view line, std::string_view key)
{
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    const std::string name = trimmed(line.substr(0, eq));
    if (name.size() != key.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) !=
            std::tolower(static_cast<unsigned char>(key[i])))
            return false;
    }
    return true;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string pattern = (fs::temp_directory_path() / "vantrell-fuzz-cfg-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    g_folder = pattern;
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string section = name(provider, kSections, std::size(kSections));
    const std::string key = name(provider, kKeys, std::size(kKeys));
    // A short piece repeated reaches values longer than the file keeps without long inputs.
    const std::string piece = provider.ConsumeRandomLengthString(64);
    std::string value;
    for (auto times = provider.ConsumeIntegralInRange<int>(1, 80); times > 0; --times)
        value += piece;
    const std::string contents = provider.ConsumeRemainingBytesAsString();

    {
        std::ofstream out(g_folder / ConfigFile::kFileName, std::ios::binary | std::ios::trunc);
        out << contents;
    }
    ConfigFile file(g_folder);
    const std::string before = file.readString(section, key, "default");
    FUZZ_CHECK(before.find('\n') == std::string::npos);
    file.readBool(section, key, false);
    file.restoreSize(section);

    FUZZ_CHECK(file.writeString(randomCase(provider, section), randomCase(provider, key), value));

    std::string oneLine = value;
    for (char& c : oneLine) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    const std::string expected = cutToCharacters(trimmed(oneLine), ConfigFile::kMaxValueLength);
    FUZZ_CHECK(file.readString(section, key, "default") == expected);

    // Every line of the old file is still there, save at most one entry of the key (the
    // one replaced).
    std::map<std::string, long> count;
    for (const auto& line : linesOf(readFile(file.path())))
        ++count[line];
    bool replacedOne = false;
    for (const auto& line : linesOf(contents)) {
        if (trimmed(line).empty())
            continue;
        if (count[line]-- > 0)
            continue;
        FUZZ_CHECK(!replacedOne && isEntryOf(line, key));
        replacedOne = true;
    }
    return 0;
}
