#include "core/roomhost/RoomHost.h"

#include "core/common/QtStrings.h"
#include "core/common/Timing.h"
#include "core/roomhost/MainServerLink.h"
#include "core/roomhost/RoomConnection.h"
#include "core/roomhost/RoomPinger.h"
#include "core/transfer/FileServerControl.h"

#include <set>

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace vantrell::core {

using namespace std::chrono_literals;
using roomhost::HostMessage;

RoomHost::RoomHost(const Timing& timing, RoomHostConfig config, MainServerLink* link,
                   QObject* parent)
    : QObject(parent), m_timing(timing), m_config(std::move(config)), m_link(link),
      m_server(new QTcpServer(this)),
      m_members(roomhost::MemberList::hostRow(m_config.nickname, m_config.os, m_config.localAddress,
                                              m_config.settings.hostTeam, m_config.udpPort)),
      m_settings(roomhost::buildSettingsList(m_config.settings, 1))
{
    m_pinger = std::make_unique<RoomPinger>(m_timing, static_cast<PingedRoom&>(*this),
                                            m_config.icmpMethod);

    m_timing.setInterval(m_staleRowTimer, 60000ms);
    connect(&m_staleRowTimer, &QTimer::timeout, this, [this] {
        if (m_members.size() > 1 && isListening())
            TimeOutUserCheck();
    });
    m_settingsRefreshTimer.setSingleShot(true);
    m_timing.setInterval(m_settingsRefreshTimer, 2000ms);
    connect(&m_settingsRefreshTimer, &QTimer::timeout, this, &RoomHost::settingsRefreshTick);
    m_reAdvertiseTimer.setSingleShot(true);
    m_timing.setInterval(m_reAdvertiseTimer, 5000ms);
    connect(&m_reAdvertiseTimer, &QTimer::timeout, this, &RoomHost::reAdvertiseTick);

    connect(m_server, &QTcpServer::newConnection, this, &RoomHost::onNewConnection);
}

RoomHost::~RoomHost()
{
    close();
}

bool RoomHost::open()
{
    m_closed = false;
    m_pinger->start();
    m_staleRowTimer.start();
    m_inGame = false;
    const bool listening = listen();
    startFileServer();
    return listening;
}

bool RoomHost::listen()
{
    if (m_server->isListening())
        return true;
    if (m_config.roomPortUsable && m_server->listen(m_config.listenAddress, m_config.roomPort)) {
        emit roomLog(QStringLiteral("You are now hosting a room on TCP port %1.")
                         .arg(m_server->serverPort()));
        return true;
    }
    emit roomLog(
        QStringLiteral("Your room failed to start on TCP port %1.").arg(m_config.roomPort));
    emit roomLog(QStringLiteral("Try enabling UPnP in the \"Settings\" and \"Multiplayer and "
                                "Networking\" menu, or changing the port number."));
    emit roomLog(QStringLiteral("You may need to forward your ports on your Router, or enable "
                                "UPnP on your Router settings."));
    return false;
}

void RoomHost::startFileServer()
{
    if (!m_files || m_files->isListening() || m_files->start())
        return;
    emit roomLog(
        QStringLiteral("Your room failed to use TCP port %1.").arg(m_files->configuredPort()));
    emit roomLog(QStringLiteral("This could cause problems when sending file transfers to other "
                                "players for usermaps."));
}

void RoomHost::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_pinger->stop();
    m_staleRowTimer.stop();
    m_settingsRefreshTimer.stop();
    m_reAdvertiseTimer.stop();
    m_listed = false;
    StopAdvertising();
    m_server->close();
    if (m_files)
        m_files->stop();
    // Not listening any more, so the closing connections start no tasks.
    const auto connections = m_connections;
    m_connections.clear();
    for (RoomConnection* connection : connections) {
        connection->disconnect(this);
        connection->close();
        connection->deleteLater();
    }
}

bool RoomHost::isListening() const
{
    return m_server->isListening();
}

quint16 RoomHost::serverPort() const
{
    return m_server->serverPort();
}

void RoomHost::setHostRemoteAddress(const QString& address)
{
    m_members.setHostRemoteAddress(address.toStdString());
    emit memberListChanged();
}

// ---- room server events ----

void RoomHost::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (openConnectionCount() >= places()) {
            // Beyond the limit: closed before it counts as a member connection, no line.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* connection = new RoomConnection(socket, this);
        m_connections.append(connection);
        connect(connection, &RoomConnection::lineReceived, this,
                [this, connection](const std::string& line) { onLine(connection, line); });
        connect(connection, &RoomConnection::closed, this,
                [this, connection] { onConnectionClosed(connection); });
        // Watched from the start, announced or not: a connection that never announces
        // itself still holds a place, and one that answers nothing must give it back. A
        // member program answers "TCPPing" from its first moment; the pinger is told of each
        // check so that its answer is not taken for the answer to a measurement.
        connection->watchSilence(m_timing, roomhost::encodeHostMessage(roomhost::TCPPing{
                                               connection->remotePortText().toStdString()}));
        connect(connection, &RoomConnection::probeSent, this, [this, connection] {
            m_pinger->silenceProbeSent(connection->remoteAddress(), connection->remotePort());
        });

        startSettingsRefresh();
        // The host holds a place, so the connection that brings the count up to the places
        // is the one too many.
        if (openConnectionCount() == places())
            CheckRoomFull(*connection);
        ServerRoomSendSettingsToAllClients();
        ServerRoomSendUserListToAllClients();
    }
}

