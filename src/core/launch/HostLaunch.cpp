#include "core/launch/HostLaunch.h"

#include "base/launch/GameFiles.h"
#include "base/launch/PortCommandLines.h"
#include "core/common/QtStrings.h"
#include "core/roomhost/RoomHost.h"

namespace vantrell::core {

using namespace std::chrono_literals;

namespace {

const QString kNotReady =
    QStringLiteral("Cannot launch the game because some players have not clicked ready.");
const QString kLaunching = QStringLiteral("Launching game....");
} // namespace

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

const SourcePortRow& HostLaunch::port() const
{
    return sourcePortRow(m_setup.settings.kind);
}

bool HostLaunch::usesRunAndWait() const
{
    return (m_solo ? port().soloStart : port().roomStart) == StartStyle::RunAndWait;
}

bool HostLaunch::isQuiet() const
{
    return m_solo && port().quietSolo;
}

QString HostLaunch::failureMessage() const
{
    return qs(port().startError);
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
    m_solo = m_members.size() <= 1;
    m_game = PreparedGame();
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
    if (m_solo && port().soloWithoutReady) {
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
    const launch::PortCommandLines* lines = launch::commandLinesFor(m_setup.settings.kind);
    if (!lines) {
        cancel();
        return;
    }
    const launch::GameCommand command = m_solo ? lines->hostSolo(in) : lines->hostRoom(in);

    const auto prepared = m_game.prepare(m_setup.executable, command, m_setup.wine);
    if (!prepared.ok()) {
        // What a Windows program lacks (Wine, its prefix) says more than the port's own box.
        const bool ownText = usesRunAndWait() || m_game.isWindowsProgram();
        startFailed(ownText ? QString::fromStdString(prepared.error()) : failureMessage());
        return;
    }
    m_game.stageUsermap(m_setup.usermapFolder);

    if (!m_solo && port().peerList) {
        const auto written = m_game.writePeerList(launch::hostPeerList(in.members));
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
            if (!m_game.removeMarker())
                emit message(qs(port().markerNotRemoved));
            inGameStep();
        });
        return;
    }
    // A quiet solo game leaves the log and the Launch button alone.
    if (!isQuiet()) {
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
        const auto started = m_process.RunAndWait(m_game.start());
        if (!started.ok()) {
            startFailed(QString::fromStdString(started.error()));
            return;
        }
    } else if (!m_process.ShellRunAndWait(m_game.start())) {
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
        if (port().refreshAfterGame) {
            room->startSettingsRefresh();
            if (port().waitAfterGameMs > 0) {
                m_steps.after(std::chrono::milliseconds(port().waitAfterGameMs),
                              [this] { afterGameLog(); });
                return;
            }
        }
    }
    afterGameLog();
}

void HostLaunch::afterGameLog()
{
    if (m_room)
        emit roomLog(usesRunAndWait() ? QStringLiteral("Game closed....")
                                      : QStringLiteral("Game has closed..."));
    const auto restored = m_game.tidy();
    if (!restored.ok())
        emit message(QString::fromStdString(restored.error()));
    closingSteps();
}

void HostLaunch::closingSteps()
{
    if (RoomHost* room = m_room) {
        if (!isQuiet())
            emit launchEnabled(true);
        emit focusRoomWindow();
        if (port().refreshWhenClosing) {
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
    const auto restored = m_game.tidy();
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
