#include "core/launch/HostLaunch.h"

#include "base/launch/GameFiles.h"
#include "base/launch/HDukeCommandLine.h"
#include "base/launch/NBloodCommandLine.h"
#include "base/launch/OldMpCommandLine.h"
#include "core/roomhost/RoomHost.h"

namespace vantrell::core {

using namespace std::chrono_literals;
using roomhost::RoomKind;

namespace {

const QString kNotReady =
    QStringLiteral("Cannot launch the game because some players have not clicked ready.");
const QString kLaunching = QStringLiteral("Launching game....");
const QString kMarkerNotRemoved =
    QStringLiteral("Error when trying to remove the file \"kesh.txt\", this file can cause "
                   "problems on launching hDuke.");

launch::GameCommand build(HostLaunch::Branch branch, const launch::HostInputs& in)
{
    switch (branch) {
    case HostLaunch::Branch::HDukeSolo:
        return launch::hDukeHostSolo(in);
    case HostLaunch::Branch::HDukeRoom:
        return launch::hDukeHostRoom(in);
    case HostLaunch::Branch::OldMpSolo:
        return launch::oldMpHostSolo(in);
    case HostLaunch::Branch::OldMpRoom:
        return launch::oldMpHostRoom(in);
    case HostLaunch::Branch::NBloodSolo:
        return launch::nBloodHostSolo(in);
    case HostLaunch::Branch::NBloodRoom:
        return launch::nBloodHostRoom(in);
    }
    return {};
}

} // namespace

HostLaunch::Branch HostLaunch::branchFor(RoomKind kind, std::size_t memberRows)
{
    const bool solo = memberRows <= 1;
    switch (kind) {
    case RoomKind::HDuke:
        return solo ? Branch::HDukeSolo : Branch::HDukeRoom;
    case RoomKind::OldMP:
        return solo ? Branch::OldMpSolo : Branch::OldMpRoom;
    case RoomKind::NBlood:
        return solo ? Branch::NBloodSolo : Branch::NBloodRoom;
    }
    return Branch::HDukeSolo;
}

HostLaunch::HostLaunch(const Timing& timing, QObject* parent) : QObject(parent), m_steps(timing)
{
    connect(&m_process, &GameProcess::exited, this, &HostLaunch::afterGame);
}

HostLaunch::~HostLaunch()
{
    disconnect(m_roomGone);
    disconnect(m_broadcastDone);
    // Closing in the middle of a launch puts the files back; a running game keeps them.
    if (m_busy && !m_process.isRunning())
        tidyFiles();
}

bool HostLaunch::usesRunAndWait() const
{
    return m_branch == Branch::HDukeSolo || m_branch == Branch::NBloodSolo ||
           m_branch == Branch::NBloodRoom;
}

bool HostLaunch::isHDuke() const
{
    return m_branch == Branch::HDukeSolo || m_branch == Branch::HDukeRoom;
}

QString HostLaunch::failureMessage() const
{
    switch (m_branch) {
    case Branch::HDukeSolo:
    case Branch::HDukeRoom:
        return QStringLiteral("Error starting hDuke!");
    case Branch::OldMpSolo:
    case Branch::OldMpRoom:
        return QStringLiteral("Error starting EDuke32-OldMP!");
    case Branch::NBloodSolo:
    case Branch::NBloodRoom:
        return QStringLiteral("Error starting NBlood!");
    }
    return {};
}

void HostLaunch::launch(RoomHost& room, HostLaunchSetup setup)
{
    if (m_busy)
        return;
    m_busy = true;
    m_inGameSet = false;
    m_room = &room;
    m_setup = std::move(setup);
    // The rows at the click decide solo or room and make the command line: a member who
    // comes or goes during the broadcast cannot leave a room game without peers.
    m_members = room.members();
    m_branch = branchFor(m_setup.settings.kind, m_members.size());
    m_folder = GameFolder();
    m_commandText.clear();
    m_roomGone = connect(&room, &QObject::destroyed, this, &HostLaunch::onRoomGone);

    emit roomsListEnabled(false);
    bool ready = true;
    for (const auto& row : m_members) {
        if (row.readyCode == "1") {
            ready = false;
            emit roomLog(kNotReady);
        }
    }
    if (ready) {
        // The members get the settings, the member list and the word to start, a second
        // apart; the host's own game follows.
        m_broadcastDone = connect(&room, &RoomHost::launchBroadcastFinished, this, [this] {
            disconnect(m_broadcastDone);
            runBranch();
        });
        room.launchBroadcast();
        return;
    }
    if (m_branch == Branch::OldMpSolo || m_branch == Branch::NBloodSolo) {
        runBranch();
        return;
    }
    finish();
}

void HostLaunch::runBranch()
{
    RoomHost* room = m_room;
    if (!room) {
        cancel();
        return;
    }
    launch::HostInputs in;
    in.settings = m_setup.settings;
    in.settingsRows = room->settingsList();
    in.members = m_members;
    in.nickname = m_setup.nickname;
    in.recordDemo = m_setup.recordDemo;
    const launch::GameCommand command = build(m_branch, in);

    // Nothing in the game folder is touched for a source port that cannot be started.
    const auto executable = checkExecutable(m_setup.executable);
    if (!executable.ok()) {
        startFailed(usesRunAndWait() ? QString::fromStdString(executable.error())
                                     : failureMessage());
        return;
    }
    m_folder = GameFolder(GameFolder::ofExecutable(m_setup.executable));
    if (!command.usermap.empty())
        m_folder.stageUsermap(m_setup.usermapFolder, command.usermap);
    m_commandText = command.line.text();
    m_start = {m_setup.executable, command.line.arguments(), m_folder.path().string()};

    if (m_branch == Branch::HDukeRoom) {
        const auto written = m_folder.writePeerList(launch::hostPeerList(in.members));
        if (!written.ok()) {
            emit message(QString::fromStdString(written.error()));
            tidyFiles();
            emit launchEnabled(true);
            finish();
            return;
        }
        emit roomLog(kLaunching);
        emit launchEnabled(false);
        room->startSettingsRefresh();
        m_steps.after(2000ms, [this] {
            if (m_folder.removeMarker() == GameFolder::MarkerRemoval::CannotRemove)
                emit message(kMarkerNotRemoved);
            inGameStep();
        });
        return;
    }
    // The EDuke32-OldMP solo game starts quietly and leaves the Launch button alone.
    if (m_branch != Branch::OldMpSolo) {
        emit roomLog(kLaunching);
        emit launchEnabled(false);
    }
    inGameStep();
}

void HostLaunch::inGameStep()
{
    if (!m_room) {
        cancel();
        return;
    }
    m_room->setInGame(true);
    m_inGameSet = true;
    m_room->startSettingsRefresh();
    m_steps.after(2000ms, [this] { startGame(); });
}

void HostLaunch::startGame()
{
    if (usesRunAndWait()) {
        const auto started = m_process.RunAndWait(m_start);
        if (!started.ok()) {
            startFailed(QString::fromStdString(started.error()));
            return;
        }
    } else if (!m_process.ShellRunAndWait(m_start)) {
        startFailed(failureMessage());
        return;
    }
    emit gameStarted();
}

void HostLaunch::afterGame(int /*exitCode*/)
{
    if (RoomHost* room = m_room) {
        room->setInGame(false);
        m_inGameSet = false;
        if (m_branch == Branch::NBloodSolo || m_branch == Branch::NBloodRoom)
            room->startSettingsRefresh();
        if (m_branch == Branch::OldMpSolo || m_branch == Branch::OldMpRoom) {
            room->startSettingsRefresh();
            m_steps.after(2000ms, [this] { afterGameLog(); });
            return;
        }
    }
    afterGameLog();
}

void HostLaunch::afterGameLog()
{
    if (m_room)
        emit roomLog(usesRunAndWait() ? QStringLiteral("Game closed....")
                                      : QStringLiteral("Game has closed..."));
    const auto restored = m_folder.restoreMarker();
    m_folder.removeStagedUsermap();
    if (!restored.ok())
        emit message(QString::fromStdString(restored.error()));
    closingSteps();
}

void HostLaunch::closingSteps()
{
    if (RoomHost* room = m_room) {
        if (m_branch != Branch::OldMpSolo)
            emit launchEnabled(true);
        emit focusRoomWindow();
        if (isHDuke()) {
            room->startSettingsRefresh();
            m_steps.after(2000ms, [this] { finish(); });
            return;
        }
    }
    finish();
}

void HostLaunch::startFailed(const QString& text)
{
    emit message(text);
    // A game that never ran needs neither the marker away nor the usermap.
    tidyFiles();
    if (m_room && m_inGameSet) {
        m_room->setInGame(false);
        m_room->startSettingsRefresh();
    }
    m_inGameSet = false;
    emit launchEnabled(true);
    if (m_room)
        emit focusRoomWindow();
    finish();
}

void HostLaunch::tidyFiles()
{
    const auto restored = m_folder.restoreMarker();
    m_folder.removeStagedUsermap();
    if (!restored.ok())
        emit message(QString::fromStdString(restored.error()));
}

void HostLaunch::cancel()
{
    if (!m_busy || m_process.isRunning())
        return;
    m_steps.stop();
    disconnect(m_broadcastDone);
    tidyFiles();
    if (m_room && m_inGameSet)
        m_room->setInGame(false);
    m_inGameSet = false;
    emit launchEnabled(true);
    finish();
}

void HostLaunch::onRoomGone()
{
    // A game already running goes on; its end skips the room's steps.
    m_room = nullptr;
    if (!m_process.isRunning())
        cancel();
}

void HostLaunch::finish()
{
    m_steps.stop();
    disconnect(m_roomGone);
    disconnect(m_broadcastDone);
    m_room = nullptr;
    m_busy = false;
    emit roomsListEnabled(true);
    emit finished();
}

} // namespace vantrell::core