void RoomHost::onConnectionClosed(RoomConnection* connection)
{
    if (!m_connections.removeOne(connection))
        return;
    connection->deleteLater();
    m_pinger->forgetMember(connection->remoteAddress(), connection->remotePort());
    if (!isListening())
        return;
    startSettingsRefresh();
    ServerRemoveDisconnectedUser(connection->remoteAddress(), connection->remotePortText());
    ServerRoomSendUserListToAllClients();
    ServerRoomSendSettingsToAllClients();
}

void RoomHost::onLine(RoomConnection* connection, const std::string& line)
{
    if (!isListening())
        return;
    const auto message = roomhost::parseMemberMessage(line);
    if (!message)
        return;
    if (const auto* add = std::get_if<roomhost::AddUserToList>(&*message)) {
        // A connection being refused for a full room closes before it reads another line,
        // so every line that gets here comes from an admitted member.
        AddClientInfoToList(*connection, *add);
    } else if (std::holds_alternative<roomhost::ClientRequestsRemotePort>(*message)) {
        SendToClientThatWantedRemotePort(*connection);
    } else if (std::holds_alternative<roomhost::ClientSentReadyMessage>(*message)) {
        RoomOwnerUpdateClientReady(*connection);
    } else if (std::holds_alternative<roomhost::ClientSentNotReadyMessage>(*message)) {
        RoomOwnerUpdateClientNotReady(*connection);
    } else if (const auto* team = std::get_if<roomhost::ClientSentTeamChanged>(&*message)) {
        // This member's lines wait 100 ms, the team is stored, and 100 ms later the member
        // list goes on its way and the member's next line is read.
        connection->holdLines();
        QPointer<RoomConnection> guard(connection);
        const QString address = connection->remoteAddress();
        const QString port = connection->remotePortText();
        const std::string teamName = team->team;
        m_timing.singleShot(this, 100ms, [this, guard, address, port, teamName] {
            ClientSentTeamSelection(address, port, teamName);
            m_timing.singleShot(this, 100ms, [this, guard] {
                ServerRoomSendUserListToAllClients();
                if (guard)
                    guard->releaseLines();
            });
        });
    } else if (const auto* chat = std::get_if<roomhost::RoomChat>(&*message)) {
        ServerRoomRecieveChatMessage(*chat);
    } else if (const auto* ping = std::get_if<roomhost::TCPPing>(&*message)) {
        m_pinger->TCPPingRecieved(connection->remoteAddress(), connection->remotePort(),
                                  ping->remotePort, m_timing.now());
    }
}

// ---- tasks ----

void RoomHost::AddClientInfoToList(RoomConnection& connection,
                                   const roomhost::AddUserToList& details)
{
    // One row per connection. A member program announces itself once; a connection that
    // repeats the line could otherwise grow the list, and the player count, until the
    // member-list line is too long for every member to read and they all drop out.
    if (m_members.hasConnection(connection.remoteAddress().toStdString(),
                                connection.remotePortText().toStdString()))
        return;
    m_members.append(roomhost::MemberList::memberRow(details,
                                                     connection.remoteAddress().toStdString(),
                                                     connection.remotePortText().toStdString()));
    emit memberListChanged();
    emit memberJoined(qs(details.nickname));
    checkEveryoneReady();
}

void RoomHost::ServerRemoveDisconnectedUser(const QString& address, const QString& port)
{
    if (m_members.removeConnection(address.toStdString(), port.toStdString()) > 0)
        emit memberListChanged();
    checkEveryoneReady();
}

void RoomHost::checkEveryoneReady()
{
    // Only members count: the host alone is no room to launch.
    const bool ready = m_members.rows().size() > 1 && m_members.allReady();
    if (ready && !m_everyoneReady)
        emit everyoneReady();
    m_everyoneReady = ready;
}

void RoomHost::CheckRoomFull(RoomConnection& connection)
{
    if (!isListening())
        return;
    connection.sendLine(roomhost::encodeHostMessage(roomhost::RoomIsFull{}));
    connection.close();
}

void RoomHost::SendToClientThatWantedRemotePort(RoomConnection& connection)
{
    if (!isListening())
        return;
    connection.sendLine(roomhost::encodeHostMessage(
        roomhost::YourRemotePortIs{connection.remotePortText().toStdString()}));
}

