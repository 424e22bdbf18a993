#include "core/launch/GameFolder.h"

#include "base/common/AtomicFile.h"
#include "base/common/PlainFileName.h"
#include "base/launch/GameFiles.h"

namespace vantrell::core {

namespace fs = std::filesystem;

fs::path GameFolder::ofExecutable(const std::string& executable)
{
    std::error_code ec;
    const fs::path full = fs::absolute(executable, ec);
    return (ec ? fs::path(executable) : full).parent_path();
}

Result<void> GameFolder::writePeerList(std::string_view contents) const
{
    return replaceFileAtomically(m_folder / launch::kPeerListName, contents);
}

GameFolder::MarkerRemoval GameFolder::removeMarker()
{
    const fs::path marker = m_folder / launch::kMarkerName;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(marker, ec)))
        return MarkerRemoval::Absent;
    if (!fs::remove(marker, ec) || ec)
        return MarkerRemoval::CannotRemove;
    m_markerRemoved = true;
    return MarkerRemoval::Removed;
}

Result<void> GameFolder::restoreMarker()
{
    if (!m_markerRemoved)
        return {};
    m_markerRemoved = false;
    return replaceFileAtomically(m_folder / launch::kMarkerName, launch::markerContents());
}

void GameFolder::stageUsermap(const fs::path& usermapFolder, const std::string& name)
{
    if (!isPlainFileName(name))
        return;
    const fs::path target = m_folder / name;
    std::error_code ec;
    const bool existed = fs::exists(fs::symlink_status(target, ec));
    fs::copy_file(usermapFolder / name, target, fs::copy_options::overwrite_existing, ec);
    if (!ec && !existed)
        m_staged = target;
}

void GameFolder::removeStagedUsermap()
{
    if (m_staged.empty())
        return;
    std::error_code ec;
    fs::remove(m_staged, ec);
    m_staged.clear();
}

} // namespace vantrell::core
