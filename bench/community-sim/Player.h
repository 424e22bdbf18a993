#pragma once

#include "Sim.h"
#include "base/lobby/MainServerCodec.h"
#include "core/common/Environment.h"
#include "core/launch/HostLaunch.h"
#include "core/launch/MemberLaunch.h"
#include "core/lobby/LobbyConnection.h"
#include "core/lobby/LobbySession.h"
#include "core/roomclient/RoomClient.h"
#include "core/roomhost/LobbyMainServerLink.h"
#include "core/roomhost/RoomHost.h"
#include "core/transfer/FileServer.h"
#include "support/StandInPort.h"

#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include <QObject>
#include <QTimer>

class FaultRelay;

namespace core = vantrell::core;
namespace lobby = vantrell::lobby;

// One player of the community: the program's own lobby connection and session, room host
// with its file server, and room client, worked by a seeded random script instead of
// windows. Each player has its own address, usermaps folder and sped-up clock.
class Player : public QObject
{
public:
    Player(int index, const SimParams& params, const SimClock& clock, SimFigures& figures,
           Ledger& ledger);
    ~Player() override;

    // Players whose links are faulted talk to the main server, and to the rooms they join,
    // through relays of their own.
    void setFaulted(bool faulted);
    bool isFaulted() const { return m_lobbyRelay != nullptr; }
    std::vector<FaultRelay*> relays() const;

    // The script runs from here until stop(); stop() leaves every room, closes the own one
    // and disconnects.
    void start(std::function<std::vector<Player*>()> others);
    void stop();
    // Every file in the usermaps folder is a whole usermap, byte for byte its host's.
    void checkUsermapFolder(const QString& why);

    int index() const { return m_index; }
    QString nickname() const { return nicknameOf(m_index); }
    QString address() const { return playerAddress(m_index).toString(); }

    // ---- what the invariants read ----
    bool lobbyOpen() const { return m_lobby.isOpen(); }
    // Designed time the current lobby connection opened (valid while open).
    double lobbyOpenSince() const { return m_lobbyOpenSince; }
    core::RoomHost* room() const { return m_room.get(); }
    // Designed time the room's listing last changed: opened, advertised, withdrawn, closed.
    double roomListingSince() const { return m_listingSince; }
    // Designed time the room's member rows last changed in number.
    double membersChangedAt() const { return m_membersChangedAt; }
    // The host whose room this player believes it is in (connected), or -1.
    int believedHost() const;
    double believedSince() const { return m_believedSince; }
    void onRoomsList(std::function<void(Player&, const lobby::NewRoomsListUpdate&)> handler)
    {
        m_listHandler = std::move(handler);
    }
    // The host started its game with these members; a member's game started.
    std::function<void(Player& host, std::set<int> ready)> launchObserved;
    std::function<void(Player& member, int host)> gameStarted;
    // The member's launch stopped for a reason it told the player (a usermap that never
    // arrived): its game rightly does not start.
    std::function<void(Player& member, int host, const QString& why)> launchRefused;

private:
    void act();
    void scheduleNext(double minSeconds, double maxSeconds);
    double uniform(double from, double to);
    bool chance(double p);

    void connectLobby();
    void openRoom();
    void closeRoom();
    void joinSomeRoom();
    void leaveRoom();
    void launch();
    void startMemberLaunch();
    void listingChanged();
    void trace(const QString& what) const;

    const int m_index;
    const SimParams& m_params;
    const SimClock& m_clock;
    SimFigures& m_figures;
    Ledger& m_ledger;
    std::mt19937_64 m_random;
    std::function<std::vector<Player*>()> m_others;

    core::Environment m_env;
    QString m_folder;
    core::LobbyConnection m_lobby;
    core::LobbySession m_session;
    core::LobbyMainServerLink m_link;
    core::FileServer m_fileServer;
    std::unique_ptr<core::RoomHost> m_room;
    vantrell::roomhost::RoomSettings m_roomSettings;
    core::RoomClient m_client;
    core::MemberLaunch m_launch;
    core::HostLaunch m_hostLaunch;
    StandInPort m_game;
    std::unique_ptr<FaultRelay> m_lobbyRelay;
    std::unique_ptr<FaultRelay> m_roomRelay;
    std::unique_ptr<FaultRelay> m_fileRelay;
    std::function<void(Player&, const lobby::NewRoomsListUpdate&)> m_listHandler;

    QTimer m_script;
    bool m_stopped = false;
    double m_lobbyOpenSince = 0;
    double m_listingSince = 0;
    double m_membersChangedAt = 0;
    std::size_t m_memberCount = 0;
    int m_roomsMade = 0;
    lobby::NewRoomsListUpdate m_lastList;
    int m_stayHost = -1;
    int m_launchHost = -1; // the room whose game the member launch runs
    double m_believedSince = 0;
    bool m_checkRunning = false;
    QStringList m_mapsAtJoin;
    bool m_ready = false;
};
