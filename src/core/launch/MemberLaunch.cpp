#include "core/launch/MemberLaunch.h"

#include "base/launch/GameFiles.h"
#include "base/launch/HDukeCommandLine.h"
#include "base/launch/NBloodCommandLine.h"
#include "base/launch/OldMpCommandLine.h"

namespace vantrell::core {

using namespace std::chrono_literals;

namespace {
const QString kMarkerNotRemoved =
    QStringLiteral("Error when trying to remove the file \"kesh.txt\", this file can cause "
                   "problems on launching hDuke.");
}

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
    switch (m_port) {
    case SourcePort::HDuke:
        return QStringLiteral("Error starting hDuke!");
    case SourcePort::OldMp:
        return QStringLiteral("Error starting EDuke32-OldMP!");
    case SourcePort::NBlood:
        return QStringLiteral("Error starting NBlood!");
    }
    return {};
}

void MemberLaunch::ClientLaunchhDukeGame(MemberLaunchSetup setup)
{
    if (m_busy)
        return;
    // The host's row and this member's: anything less is a room not yet known.
    if (setup.inputs.members.size() < 2)
        return;
    const std::string sourcePort = setup.inputs.value(roomhost::kSourcePortRow);
    std::string executable;
    std::string usermaps;
    if (sourcePort == "hDuke") {
        m_port = SourcePort::HDuke;
        executable = setup.hDukePath;
        usermaps = setup.duke3dUsermaps;
    } else if (sourcePort == "EDuke32-OldMP") {
        m_port = SourcePort::OldMp;
        executable = setup.oldMpPath;
        usermaps = setup.duke3dUsermaps;
    } else if (sourcePort == "NBlood") {
        m_port = SourcePort::NBlood;
        executable = setup.nBloodPath;
        usermaps = setup.bloodUsermaps;
    } else {
        return;
    }

    m_busy = true;
    m_roomGone = false;
    m_folder = GameFolder();
    m_commandText.clear();
    emit roomsListEnabled(false);

    launch::MemberInputs& in = setup.inputs;
    in.members = launch::withHostAddress(std::move(in.members), in.roomAddress);
    launch::GameCommand command;
    switch (m_port) {
    case SourcePort::HDuke:
        command = launch::hDukeMember(in);
        break;
    case SourcePort::OldMp:
        command = launch::oldMpMember(in);
        break;
    case SourcePort::NBlood:
        command = launch::nBloodMember(in);
        break;
    }

    // Nothing in the game folder is touched for a source port that cannot be started.
    // Whatever stops the launch, the host must stop counting this member as ready.
    if (!checkExecutable(executable).ok()) {
        emit SendToServerClientNotReady();
        emit message(failureMessage());
        finish();
        return;
    }
    m_folder = GameFolder(GameFolder::ofExecutable(executable));
    m_commandText = command.line.text();
    m_start = {executable, command.line.arguments(), m_folder.path().string()};

    if (m_port == SourcePort::HDuke) {
        emit roomLog(QStringLiteral("Launching game...."));
        const auto written =
            m_folder.writePeerList(launch::memberPeerList(in.members, setup.ownRemotePort));
        if (!written.ok()) {
            emit SendToServerClientNotReady();
            emit roomLog(QString::fromStdString(written.error()));
            finish();
            return;
        }
    }
    if (!command.usermap.empty())
        m_folder.stageUsermap(usermaps, command.usermap);
    if (m_port == SourcePort::HDuke &&
        m_folder.removeMarker() == GameFolder::MarkerRemoval::CannotRemove)
        emit message(kMarkerNotRemoved);
    emit SendToServerClientNotReady();

    if (m_port == SourcePort::NBlood) {
        emit roomLog(QStringLiteral("Launching game..."));
        m_steps.after(5000ms, [this] { startGame(); });
        return;
    }
    startGame();
}

void MemberLaunch::startGame()
{
    setGameRunning(true);
    if (!m_process.ShellRunAndWait(m_start)) {
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
    const auto restored = m_folder.restoreMarker();
    m_folder.removeStagedUsermap();
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
