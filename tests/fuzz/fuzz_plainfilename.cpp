// The plain-file-name check against the file system itself: a name it lets through, joined to
// a folder, names one new entry directly inside that folder and nothing else, on this system
// and under the rules of Windows (where "\", drives and trailing dots or blanks change the
// meaning of a name).
#include "FuzzCheck.h"
#include "base/common/PlainFileName.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// One scratch folder for the whole run; every accepted name is created and removed in it.
int scratchFolder()
{
    static const int fd = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/plainname.XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        FUZZ_CHECK(made != nullptr);
        const int dir = ::open(made, O_RDONLY | O_DIRECTORY);
        FUZZ_CHECK(dir >= 0);
        return dir;
    }();
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    if (!vantrell::isPlainFileName(name))
        return 0;

    // Windows reading of the name: one component, no drive, nothing it would trim.
    FUZZ_CHECK(name.find_first_of("/\\:") == std::string::npos);
    FUZZ_CHECK(name != "." && name != "..");
    FUZZ_CHECK(name.back() != '.' && name.back() != ' ');
    for (const char c : name)
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);

    // The path the program builds stays one level below the folder, whatever normalising does.
    const std::filesystem::path folder("/usermaps");
    const auto joined = (folder / name).lexically_normal();
    FUZZ_CHECK(joined.parent_path() == folder);
    FUZZ_CHECK(joined.filename() == name);

    // And the system agrees: the name creates exactly one new file in the folder.
    const int dir = scratchFolder();
    const int file = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    FUZZ_CHECK(file >= 0);
    ::close(file);
    FUZZ_CHECK(::unlinkat(dir, name.c_str(), 0) == 0);
    return 0;
}
