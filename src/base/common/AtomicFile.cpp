#include "base/common/AtomicFile.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>

#ifdef _WIN32
#include <iterator>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantrell {

namespace fs = std::filesystem;

std::string unableToWriteMessage(const fs::path& path)
{
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec)
        full = path;
    return "Unable to write to " + full.lexically_normal().string();
}

namespace {

#ifndef _WIN32

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Makes the rename itself durable; a failure here loses nothing, so it is not reported.
void syncFolder(const fs::path& folder)
{
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

#endif

} // namespace

// A name no other writer (this process or another) is using at the same time.
fs::path temporaryPathBeside(const fs::path& path)
{
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%016llx%04x.tmp",
                  static_cast<unsigned long long>(random()), counter.fetch_add(1) & 0xffffu);
    fs::path temp = path;
    temp.replace_filename("." + path.filename().string() + suffix);
    return temp;
}

std::optional<std::string> readWholeFile(const fs::path& path, bool* missing)
{
    if (missing)
        *missing = false;
#ifdef _WIN32
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (missing && !ec)
            *missing = true;
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return data;
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (missing && errno == ENOENT)
            *missing = true;
        return std::nullopt;
    }
    std::string data;
    char buffer[16384];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
#endif
}

Result<void> replaceFileAtomically(const fs::path& path, std::string_view contents)
{
    const Error failure{unableToWriteMessage(path)};
    const fs::path temp = temporaryPathBeside(path);
#ifdef _WIN32
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return failure;
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(temp, ignored);
            return failure;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        return failure;
    }
    return {};
#else
    // Keep the permissions the player gave the old file.
    mode_t mode = 0666;
    struct stat old
    {
    };
    const bool hadFile = ::stat(path.c_str(), &old) == 0;
    if (hadFile)
        mode = old.st_mode & 07777;

    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return failure;
    bool ok = writeAll(fd, contents);
    if (ok && hadFile)
        ::fchmod(fd, mode); // the umask may have narrowed it; best effort
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return failure;
    }
    syncFolder(path.parent_path());
    return {};
#endif
}

} // namespace vantrell
