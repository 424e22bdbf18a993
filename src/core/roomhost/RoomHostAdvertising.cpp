// The room host's advertisement on the main server and its stale-row check.
#include "core/roomhost/MainServerLink.h"
#include "core/roomhost/RoomConnection.h"
#include "core/roomhost/RoomHost.h"

#include <set>
#include <utility>

namespace vantrell::core {

void RoomHost::sendToMainServer(const lobby::ClientMessage& message)
{
    if (m_link && m_link->isMainServerOpen())
        m_link->sendToMainServer(message);
}

void RoomHost::advertiseButtonClicked()
{
    const bool open = m_link && m_link->isMainServerOpen();
    if (open && !m_advertised) {
        AdvertiseRoom();
    } else if (m_advertised) {
        m_listed = false; // the player's own withdrawal: a reconnect leaves the room unlisted
        StopAdvertising();
    }
    if (!open)
        emit roomLog(QStringLiteral("You need to login before advertising a room!"));
}

void RoomHost::AdvertiseRoom()
{
    // Wanted even while the main server is away: the reconnect lists the room then.
    m_listed = true;
    if (!m_link || !m_link->isMainServerOpen())
        return;
    sendToMainServer(roomhost::makeAdvertisement(m_config.settings, m_settings, m_members.size(),
                                                 m_config.nickname, m_config.roomPortSetting,
                                                 m_inGame ? "Yes" : "No"));
    if (!m_advertised) {
        m_advertised = true;
        emit advertisingChanged(true);
    }
    sendToMainServer(lobby::ClientRequestRemoteIP{});
}

void RoomHost::StopAdvertising()
{
    sendToMainServer(lobby::StopAdvertisingRoom{});
    if (m_advertised) {
        m_advertised = false;
        emit advertisingChanged(false);
    }
}

void RoomHost::advertiseAgain()
{
    if (m_listed && !m_closed)
        AdvertiseRoom();
}

void RoomHost::startSettingsRefresh()
{
    // Restarted by every change, so the refresh always follows the latest join or leave
    // by 2000 ms and carries its player count.
    m_settingsRefreshTimer.start();
}

void RoomHost::settingsRefreshTick()
{
    if (roomhost::updatePlayersRow(m_settings, m_members.size(), places())) {
        emit settingsListChanged();
        StopAdvertising();
        m_reAdvertiseTimer.start();
    }
    ServerRoomSendSettingsToAllClients();
}

void RoomHost::reAdvertiseTick()
{
    // A refresh started in the meantime is left running: it brings its own re-advertise.
    AdvertiseRoom();
}

void RoomHost::TimeOutUserCheck()
{
    // A row whose connection has gone without its closing event having removed it would
    // otherwise stay for good; every member row is checked, not only the first.
    std::set<std::pair<std::string, std::string>> open;
    for (const RoomConnection* connection : m_connections)
        open.emplace(connection->remoteAddress().toStdString(),
                     connection->remotePortText().toStdString());
    bool removed = false;
    for (std::size_t i = m_members.size(); i-- > 1;) {
        const auto& row = m_members.rows()[i];
        if (!open.count({row.remoteAddress, row.remotePort}))
            removed = m_members.removeRow(i) || removed;
    }
    if (removed)
        emit memberListChanged();
    checkEveryoneReady();
    broadcast(roomhost::PingPong{});
}

} // namespace vantrell::core
