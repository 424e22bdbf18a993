// The join decision against rows a main server made up: whatever a room row holds, the only
// paths the join looks at or writes are the configured ones and plain names directly inside
// the game's usermaps folder, and no value adds a line to the lobby log.
#include "FuzzCheck.h"
#include "base/common/PlainFileName.h"
#include "base/lobby/JoinPlan.h"

#include <cstdint>
#include <filesystem>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace {

const std::string kDuke = "/games/duke usermaps";
const std::string kBlood = "/games/blood usermaps";

bool insideUsermaps(const std::string& path)
{
    for (const std::string& folder : {kDuke, kBlood}) {
        if (path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == vantrell::lobby::kPathSeparator) {
            const std::string name = path.substr(folder.size() + 1);
            const auto normal = (std::filesystem::path(folder) / name).lexically_normal();
            return vantrell::isPlainFileName(name) && normal.parent_path() == folder;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrell::lobby;
    FuzzedDataProvider provider(data, size);

    JoinSettings settings;
    settings.readable = provider.ConsumeBool();
    auto& ports = settings.sourcePorts;
    ports.port(vantrell::SourcePort::HDuke) = {provider.ConsumeBool(), "/games/hduke/hduke"};
    ports.port(vantrell::SourcePort::EDuke32OldMP) = {provider.ConsumeBool(),
                                                      "/games/oldmp/eduke32"};
    ports.port(vantrell::SourcePort::NBlood) = {provider.ConsumeBool(), "/games/nblood/nblood"};
    ports.usermapsFolder(vantrell::Game::Duke3d) = kDuke;
    ports.usermapsFolder(vantrell::Game::Blood) = kBlood;
    const bool mapExists = provider.ConsumeBool();

    JoinDisk disk;
    disk.isFolder = [](const std::string& path) {
        FUZZ_CHECK(path == kDuke || path == kBlood);
        return true;
    };
    disk.isFile = [&](const std::string& path) {
        bool executable = false;
        for (const auto& port : ports.ports)
            executable = executable || (!port.path.empty() && path == port.path);
        FUZZ_CHECK(executable || insideUsermaps(path));
        return executable || mapExists;
    };

    JoinRow row;
    row.ip = provider.ConsumeRandomLengthString(64);
    row.roomPort = provider.ConsumeRandomLengthString(16);
    const char* games[] = {"Duke Nukem 3D", "Blood Game", ""};
    row.game = provider.ConsumeBool() ? games[provider.ConsumeIntegralInRange(0, 2)]
                                      : provider.ConsumeRandomLengthString(32);
    const char* portNames[] = {"hDuke", "EDuke32-OldMP", "NBlood"};
    row.sourcePort = provider.ConsumeBool() ? portNames[provider.ConsumeIntegralInRange(0, 2)]
                                            : provider.ConsumeRandomLengthString(32);
    row.map = provider.ConsumeRemainingBytesAsString();

    const JoinPlan plan = planJoin(row, settings, disk, "maps.example");
    FUZZ_CHECK(plan.address.ip == row.ip && plan.address.port == row.roomPort);
    for (const auto& line : plan.logLines)
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    if (!settings.readable)
        FUZZ_CHECK(!plan.download);
    if (plan.download && !plan.download->refused) {
        FUZZ_CHECK(insideUsermaps(plan.download->target));
        FUZZ_CHECK(plan.download->target.ends_with(row.map));
        FUZZ_CHECK(plan.download->path.find("/../") == std::string::npos);
    }
    return 0;
}
