#include "core/roomclient/RoomClient.h"

#include "core/common/Environment.h"
#include "core/common/QtStrings.h"
#include "core/roomhost/RoomConnection.h"
#include "core/transfer/ClientUserMapCheckFileTransfer.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace vantrell::core {

using namespace std::chrono_literals;

namespace {
constexpr auto kPingPeriod = 10000ms;
constexpr auto kConnectionCheckPeriod = 5000ms;
constexpr auto kConnectLimit = 10000ms;
constexpr auto kFailedConnectClose = 500ms;
constexpr auto kEchoWait = 5000ms;

bool isIpv4Address(const QString& text)
{
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv4Protocol;
}
} // namespace

RoomClient::RoomClient(const Environment& env, IcmpMethod icmpMethod, QObject* parent)
    : QObject(parent), m_env(env), m_folders(configUsermapFolders(env)), m_icmp(icmpMethod)
{
    m_env.timing.setInterval(m_pingTimer, kPingPeriod);
    connect(&m_pingTimer, &QTimer::timeout, this, [this] {
        if (m_members.size() >= 2 && isConnected())
            ClientPingClients();
    });
    m_env.timing.setInterval(m_connectionCheck, kConnectionCheckPeriod);
    connect(&m_connectionCheck, &QTimer::timeout, this, &RoomClient::connectionCheck);
    m_connectLimit.setSingleShot(true);
    m_env.timing.setInterval(m_connectLimit, kConnectLimit);
    connect(&m_connectLimit, &QTimer::timeout, this, &RoomClient::connectFailed);
    m_failedConnectClose.setSingleShot(true);
    m_env.timing.setInterval(m_failedConnectClose, kFailedConnectClose);
    connect(&m_failedConnectClose, &QTimer::timeout, this, [this] { emit leaveRequested(); });
    connect(&m_icmp, &IcmpPinger::echoFinished, this, &RoomClient::onEcho);
}

RoomClient::~RoomClient()
{
    close();
}

bool RoomClient::isConnected() const
{
    return m_connection && !m_connection->isClosing();
}

// ---- the stay ----

void RoomClient::open(const lobby::RoomAddress& room, RoomClientIdentity identity)
{
    close();
    ++m_stay;
    m_inRoom = true;
    m_leaving = false;
    m_room = room;
    m_identity = std::move(identity);

    m_pingTimer.start();
    m_settings.clear();
    m_members.clear();
    m_ready = false;
    emit settingsListChanged(m_settings);
    emit memberListChanged(m_members);
    emit readyStateChanged(false);
    // Team choices belong to the room they came from, never to the next one.
    setTeamChoices({});

    const auto port = roomclient::parseRoomPort(room.port);
    if (!port) {
        connectFailed();
        return;
    }
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &RoomClient::onConnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket && !m_connection)
            connectFailed();
    });
    m_connectLimit.start();
    m_socket->connectToHost(qs(room.ip), *port);
}

void RoomClient::close()
{
    if (!m_inRoom)
        return;
    m_inRoom = false;
    ++m_stay;
    m_pingTimer.stop();
    m_connectionCheck.stop();
    m_connectLimit.stop();
    m_failedConnectClose.stop();
    m_pingRunning = false;
    m_pendingEcho = 0;

    if (m_usermapCheck) {
        m_usermapCheck->disconnect(this);
        m_usermapCheck->cancel();
        m_usermapCheck->deleteLater();
        m_usermapCheck = nullptr;
    }
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (m_connection) {
        const bool wasOpen = !m_connection->isClosing();
        m_connection->disconnect(this);
        m_connection->abort();
        m_connection->deleteLater();
        m_connection = nullptr;
        if (wasOpen)
            emit logLine(QStringLiteral("You have disconnected!"));
    }
}

void RoomClient::onConnected()
{
    m_connectLimit.stop();
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    m_connection = new RoomConnection(socket, this);
    connect(m_connection, &RoomConnection::lineReceived, this, &RoomClient::onLine);
    connect(m_connection, &RoomConnection::closed, this, &RoomClient::onConnectionClosed);
    // Every host answers "ClientRequestsRemotePort", so it serves as the probe of a silent
    // link; the answer only repeats the port the member already has.
    m_connection->watchSilence(m_env.timing,
                               roomhost::encodeMemberMessage(roomhost::ClientRequestsRemotePort{}));

    const quint64 stay = m_stay;
    emit connected();
    emit logLine(QStringLiteral("You are now connected to the Room!"));
    if (stay != m_stay)
        return;
    if (isConnected()) {
        ClientSendUserInfo();
        sendLine(roomhost::encodeMemberMessage(roomhost::ClientRequestsRemotePort{}));
    }
    m_connectionCheck.start();
    startUsermapCheck();
}

