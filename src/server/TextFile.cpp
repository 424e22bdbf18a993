#include "server/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vantrell::server {

Result<std::string> readTextFile(const std::string& path, std::size_t maxBytes)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file)
        return Error{path + ": cannot read: " + std::strerror(errno)};
    std::string text;
    char chunk[8192];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (text.size() + n > maxBytes)
            return Error{path + ": larger than " + std::to_string(maxBytes) + " bytes"};
        text.append(chunk, n);
    }
    if (std::ferror(file.get()))
        return Error{path + ": cannot read: " + std::strerror(errno)};
    return text;
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace vantrell::server
