#pragma once

#include "base/common/Result.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace vantrell::core {

// The files one game needs in its source port's folder, and tidying them up after it:
// the peer list, the marker file taken away for the game and put back after it, and a
// usermap copied in for the game and removed after it when it was not there before. Every
// file is named by its full path in the game folder, never relative to the program's
// working folder.
class GameFolder
{
public:
    GameFolder() = default;
    explicit GameFolder(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    // The folder of a source port's executable.
    static std::filesystem::path ofExecutable(const std::string& executable);

    const std::filesystem::path& path() const { return m_folder; }

    // Replaces "netlist.txt"; fails with the file system's text.
    Result<void> writePeerList(std::string_view contents) const;

    enum class MarkerRemoval
    {
        Absent,
        Removed,
        CannotRemove,
    };
    // Takes "kesh.txt" away for the game and remembers it when it was there.
    MarkerRemoval removeMarker();
    // Writes the marker back with its one line, when it was taken away. Forgets it either
    // way, so it is written once.
    Result<void> restoreMarker();
    bool markerRemoved() const { return m_markerRemoved; }

    // Copies a usermap from the usermap folder over any file of that name in the game
    // folder. It counts as staged (removed again later) only when no such file was there
    // before and the copy worked. A name that is not a plain file name is left alone. A
    // failed copy is not reported: the game starts all the same.
    void stageUsermap(const std::filesystem::path& usermapFolder, const std::string& name);
    // Removes the staged usermap, if any; failures are not reported.
    void removeStagedUsermap();
    // The staged usermap's full path, empty when none.
    const std::filesystem::path& stagedUsermap() const { return m_staged; }

private:
    std::filesystem::path m_folder;
    bool m_markerRemoved = false;
    std::filesystem::path m_staged;
};

} // namespace vantrell::core
