#include "core/transfer/UsermapFolders.h"

#include "base/settings/ConfigFile.h"
#include "core/common/Environment.h"

namespace vantrell::core {

UsermapFolderSource configUsermapFolders(const Environment& env)
{
    return [folder = env.configFolder()](const std::string& folderKey) {
        return settings::ConfigFile(folder).readString("Usermaps Directorys", folderKey, "");
    };
}

} // namespace vantrell::core
