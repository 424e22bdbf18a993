#pragma once

#include "core/lobby/MainServerChoice.h"

#include <functional>

#include <QObject>
#include <QString>
#include <QTimer>

namespace vantrell::core {

struct Environment;
class LobbyConnection;

// What the lobby does with its connection to the main server, apart from showing it: the
// version check and the user details once connected, the room list asked for every 10 s
// while allowed, and the outdated-version close. The program owns it; the main window shows
// what it reports and asks it to connect.
class LobbySession : public QObject
{
    Q_OBJECT

public:
    // env and lobby must outlive the session.
    LobbySession(const Environment& env, LobbyConnection& lobby, QObject* parent = nullptr);
    ~LobbySession() override;

    LobbyConnection& connection() { return m_lobby; }
    bool isOpen() const;

    // Connects with this nickname, sent with the user details once connected. False while
    // a connection is open or being made.
    bool open(const QString& nickname);
    bool isConnecting() const;
    // Gives up the connection being made, as the player asked; nothing is reported.
    void cancelOpen();
    // Asked at every open() where to connect, so that a new choice of main server applies on
    // the next Connect. Unset: where the connection was built to go.
    void setServerChoice(std::function<MainServerEndpoint()> choice);

    // Asks for the room list now, when connected.
    void requestRoomsList();
    // The 10 s room refresh runs from the first call on.
    void startRoomRefresh();
    // A running game turns the room list (and its refresh) off until it ends.
    void setRoomsListEnabled(bool enabled);
    bool roomsListEnabled() const { return m_roomsListEnabled; }

signals:
    // A line for the lobby log.
    void logLine(const QString& line);
    void roomsListEnabledChanged(bool enabled);
    // The main server reported an outdated version and the connection was closed; after
    // 3 s the player is offered the update.
    void updateOfferDue();

private:
    void onConnected();
    void onWrongVersion();

    const Environment& m_env;
    LobbyConnection& m_lobby;
    QString m_nickname;
    std::function<MainServerEndpoint()> m_serverChoice;
    QTimer m_roomRefresh;
    bool m_roomsListEnabled = true;
};

} // namespace vantrell::core
