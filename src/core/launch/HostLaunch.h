#pragma once

#include "base/launch/LaunchInputs.h"
#include "base/roomhost/RoomSettings.h"
#include "core/launch/GameProcess.h"
#include "core/launch/PreparedGame.h"
#include "core/launch/TimedSteps.h"
#include "core/launch/WineStart.h"

#include <string>

#include <QObject>
#include <QPointer>
#include <QString>

namespace vantrell::core {

class RoomHost;
class Timing;

// What the host's launch reads when Launch is pressed, besides the room itself.
struct HostLaunchSetup
{
    // The creation window's choices; the room kind picks the source port.
    roomhost::RoomSettings settings;
    // The in-game nickname.
    std::string nickname;
    // The host window's "Record Demo" box.
    bool recordDemo = false;
    // The source port of the room kind, by its full path.
    std::string executable;
    // The usermap folder of the room's game (Duke Nukem 3D or Blood).
    std::string usermapFolder;
    // How a Windows build of the port is started.
    WineSetup wine;
};

// The host's launch, from the Launch button to the game's end: the ready check, the
// broadcast that tells the members to start, the game files, the in-game flag around the
// game, and the buttons and log lines the window shows. Every fixed wait is a timed step on
// the event loop; the window stays usable throughout.
//
// The room's source port and whether the host is alone in it decide the steps; the port's
// row says how they differ.
class HostLaunch : public QObject
{
    Q_OBJECT

public:
    // timing must outlive this object.
    explicit HostLaunch(const Timing& timing, QObject* parent = nullptr);
    ~HostLaunch() override;

    // The Launch button. Ignored while a launch or its game is under way (the window is not
    // held during the waits, so a second click could otherwise start a second game).
    void launch(RoomHost& room, HostLaunchSetup setup);
    bool isBusy() const { return m_busy; }
    bool isGameRunning() const { return m_process.isRunning(); }

    // Drops the steps of a launch whose game has not started yet and puts the game files
    // back; done by itself when the room goes away. A running game is left alone.
    void cancel();

    // The argument string of the game last started (for the log and tests).
    const std::string& lastCommand() const { return m_game.commandText(); }
    GameProcess& process() { return m_process; }

signals:
    void roomLog(const QString& line);
    // The host window's Launch button and the main window's "Get Rooms List".
    void launchEnabled(bool enabled);
    void roomsListEnabled(bool enabled);
    // Give the host window the focus.
    void focusRoomWindow();
    // A message box.
    void message(const QString& text);
    void gameStarted();
    // The launch is over (the game ended, it failed, or it was not started).
    void finished();

private:
    void runBranch();
    void inGameStep();
    void startGame();
    void afterGame(int exitCode);
    void afterGameLog();
    void closingSteps();
    void startFailed(const QString& text);
    void tidyFiles();
    void finish();
    void onRoomGone();

    const SourcePortRow& port() const;
    bool usesRunAndWait() const;
    // The solo game of a port that starts it quietly.
    bool isQuiet() const;
    QString failureMessage() const;

    GameProcess m_process;
    TimedSteps m_steps;
    QMetaObject::Connection m_broadcastDone;
    QMetaObject::Connection m_roomGone;

    bool m_busy = false;
    bool m_inGameSet = false;
    QPointer<RoomHost> m_room;
    HostLaunchSetup m_setup;
    std::vector<roomhost::MemberRow> m_members;
    bool m_solo = true;
    PreparedGame m_game;
};

} // namespace vantrell::core