void RoomClient::connectFailed()
{
    m_connectLimit.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (!beginLeaving())
        return;
    // From a queued call: the socket that reported the failure is on its way out.
    QMetaObject::invokeMethod(
        this,
        [this, stay = m_stay] {
            if (stay != m_stay)
                return;
            emit messageBox(QStringLiteral("Unable to connect to Room!"));
            if (stay != m_stay)
                return; // the player closed the window meanwhile
            m_failedConnectClose.start();
            startUsermapCheck();
        },
        Qt::QueuedConnection);
}

void RoomClient::boxThenLeave(const QString& text)
{
    // A box waits for the player with window events running. Opened from a queued call it
    // never runs inside the handler of the connection that leaving the room destroys.
    QMetaObject::invokeMethod(
        this,
        [this, text, stay = m_stay] {
            if (stay != m_stay)
                return;
            emit messageBox(text);
            if (stay == m_stay)
                emit leaveRequested();
        },
        Qt::QueuedConnection);
}

bool RoomClient::beginLeaving()
{
    if (!m_inRoom || m_leaving)
        return false;
    m_leaving = true;
    m_connectionCheck.stop();
    return true;
}

void RoomClient::onConnectionClosed()
{
    emit logLine(QStringLiteral("You have disconnected!"));
    if (m_inRoom && !m_leaving)
        emit droppedFromRoom();
}

void RoomClient::connectionCheck()
{
    if (!isConnected()) {
        if (beginLeaving())
            boxThenLeave(QStringLiteral("You have lost the connection to the Room."));
        return;
    }
    if (const auto shown = roomclient::spectatorAndDemoShown(m_settings))
        emit spectatorAndDemoShown(*shown);
}

void RoomClient::startUsermapCheck()
{
    ClientUserMapCheckFileTransfer::Setup setup;
    setup.hostAddress = qs(m_room.ip);
    setup.port = m_env.fileServerPort;
    setup.settings = [this] { return m_settings; };
    setup.folders = m_folders;
    m_usermapCheck = new ClientUserMapCheckFileTransfer(m_env.timing, std::move(setup), this);
    connect(m_usermapCheck, &ClientUserMapCheckFileTransfer::logLine, this, &RoomClient::logLine);
    connect(m_usermapCheck, &ClientUserMapCheckFileTransfer::finished, this,
            [this] { emit readyAvailable(); });
    m_usermapCheck->start();
}

// ---- lines from the host ----

void RoomClient::onLine(const std::string& line)
{
    const auto message = roomhost::parseHostMessage(line);
    if (!message)
        return;
    if (std::holds_alternative<roomhost::RoomIsFull>(*message)) {
        if (beginLeaving())
            boxThenLeave(QStringLiteral("Room is full!"));
    } else if (auto* settings = std::get_if<roomhost::RoomSettingsUpdate>(&*message)) {
        UpdateClientRoomSettings(std::move(settings->rows));
    } else if (auto* members = std::get_if<roomhost::UserRoomSettingsUpdate>(&*message)) {
        ClientRoomUserListUpdateFromServerRoom(std::move(members->rows));
    } else if (const auto* port = std::get_if<roomhost::YourRemotePortIs>(&*message)) {
        m_ownRemotePort = qs(port->remotePort);
    } else if (std::holds_alternative<roomhost::TimeToLaunchGame>(*message)) {
        ClientLaunchhDukeGame();
    } else if (const auto* chat = std::get_if<roomhost::RoomChat>(&*message)) {
        ClientRoomRecieveChatMessage(*chat);
    } else if (std::holds_alternative<roomhost::TCPPing>(*message)) {
        TCPPingReply(line);
    }
}

// ---- tasks ----

bool RoomClient::sendLine(const std::string& line)
{
    if (!isConnected())
        return false;
    m_connection->sendLine(line);
    return true;
}

