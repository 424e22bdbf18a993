#pragma once

#include "base/lobby/RoomAddress.h"
#include "base/roomclient/RoomClientRules.h"
#include "base/roomhost/RoomCodec.h"
#include "core/common/IcmpEcho.h"
#include "core/transfer/UsermapFolders.h"

#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class QTcpSocket;

namespace vantrell::core {

struct Environment;
class RoomConnection;
class ClientUserMapCheckFileTransfer;

// What a member tells the room host about itself in "AddUserToList" and its chat lines.
struct RoomClientIdentity
{
    std::string nickname;     // the lobby nickname
    std::string os;           // the OS description
    std::string localAddress; // the machine's first local IPv4 address
    std::string udpPort;      // the "Game port number UDP:" setting
};

// A member's side of a room hosted by another player: one room connection for each stay in
// a room, from open() (the room window shown) to close() (the window closed). It announces
// the player, follows the host's settings list and member list, carries chat, ready state
// and team, answers the host's probes, pings the members, runs the usermap check, and hands
// over to the launch when the host starts the game. It shows nothing: the window shows what
// the signals report and calls the operations named like the room's tasks.
//
// Each stay owns its connection, timers and usermap check; close() ends all of them, so a
// later stay never hears from an earlier one. A stay is left at most once: whichever of
// "RoomIsFull", a lost connection or a failed connect comes first asks for one message box
// and the window's close; the rest stay silent.
class RoomClient : public QObject
{
    Q_OBJECT

public:
    // env must outlive the client: its timing, and its file-server port for the usermap.
    explicit RoomClient(const Environment& env, IcmpMethod icmpMethod = IcmpMethod::Automatic,
                        QObject* parent = nullptr);
    ~RoomClient() override;

    // Where the usermap check looks for and stores usermaps; the configuration file's
    // folders unless set.
    void setUsermapFolders(UsermapFolderSource folders) { m_folders = std::move(folders); }

    // ---- one stay ----
    // The window shown for a room a join handed over. Resets the ready state, both lists and
    // the team choices, connects, and starts the usermap check once the connect is decided.
    void open(const lobby::RoomAddress& room, RoomClientIdentity identity);
    // The window closed: every timer and check of the stay stops, the connections close.
    // No line is sent to the host.
    void close();
    bool isInRoom() const { return m_inRoom; }
    bool isConnected() const;

    // ---- what the room shows and the member launch reads ----
    const lobby::RoomAddress& roomAddress() const { return m_room; }
    const std::vector<roomhost::SettingRow>& settingsRows() const { return m_settings; }
    const std::vector<roomhost::MemberRow>& memberRows() const { return m_members; }
    // The member's own Remote Port, from the last "YourRemotePortIs"; kept between stays.
    const QString& ownRemotePort() const { return m_ownRemotePort; }
    bool isReady() const { return m_ready; }
    const roomclient::TeamChoices& teamChoices() const { return m_teams; }
    // Set by the launch while the member's game runs; settings updates are ignored then.
    bool gameRunning() const { return m_gameRunning; }
    void setGameRunning(bool running) { m_gameRunning = running; }

    // ---- tasks the window (or the launch) starts ----
    // "Ready" clicked: one of the next two, by the ready state.
    void readyClicked();
    // Each writes its line and only then changes the ready state; false (nothing changed)
    // when the room connection is not open.
    bool SendToServerClientReady();
    bool SendToServerClientNotReady();
    bool ClientSendTeamSelection(const QString& team);
    // False when not connected or the text is empty: the chat input then keeps its text.
    bool ClientRoomSendChatMessage(const QString& text);
    // One ping pass over the member rows (the 10-second timer starts it).
    void ClientPingClients();

signals:
    // The room connection is made (the main window's menus lock from here).
    void connected();
    void logLine(const QString& line);
    // A chat line of the room; it is in the log as well.
    void chatMessage(const QString& nickname, const QString& text);
    void settingsListChanged(const std::vector<vantrell::roomhost::SettingRow>& rows);
    void memberListChanged(const std::vector<vantrell::roomhost::MemberRow>& rows);
    void memberPingChanged(int row, const QString& ping);
    void readyStateChanged(bool ready);
    void teamChoicesChanged(const QStringList& teams, bool enabled);
    // The connection check's word on "Be a Spectator" and "Record Demo".
    void spectatorAndDemoShown(bool shown);
    // The usermap check is over: "Ready" may be used.
    void readyAvailable();
    // A message box for the player, then (for the same cause) the window's close.
    void messageBox(const QString& text);
    void leaveRequested();
    // The host closed the room connection, or it was lost, while the player stayed.
    void droppedFromRoom();
    // "TimeToLaunchGame": the member launch takes over.
    void gameLaunchRequested();

private:
    void onConnected();
    void connectFailed();
    void onLine(const std::string& line);
    void onConnectionClosed();
    void connectionCheck();
    // Starts leaving for a reason the player is told; false when the stay is already
    // leaving or over.
    bool beginLeaving();
    void startUsermapCheck();
    void setTeamChoices(const roomclient::TeamChoices& teams);
    bool sendLine(const std::string& line);

    void ClientSendUserInfo();
    void UpdateClientRoomSettings(std::vector<roomhost::SettingRow> rows);
    void ClientRoomUserListUpdateFromServerRoom(std::vector<roomhost::MemberRow> rows);
    void ClientRoomRecieveChatMessage(const roomhost::RoomChat& chat);
    void TCPPingReply(const std::string& line);
    void ClientLaunchhDukeGame();

    void pingNext();
    // The message box, then the leave, both skipped once the stay is over.
    void boxThenLeave(const QString& text);
    void onEcho(quint64 id, bool answered, qint64 roundTripMs, bool sent);

    const Environment& m_env;
    UsermapFolderSource m_folders;
    IcmpPinger m_icmp;

    // The stay.
    bool m_inRoom = false;
    bool m_leaving = false;
    quint64 m_stay = 0; // counts stays; delayed work of an ended stay checks it
    lobby::RoomAddress m_room;
    RoomClientIdentity m_identity;
    QTcpSocket* m_socket = nullptr;         // while connecting
    RoomConnection* m_connection = nullptr; // once connected
    ClientUserMapCheckFileTransfer* m_usermapCheck = nullptr;
    QTimer m_pingTimer;
    QTimer m_connectionCheck;
    QTimer m_connectLimit;
    QTimer m_failedConnectClose;

    std::vector<roomhost::SettingRow> m_settings;
    std::vector<roomhost::MemberRow> m_members;
    roomclient::TeamChoices m_teams;
    QString m_ownRemotePort;
    bool m_ready = false;
    bool m_gameRunning = false;

    // The ping pass.
    bool m_pingRunning = false;
    std::size_t m_pingRow = 0;
    std::vector<QString> m_pingAddresses;
    quint64 m_pendingEcho = 0;
};

} // namespace vantrell::core