void RoomHost::RoomOwnerUpdateClientReady(const RoomConnection& connection)
{
    if (m_members.setReadyCode(connection.remoteAddress().toStdString(),
                               connection.remotePortText().toStdString(), "0") > 0)
        emit memberListChanged();
    checkEveryoneReady();
    ServerRoomSendUserListToAllClients();
}

void RoomHost::RoomOwnerUpdateClientNotReady(const RoomConnection& connection)
{
    if (m_members.setReadyCode(connection.remoteAddress().toStdString(),
                               connection.remotePortText().toStdString(), "1") > 0)
        emit memberListChanged();
    checkEveryoneReady();
    ServerRoomSendUserListToAllClients();
}

void RoomHost::ClientSentTeamSelection(const QString& address, const QString& port,
                                       const std::string& team)
{
    if (m_members.setTeam(address.toStdString(), port.toStdString(), team) > 0)
        emit memberListChanged();
}

void RoomHost::ServerRoomRecieveChatMessage(const roomhost::RoomChat& chat)
{
    emit roomLog(qs(chat.nickname) + QStringLiteral(": ") + qs(chat.text));
    emit chatMessage(qs(chat.nickname), qs(chat.text));
    broadcast(roomhost::RoomChat{chat.nickname, chat.text});
}

bool RoomHost::ServerRoomSendChatMessageToClientsTyped(const QString& text)
{
    if (!isListening() || text.isEmpty())
        return false;
    const std::string nickname = m_members.rows().front().nickname;
    broadcast(roomhost::RoomChat{nickname, text.toStdString()});
    emit roomLog(qs(nickname) + QStringLiteral(": ") + text);
    emit chatMessage(qs(nickname), text);
    return true;
}

void RoomHost::ServerRoomSendSettingsToAllClients()
{
    if (!isListening())
        return;
    broadcast(roomhost::RoomSettingsUpdate{m_settings});
}

void RoomHost::ServerRoomSendUserListToAllClients()
{
    if (!isListening())
        return;
    m_timing.singleShot(this, 1000ms, [this] { sendUserListNow(); });
}

void RoomHost::sendUserListNow()
{
    if (!isListening())
        return;
    broadcast(roomhost::UserRoomSettingsUpdate{m_members.rows()});
}

void RoomHost::TellAllClientsToLaunch(const std::vector<roomhost::MemberRow>& launched)
{
    if (!isListening())
        return;
    // Only the members the host's game was started with: one who joined during the
    // broadcast is not in that game, and starting it would send it into a game that does
    // not expect it.
    std::set<std::pair<std::string, std::string>> members;
    for (std::size_t i = 1; i < launched.size(); ++i)
        members.emplace(launched[i].remoteAddress, launched[i].remotePort);
    const std::string line = roomhost::encodeHostMessage(roomhost::TimeToLaunchGame{});
    for (RoomConnection* connection : m_connections) {
        if (members.count({connection->remoteAddress().toStdString(),
                           connection->remotePortText().toStdString()}))
            connection->sendLine(line);
    }
}

void RoomHost::launchBroadcast()
{
    // The member list goes out itself rather than through its usual task, whose own
    // 1000 ms wait would let it arrive together with, or after, "TimeToLaunchGame": a
    // member must have the final list before it builds its command line.
    ServerRoomSendSettingsToAllClients();
    m_timing.singleShot(this, 1000ms, [this, launched = m_members.rows()] {
        sendUserListNow();
        m_timing.singleShot(this, 1000ms, [this, launched] {
            TellAllClientsToLaunch(launched);
            emit launchBroadcastFinished();
        });
    });
}

void RoomHost::broadcast(const HostMessage& message)
{
    // One encoding for every member: all of them read the same snapshot.
    const std::string line = roomhost::encodeHostMessage(message);
    for (RoomConnection* connection : m_connections)
        connection->sendLine(line);
}

std::vector<PingTarget> RoomHost::pingTargets() const
{
    std::vector<PingTarget> targets;
    if (!isListening())
        return targets;
    const auto& rows = m_members.rows();
    for (std::size_t i = 1; i < rows.size(); ++i) {
        bool ok = false;
        const auto port = QString::fromStdString(rows[i].remotePort).toUShort(&ok);
        if (ok)
            targets.push_back({QString::fromStdString(rows[i].remoteAddress), port});
    }
    return targets;
}

bool RoomHost::sendToMember(const PingTarget& member, std::string_view line)
{
    if (!isListening())
        return false;
    for (RoomConnection* connection : m_connections) {
        if (connection->remotePort() == member.port &&
            connection->remoteAddress() == member.address && !connection->isClosing()) {
            connection->sendLine(line);
            return true;
        }
    }
    return false;
}

void RoomHost::showPing(const PingTarget& member, const std::string& text)
{
    if (!isListening())
        return;
    if (m_members.setPing(member.address.toStdString(), QString::number(member.port).toStdString(),
                          text) > 0)
        emit memberListChanged();
}

} // namespace vantrell::core
