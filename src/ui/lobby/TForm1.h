#pragma once

#include "base/lobby/JoinPlan.h"
#include "base/roomhost/RoomSettings.h"
#include "core/common/Environment.h"
#include "core/lobby/LobbyConnection.h"
#include "core/lobby/LobbySession.h"

#include <vector>

#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace vantrell::settings {
struct Settings;
}

namespace vantrell::ui {

class MessageSink;
class RoomListView;

// The main window, the lobby: nickname and "Connect", users online, global chat, the room
// list, and the menus that open every other window. It lives for the whole run; closing it
// ends the program.
//
// It shows the program's lobby session and connection (which the program owns), asks the
// session to connect, and emits what the player asks of other windows; the program connects
// those. While another window is open
// that window has this one locked (DisableForm1Items) until it closes (EnableForm1Items).
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    TForm1(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
           core::LobbySession& session, QWidget* parent = nullptr);
    ~TForm1() override;

    // The lobby nickname: the text of the read-only nickname box, which mirrors the
    // networking window's "Nickname:" field.
    QString lobbyNickname() const;

    bool isConnected() const;

    // The launch turns "Get Rooms List" off while a game runs (and with it the 10 s room
    // refresh) and on again when it ends; the session decides, the button shows it.
    void setGetRoomsListEnabled(bool enabled);

    // Appends one line to the lobby log.
    void addLogLine(const QString& line);
    // The lines of the lobby log, oldest first.
    QStringList lobbyLogLines() const;

    // The room count beside "Get Rooms List", shown while a "View" filter is on.
    QLabel* roomCountLabel() const { return m_roomCountLabel; }
    // Filled from the lobby connection's room lists; the bar shows usermap downloads.
    RoomListView* roomList() const { return m_roomList; }
    QProgressBar* fileTransferBar() const { return m_fileTransferBar; }

signals:
    // The program is to end: "Quit", closing this window, or the updater taking over. main()
    // quits the event loop on it.
    void programEndRequested();
    // Shown for the first time and placed: the program's start-up continues.
    void startedUp();
    // A create-room command passed its checks; this window is locked already.
    void roomCreationApproved(vantrell::SourcePort port);
    // The menu commands that open other windows.
    void manualJoinRequested();
    void sourcePortSettingsRequested();
    void networkingSettingsRequested();
    // The player ticked or cleared "Desktop Notifications" in the "Settings" menu.
    void desktopNotificationsToggled(bool on);
    // A double-click on a room, with the row's values at that moment.
    void joinRequested(const vantrell::lobby::JoinRow& row);

public slots:
    // Lock: disables the top-level menus, "Send", "Connect" and the chat line.
    void DisableForm1Items();
    // The lighter lock of a joined room: the top-level menus only, chat stays usable.
    void DisableForm1Menus();
    // Unlock: enables them again, then disables "Connect" again while connected.
    void EnableForm1Items();
    // Enables only "Send" and the chat line: a hosted room keeps the rest locked.
    void enableChatItems();
    void setLobbyNickname(const QString& nickname);
    // A usermap download's progress on the "File Transfers:" bar; a total below 0 (unknown)
    // shows the bar busy.
    void showFileTransfer(qint64 received, qint64 total);

    // The "Connect" button; it reads "Cancel" while the connection is being made, and gives
    // it up.
    void connectClick();
    // The "Send" button and Enter in the chat line.
    void sendClick();
    // The "Get Rooms List" button.
    void getRoomsListClick();
    // The create-room commands of the "Action" menu: the source-port settings fresh from the
    // file, then the checks.
    void createRoom(vantrell::SourcePort port);
    // Closes the connection and ends the program.
    void TerminateMainThread();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    // The "View" menu and the room list's filters (TForm1Filters.cpp).
    void buildViewMenu();
    void loadRoomFilters();
    // Filters the list as the settings say now; with `rooms`, rebuilds it from them first.
    void filterRooms(const std::vector<lobby::RoomRecord>* rooms = nullptr);
    void startUp();
    void onConnected();
    void onDisconnected();
    void onConnectFailed(const QString& errorText);
    // "Connect" reads "Cancel" while the connection is being made.
    void showConnecting(bool connecting);
    void chatThrottleTimeout();
    void ClientUpdateUserList(const QString& countText, const QStringList& nicknames);
    void ClientTimedUpdatedUserListToPreventInvUsers(const QStringList& nicknames);
    void ClientDisplayChatMessages(const QString& nickname, const QString& text);
    void offerUpdate();
    void setUsers(const QStringList& nicknames);

    const core::Environment& m_env;
    MessageSink& m_messages;
    settings::Settings& m_settings;
    core::LobbySession& m_session;
    core::LobbyConnection& m_lobby;

    QMenu* m_actionMenu = nullptr;
    QMenu* m_settingsMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QLineEdit* m_nicknameBox = nullptr;
    QPushButton* m_getRoomsButton = nullptr;
    QLabel* m_roomCountLabel = nullptr;
    QLineEdit* m_clientsConnectedBox = nullptr;
    QPushButton* m_connectButton = nullptr;
    QProgressBar* m_fileTransferBar = nullptr;
    QTreeWidget* m_usersOnline = nullptr;
    RoomListView* m_roomList = nullptr;
    QPlainTextEdit* m_lobbyLog = nullptr;
    QLineEdit* m_chatLine = nullptr;
    QPushButton* m_sendButton = nullptr;

    QPixmap m_background;
    QTimer m_chatThrottle;
    // The room list last received, until it is shown.
    std::vector<lobby::RoomRecord> m_newRooms;
    QTimer m_roomsShow;
    int m_logLineCount = 0;
    bool m_startedUp = false;
};

} // namespace vantrell::ui
