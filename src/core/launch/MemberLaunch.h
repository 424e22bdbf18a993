#pragma once

#include "base/common/SourcePorts.h"
#include "base/launch/LaunchInputs.h"
#include "base/settings/SourcePortSettings.h"
#include "core/launch/GameProcess.h"
#include "core/launch/PreparedGame.h"
#include "core/launch/TimedSteps.h"
#include "core/launch/WineStart.h"

#include <string>

#include <QObject>
#include <QString>

namespace vantrell::core {

class Timing;

// What a member's launch reads when "TimeToLaunchGame" arrives.
struct MemberLaunchSetup
{
    // The lists as the host last sent them, the room address, the in-game nickname and the
    // room window's team, "Record Demo" and "Be a Spectator".
    launch::MemberInputs inputs;
    // The member's own remote port, as "YourRemotePortIs" last said.
    std::string ownRemotePort;
    // The configured source ports and usermap folders.
    settings::SourcePortSettings sourcePorts;
    // How a Windows build of the port is started.
    WineSetup wine;
};

// A member's launch (ClientLaunchhDukeGame): on the host's word, build the command line of
// the room's source port, write the game files, withdraw the ready state, start the game
// and wait for its end. A port whose row says so waits first, so the host's game is up.
// Every wait is a timed step on the event loop.
class MemberLaunch : public QObject
{
    Q_OBJECT

public:
    // timing must outlive this object.
    explicit MemberLaunch(const Timing& timing, QObject* parent = nullptr);
    ~MemberLaunch() override;

    // "TimeToLaunchGame". Ignored while a launch or its game is under way, and when the
    // member list does not hold the host and this member yet.
    void ClientLaunchhDukeGame(MemberLaunchSetup setup);
    bool isBusy() const { return m_busy; }
    // Set while the game runs; the room ignores settings updates meanwhile.
    bool gameRunning() const { return m_gameRunning; }

    // The room window closed: a launch whose game has not started yet is dropped and its
    // files put back; after a running game the room's steps are skipped.
    void roomClosed();

    const std::string& lastCommand() const { return m_game.commandText(); }
    GameProcess& process() { return m_process; }

signals:
    void roomLog(const QString& line);
    void roomsListEnabled(bool enabled);
    void focusRoomWindow();
    void message(const QString& text);
    // Send "ClientSentNotReadyMessage": the member is not ready for the next game.
    void SendToServerClientNotReady();
    void gameRunningChanged(bool running);
    void gameStarted();
    void finished();

private:
    void startGame();
    void afterGame(int exitCode);
    void setGameRunning(bool running);
    void tidyFiles(bool report);
    void finish();
    QString failureMessage() const;

    GameProcess m_process;
    TimedSteps m_steps;

    bool m_busy = false;
    bool m_gameRunning = false;
    bool m_roomGone = false;
    SourcePort m_port = SourcePort::HDuke;
    PreparedGame m_game;
};

} // namespace vantrell::core
