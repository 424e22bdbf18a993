#include "core/launch/MemberLaunch.h"

#include "base/launch/GameFiles.h"
#include "base/launch/PortCommandLines.h"
#include "core/common/QtStrings.h"

namespace vantrell::core {

using namespace std::chrono_literals;

MemberLaunch::MemberLaunch(const Timing& timing, QObject* parent) : QObject(parent), m_steps(timing)
{
    connect(&m_process, &GameProcess::exited, this, &MemberLaunch::afterGame);
}

MemberLaunch::~MemberLaunch()
{
    if (m_busy && !m_process.isRunning())
        tidyFiles(false);
}

QString MemberLaunch::failureMessage() const
{
    return qs(sourcePortRow(m_port).startError);
}

void MemberLaunch::ClientLaunchhDukeGame(MemberLaunchSetup setup)
{
    if (m_busy)
        return;
    // The host's row and this member's: anything less is a room not yet known.
    if (setup.inputs.members.size() < 2)
        return;
    const std::optional<SourcePort> port =
        roomPortNamed(setup.inputs.value(roomhost::kSourcePortRow));
    const launch::PortCommandLines* lines = port ? launch::commandLinesFor(*port) : nullptr;
    if (!lines)
        return;
    m_port = *port;
    const SourcePortRow& row = sourcePortRow(m_port);
    const std::string& executable = setup.sourcePorts.port(m_port).path;

    m_busy = true;
    m_roomGone = false;
    m_game = PreparedGame();
    emit roomsListEnabled(false);

    launch::MemberInputs& in = setup.inputs;
    in.members = launch::withHostAddress(std::move(in.members), in.roomAddress);
    const launch::GameCommand command = lines->member(in);

    // Nothing in the game folder is touched for a source port that cannot be started.
    // Whatever stops the launch, the host must stop counting this member as ready.
    const auto prepared = m_game.prepare(executable, command, setup.wine);
    if (!prepared.ok()) {
        emit SendToServerClientNotReady();
        // What a Windows program lacks (Wine, its prefix) says more than the port's own box.
        emit message(m_game.isWindowsProgram() ? QString::fromStdString(prepared.error())
                                               : failureMessage());
        finish();
        return;
    }

    if (row.peerList) {
        emit roomLog(QStringLiteral("Launching game...."));
        const auto written =
            m_game.writePeerList(launch::memberPeerList(in.members, setup.ownRemotePort));
        if (!written.ok()) {
            emit SendToServerClientNotReady();
            emit roomLog(QString::fromStdString(written.error()));
            finish();
            return;
        }
    }
    m_game.stageUsermap(setup.sourcePorts.usermapsFolder(row.game));
    if (row.peerList && !m_game.removeMarker())
        emit message(qs(row.markerNotRemoved));
    emit SendToServerClientNotReady();

    if (row.memberWaitMs > 0) {
        emit roomLog(QStringLiteral("Launching game..."));
        m_steps.after(std::chrono::milliseconds(row.memberWaitMs), [this] { startGame(); });
        return;
    }
    startGame();
}

void MemberLaunch::startGame()
{
    setGameRunning(true);
    if (!m_process.ShellRunAndWait(m_game.start())) {
        emit message(failureMessage());
        tidyFiles(true);
        finish();
        return;
    }
    emit gameStarted();
}

void MemberLaunch::afterGame(int /*exitCode*/)
{
    if (!m_roomGone)
        emit roomLog(QStringLiteral("Game has closed..."));
    setGameRunning(false);
    tidyFiles(true);
    finish();
}

void MemberLaunch::tidyFiles(bool report)
{
    const auto restored = m_game.tidy();
    if (!restored.ok() && report && !m_roomGone)
        emit roomLog(QString::fromStdString(restored.error()));
}

void MemberLaunch::roomClosed()
{
    if (!m_busy)
        return;
    m_roomGone = true;
    if (m_process.isRunning())
        return;
    // Still waiting to start: the game is not started at all.
    m_steps.stop();
    tidyFiles(false);
    finish();
}

void MemberLaunch::setGameRunning(bool running)
{
    if (m_gameRunning == running)
        return;
    m_gameRunning = running;
    emit gameRunningChanged(running);
}

void MemberLaunch::finish()
{
    m_steps.stop();
    setGameRunning(false);
    if (!m_roomGone)
        emit focusRoomWindow();
    m_busy = false;
    emit roomsListEnabled(true);
    emit finished();
}

} // namespace vantrell::core
