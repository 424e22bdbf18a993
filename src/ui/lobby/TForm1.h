#pragma once

#include "base/roomhost/RoomSettings.h"
#include "core/common/Environment.h"
#include "core/lobby/LobbyConnection.h"

#include <functional>

#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The main window, the lobby: nickname and "Connect", users online, global chat, the room
// list, and the menus that open every other window. It lives for the whole run; closing it
// ends the program.
//
// Other windows reach it through Windows::form1. While one of them is open it locks this
// window with DisableForm1Items() and unlocks it with EnableForm1Items() when it closes.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    TForm1(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // Lock: disables the top-level menus, "Send", "Connect" and the chat line.
    void DisableForm1Items();
    // Unlock: enables them again, then disables "Connect" again while connected.
    void EnableForm1Items();
    // Enables only "Send" and the chat line: a hosted room keeps the rest locked.
    void enableChatItems();

    // The lobby nickname: the text of the read-only nickname box, which mirrors the
    // networking window's "Nickname:" field.
    QString lobbyNickname() const;
    void setLobbyNickname(const QString& nickname);

    bool isConnected() const;
    // The main-server connection. The room host advertises through it and takes the
    // "YourRemoteIP" answer from its yourRemoteIP() signal; the room list fills itself from
    // its roomsListUpdated() signal.
    core::LobbyConnection& lobby() { return m_lobby; }

    // Asks the router to forward the configured ports to the local address (the room's TCP
    // port, the game's UDP port and the file server's port). Called once at start-up when
    // the networking window's UPnP box is ticked; main() wires the real one.
    using PortMapping = std::function<void(const QString& localAddress, const QString& tcpPort,
                                           const QString& udpPort)>;
    void setPortMapping(PortMapping portMapping) { m_portMapping = std::move(portMapping); }

    // The ports read at start-up (defaults "23513" and "8501").
    const QString& configuredUdpPort() const { return m_configuredUdpPort; }
    const QString& configuredTcpPort() const { return m_configuredTcpPort; }

    // The launch turns "Get Rooms List" off while a game runs (and with it the 10 s room
    // refresh) and on again when it ends.
    void setGetRoomsListEnabled(bool enabled);

    // Appends one line to the lobby log.
    void addLogLine(const QString& line);
    // The lines of the lobby log, oldest first.
    QStringList lobbyLogLines() const;

    // Filled by the room list; the bar shows usermap downloads.
    QTreeWidget* roomList() const { return m_roomList; }
    QProgressBar* fileTransferBar() const { return m_fileTransferBar; }

signals:
    // The program is to end: "Quit", closing this window, or the updater taking over. main()
    // quits the event loop on it.
    void programEndRequested();

public slots:
    // The "Connect" button.
    void connectClick();
    // The "Send" button and Enter in the chat line.
    void sendClick();
    // The "Get Rooms List" button.
    void getRoomsListClick();
    // The create-room commands of the "Action" menu.
    void createRoom(vantrell::roomhost::RoomKind kind);
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
    void startUp();
    void onConnected();
    void onConnectFailed(const QString& errorText);
    void onDisconnected();
    void chatThrottleTimeout();
    void roomRefreshTimeout();
    void ClientUpdateUserList(const QString& countText, const QStringList& nicknames);
    void ClientTimedUpdatedUserListToPreventInvUsers(const QStringList& nicknames);
    void ClientDisplayChatMessages(const QString& nickname, const QString& text);
    void outdatedVersion();
    void offerUpdate();
    void addLogLines(std::initializer_list<QString> lines);
    void setUsers(const QStringList& nicknames);

    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;

    QMenu* m_actionMenu = nullptr;
    QMenu* m_settingsMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QLineEdit* m_nicknameBox = nullptr;
    QPushButton* m_getRoomsButton = nullptr;
    QLineEdit* m_clientsConnectedBox = nullptr;
    QPushButton* m_connectButton = nullptr;
    QProgressBar* m_fileTransferBar = nullptr;
    QTreeWidget* m_usersOnline = nullptr;
    QTreeWidget* m_roomList = nullptr;
    QPlainTextEdit* m_lobbyLog = nullptr;
    QLineEdit* m_chatLine = nullptr;
    QPushButton* m_sendButton = nullptr;

    core::LobbyConnection m_lobby;
    PortMapping m_portMapping;
    QString m_configuredUdpPort = QStringLiteral("23513");
    QString m_configuredTcpPort = QStringLiteral("8501");
    QPixmap m_background;
    QTimer m_chatThrottle;
    QTimer m_roomRefresh;
    int m_logLineCount = 0;
    bool m_startedUp = false;
};

} // namespace vantrell::ui
