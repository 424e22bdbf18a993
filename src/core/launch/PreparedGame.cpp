#include "core/launch/PreparedGame.h"

namespace vantrell::core {

Result<void> PreparedGame::prepare(const std::string& executable,
                                   const launch::GameCommand& command, const WineSetup& wine)
{
    *this = PreparedGame();
    m_windowsProgram = core::isWindowsProgram(executable);
    if (!m_windowsProgram) {
        Result<void> checked = checkExecutable(executable);
        if (!checked.ok())
            return checked;
    }
    GameFolder folder(GameFolder::ofExecutable(executable));
    GameStart start{executable, command.line.arguments(), folder.path().string(), {}};
    if (m_windowsProgram) {
        Result<GameStart> wineStart = throughWine(start, wine);
        if (!wineStart)
            return Error{wineStart.error()};
        start = std::move(wineStart).value();
    }
    m_folder = std::move(folder);
    m_start = std::move(start);
    m_commandText = command.line.text();
    m_usermap = command.usermap;
    m_prepared = true;
    return {};
}

void PreparedGame::stageUsermap(const std::string& usermapFolder)
{
    if (m_prepared && !m_usermap.empty())
        m_folder.stageUsermap(usermapFolder, m_usermap);
}

Result<void> PreparedGame::writePeerList(std::string_view contents) const
{
    if (!m_prepared)
        return Error{"No game folder"};
    return m_folder.writePeerList(contents);
}

bool PreparedGame::removeMarker()
{
    // Unprepared, there is no game folder: never the program's working folder instead.
    if (!m_prepared)
        return true;
    return m_folder.removeMarker() != GameFolder::MarkerRemoval::CannotRemove;
}

Result<void> PreparedGame::tidy()
{
    Result<void> restored = m_folder.restoreMarker();
    m_folder.removeStagedUsermap();
    return restored;
}

} // namespace vantrell::core
