#pragma once

#include "base/roomhost/MemberList.h"
#include "base/roomhost/RoomCodec.h"
#include "base/roomhost/RoomSettings.h"
#include "base/settings/NetworkingSettings.h"
#include "core/common/IcmpEcho.h"
#include "core/roomhost/PingedRoom.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QTcpServer;

namespace vantrell::core {

class FileServerControl;
class MainServerLink;
class RoomConnection;
class RoomPinger;
class Timing;

struct RoomHostConfig
{
    // Members reach the room by IPv4; listening on IPv4 alone keeps their addresses dotted.
    QHostAddress listenAddress = QHostAddress::AnyIPv4;
    quint16 roomPort = 8501; // 0 picks a free port
    // False when the room port setting names no usable port (empty, 0, above 65535): the
    // room then reports that it cannot start instead of listening where no member looks.
    bool roomPortUsable = true;
    // The room port setting as the player typed it; the advertisement carries this text.
    std::string roomPortSetting{settings::NetworkingSettings::kDefaultTcpPort};
    // What the creation window stored; its player places (the host's own included) are
    // also the limit on member connections.
    roomhost::RoomSettings settings;
    // The host's own row; its team is the settings' host team.
    std::string nickname;     // the lobby nickname
    std::string os;           // the OS description
    std::string localAddress; // the machine's first local IPv4 address
    std::string udpPort;      // the "Game port number UDP:" setting
    IcmpMethod icmpMethod = IcmpMethod::Automatic;
};

// The host's side of a room, from "Create room" until the host window closes: the room
// server and its member connections, the member list (host first) and the settings list,
// every member line and the broadcasts they lead to, the advertisement on the main server
// and the liveness checks. Everything runs on the event loop; the window shows what the
// signals report and calls the public operations.
//
// The operations named like ServerRoomSendSettingsToAllClients are the room's tasks; each
// acts on the line and connection that started it.
class RoomHost : public QObject, private PingedRoom
{
    Q_OBJECT

public:
    // link may be null (no lobby); timing must outlive the host.
    RoomHost(const Timing& timing, RoomHostConfig config, MainServerLink* link,
             QObject* parent = nullptr);
    ~RoomHost() override;

    // The usermap file server that runs while the room is open (may be null); it must
    // outlive the room.
    void setFileServer(FileServerControl* files) { m_files = files; }

    // Starts listening on the room port, the file server and the periodic checks. Reports
    // the outcome in the room log; false when the room port cannot be used (the room stays
    // open, nothing listens).
    bool open();
    // Ends the room: timers stop, the advertisement is withdrawn, every member connection
    // closes, the file server stops. Also done on destruction.
    void close();

    bool isListening() const;
    quint16 serverPort() const;
    int places() const { return m_config.settings.playerPlaces; }
    const std::string& roomName() const { return m_config.settings.roomName; }
    // Open member connections, including one being refused and not yet closed.
    int openConnectionCount() const { return static_cast<int>(m_connections.size()); }

    const std::vector<roomhost::MemberRow>& members() const { return m_members.rows(); }
    const std::vector<roomhost::SettingRow>& settingsList() const { return m_settings; }
    bool allMembersReady() const { return m_members.allReady(); }
    // The host's public address as the main server saw it, into row 0.
    void setHostRemoteAddress(const QString& address);

    // ---- tasks of the room protocol ----
    void ServerRoomSendSettingsToAllClients();
    // Sends the member list 1000 ms from now, as it is then.
    void ServerRoomSendUserListToAllClients();
    // The host's own chat line. False (nothing sent, the edit keeps its text) when the
    // server is not listening or the text is empty.
    bool ServerRoomSendChatMessageToClientsTyped(const QString& text);
    // "TimeToLaunchGame" to the members of these rows (the host's row is skipped).
    void TellAllClientsToLaunch(const std::vector<roomhost::MemberRow>& launched);
    // The launch's broadcasts: settings now, the member list 1000 ms later and
    // "TimeToLaunchGame" 1000 ms after that to the members listed at the call (those the
    // host's game starts with); launchBroadcastFinished() follows the last.
    void launchBroadcast();

    // ---- advertising ----
    // The window's "Advertise Room" / "Stop Advertising" button.
    void advertiseButtonClicked();
    void AdvertiseRoom();
    void StopAdvertising();
    // The lobby reconnected to the main server, which forgot the room with the old
    // connection: a room that should be listed is advertised again.
    void advertiseAgain();
    bool isAdvertised() const { return m_advertised; }
    void setInGame(bool inGame) { m_inGame = inGame; }
    bool inGame() const { return m_inGame; }
    // Starts (or restarts) the 2000 ms settings refresh: "Players" row, withdrawal, and a
    // fresh advertisement 5000 ms later.
    void startSettingsRefresh();

    // ---- liveness ----
    void TimeOutUserCheck();
    RoomPinger& pinger() { return *m_pinger; }

signals:
    void roomLog(const QString& line);
    void memberListChanged();
    void settingsListChanged();
    // A chat line, a member's or the host's own; it is in the room log as well.
    void chatMessage(const QString& nickname, const QString& text);
    // A member announced itself and has its row.
    void memberJoined(const QString& nickname);
    // The last member not ready became ready (or left): the room may be launched.
    void everyoneReady();
    void advertisingChanged(bool advertised);
    void launchBroadcastFinished();

private:
    void onNewConnection();
    void onConnectionClosed(RoomConnection* connection);
    void onLine(RoomConnection* connection, const std::string& line);

    void AddClientInfoToList(RoomConnection& connection, const roomhost::AddUserToList& details);
    void ServerRemoveDisconnectedUser(const QString& address, const QString& port);
    void CheckRoomFull(RoomConnection& connection);
    void SendToClientThatWantedRemotePort(RoomConnection& connection);
    void RoomOwnerUpdateClientReady(const RoomConnection& connection);
    void RoomOwnerUpdateClientNotReady(const RoomConnection& connection);
    void ClientSentTeamSelection(const QString& address, const QString& port,
                                 const std::string& team);
    void ServerRoomRecieveChatMessage(const roomhost::RoomChat& chat);

    bool listen();
    void startFileServer();
    void checkEveryoneReady();
    void sendUserListNow();
    void broadcast(const roomhost::HostMessage& message);
    void settingsRefreshTick();
    void reAdvertiseTick();
    void sendToMainServer(const lobby::ClientMessage& message);

    // What the pinger sees of the room.
    std::vector<PingTarget> pingTargets() const override;
    bool sendToMember(const PingTarget& member, std::string_view line) override;
    void showPing(const PingTarget& member, const std::string& text) override;

    const Timing& m_timing;
    RoomHostConfig m_config;
    MainServerLink* m_link;
    FileServerControl* m_files = nullptr;
    QTcpServer* m_server;
    QList<RoomConnection*> m_connections; // in the order they opened
    roomhost::MemberList m_members;
    std::vector<roomhost::SettingRow> m_settings;
    std::unique_ptr<RoomPinger> m_pinger;
    QTimer m_staleRowTimer;        // Timer1
    QTimer m_settingsRefreshTimer; // Timer2
    QTimer m_reAdvertiseTimer;     // Timer3
    // The caption's state: the advertisement went out and has not been withdrawn since.
    bool m_advertised = false;
    // Whether the room should be listed, whatever reached the main server: a refresh's
    // withdrawal and re-advertisement while the main server is away send nothing, yet the
    // room is to be listed again once it is back.
    bool m_listed = false;
    bool m_inGame = false;
    bool m_closed = false;
    bool m_everyoneReady = false; // as last reported by everyoneReady()
};

} // namespace vantrell::core
