#include "base/roomhost/UsermapListing.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace vantrell::roomhost {

namespace {
std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool hasMapExtension(const std::string& name)
{
    constexpr std::string_view ext = ".map";
    // A file called just ".map" has no name in front of its extension.
    return name.size() > ext.size() && lower(name.substr(name.size() - ext.size())) == ext;
}
} // namespace

std::vector<std::string> listUsermaps(const std::filesystem::path& folder)
{
    std::vector<std::string> maps;
    if (folder.empty())
        return maps;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code typeEc;
        // Follows links, so a link to a map file counts as the file it names.
        if (!it->is_regular_file(typeEc) || typeEc)
            continue;
        std::string name = it->path().filename().string();
        if (hasMapExtension(name))
            maps.push_back(std::move(name));
    }
    std::sort(maps.begin(), maps.end(), [](const std::string& a, const std::string& b) {
        const auto la = lower(a);
        const auto lb = lower(b);
        return la != lb ? la < lb : a < b;
    });
    return maps;
}

} // namespace vantrell::roomhost