void RoomClient::ClientSendUserInfo()
{
    sendLine(roomhost::encodeMemberMessage(roomhost::AddUserToList{
        m_identity.nickname, m_identity.os, m_identity.localAddress, m_identity.udpPort}));
}

void RoomClient::readyClicked()
{
    if (!isConnected())
        return;
    if (m_ready)
        SendToServerClientNotReady();
    else
        SendToServerClientReady();
}

bool RoomClient::SendToServerClientReady()
{
    if (!sendLine(roomhost::encodeMemberMessage(roomhost::ClientSentReadyMessage{})))
        return false;
    m_ready = true;
    emit readyStateChanged(true);
    return true;
}

bool RoomClient::SendToServerClientNotReady()
{
    if (!sendLine(roomhost::encodeMemberMessage(roomhost::ClientSentNotReadyMessage{})))
        return false;
    m_ready = false;
    emit readyStateChanged(false);
    return true;
}

bool RoomClient::ClientSendTeamSelection(const QString& team)
{
    return sendLine(
        roomhost::encodeMemberMessage(roomhost::ClientSentTeamChanged{team.toStdString()}));
}

bool RoomClient::ClientRoomSendChatMessage(const QString& text)
{
    if (text.isEmpty())
        return false;
    return sendLine(
        roomhost::encodeMemberMessage(roomhost::RoomChat{m_identity.nickname, text.toStdString()}));
}

void RoomClient::ClientRoomRecieveChatMessage(const roomhost::RoomChat& chat)
{
    emit logLine(qs(chat.nickname) + QStringLiteral(": ") + qs(chat.text));
    emit chatMessage(qs(chat.nickname), qs(chat.text));
}

void RoomClient::UpdateClientRoomSettings(std::vector<roomhost::SettingRow> rows)
{
    // While the game runs the list keeps what the game was started with.
    if (m_gameRunning)
        return;
    m_settings = std::move(rows);
    emit settingsListChanged(m_settings);
    if (isConnected())
        setTeamChoices(roomclient::nextTeamChoices(m_teams, m_settings));
}

void RoomClient::ClientRoomUserListUpdateFromServerRoom(std::vector<roomhost::MemberRow> rows)
{
    m_members = std::move(rows);
    emit memberListChanged(m_members);
}

void RoomClient::TCPPingReply(const std::string& line)
{
    sendLine(line);
}

void RoomClient::ClientLaunchhDukeGame()
{
    emit gameLaunchRequested();
}

void RoomClient::setTeamChoices(const roomclient::TeamChoices& teams)
{
    if (teams == m_teams)
        return;
    m_teams = teams;
    emit teamChoicesChanged(toQStringList(m_teams.items), m_teams.enabled);
}

// ---- ping ----

void RoomClient::ClientPingClients()
{
    if (m_pingRunning)
        return;
    m_pingAddresses.clear();
    for (const auto& row : m_members)
        m_pingAddresses.push_back(qs(row.remoteAddress));
    m_pingRow = 0;
    m_pingRunning = true;
    pingNext();
}

void RoomClient::pingNext()
{
    if (m_pingRow >= m_pingAddresses.size()) {
        m_pingRunning = false;
        return;
    }
    // An address no echo can be sent to (the host's " " before it knows its public
    // address) ends the pass.
    const QString& address = m_pingAddresses[m_pingRow];
    if (!isIpv4Address(address)) {
        m_pingRunning = false;
        return;
    }
    m_pendingEcho = m_icmp.ping(address, m_env.timing.interval(kEchoWait));
}

void RoomClient::onEcho(quint64 id, bool answered, qint64 roundTripMs, bool sent)
{
    if (!m_pingRunning || id != m_pendingEcho)
        return;
    // A request that could not be sent ends the pass and leaves every row as it was.
    if (!sent) {
        m_pingRunning = false;
        return;
    }
    const std::size_t row = m_pingRow++;
    // An echo that got no answer counts as the whole wait.
    const auto shown = roomclient::clientPingText(answered ? roundTripMs : kEchoWait.count());
    // The member list may have been replaced meanwhile; a row that is no longer the one
    // pinged is left alone.
    if (shown && row < m_members.size() &&
        qs(m_members[row].remoteAddress) == m_pingAddresses[row]) {
        m_members[row].ping = *shown;
        emit memberPingChanged(static_cast<int>(row), qs(*shown));
    }
    pingNext();
}

} // namespace vantrell::core
