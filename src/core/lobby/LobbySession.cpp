#include "core/lobby/LobbySession.h"

#include "core/common/Environment.h"
#include "core/common/HostInfo.h"
#include "core/lobby/LobbyConnection.h"

using namespace std::chrono_literals;

namespace vantrell::core {

LobbySession::LobbySession(const Environment& env, LobbyConnection& lobby, QObject* parent)
    : QObject(parent), m_env(env), m_lobby(lobby)
{
    m_env.timing.setInterval(m_roomRefresh, 10000ms);
    connect(&m_roomRefresh, &QTimer::timeout, this, [this] {
        if (m_roomsListEnabled)
            requestRoomsList();
    });
    connect(&m_lobby, &LobbyConnection::connected, this, &LobbySession::onConnected);
    connect(&m_lobby, &LobbyConnection::disconnected, this,
            [this] { emit logLine(QStringLiteral("Disconnected from the server.")); });
    connect(&m_lobby, &LobbyConnection::wrongVersion, this, &LobbySession::onWrongVersion);
}

LobbySession::~LobbySession() = default;

bool LobbySession::isOpen() const
{
    return m_lobby.isOpen();
}

bool LobbySession::open(const QString& nickname)
{
    if (m_lobby.isOpen() || m_lobby.isConnecting())
        return false;
    m_nickname = nickname;
    if (m_serverChoice) {
        const MainServerEndpoint server = m_serverChoice();
        m_lobby.setServer(server.host, server.port);
    }
    m_lobby.open();
    return true;
}

bool LobbySession::isConnecting() const
{
    return m_lobby.isConnecting();
}

void LobbySession::cancelOpen()
{
    if (m_lobby.isConnecting())
        m_lobby.close();
}

void LobbySession::setServerChoice(std::function<MainServerEndpoint()> choice)
{
    m_serverChoice = std::move(choice);
}

void LobbySession::requestRoomsList()
{
    if (m_lobby.isOpen())
        m_lobby.requestRoomsList();
}

void LobbySession::startRoomRefresh()
{
    if (!m_roomRefresh.isActive())
        m_roomRefresh.start();
}

void LobbySession::setRoomsListEnabled(bool enabled)
{
    m_roomsListEnabled = enabled;
    emit roomsListEnabledChanged(enabled);
}

void LobbySession::onConnected()
{
    emit logLine(QStringLiteral("You are now connected to the Vantrell main server!"));
    m_lobby.ClientVersionCheck();
    m_lobby.SendUserDetails(m_nickname, hostComputerName());
}

void LobbySession::onWrongVersion()
{
    emit logLine(QStringLiteral("You have an outdated version of Vantrex. Please download the "
                                "most recent version from ") +
                 m_env.updateArchiveUrl() + QStringLiteral("."));
    m_lobby.close();
    // The wait keeps the program responsive: the rest runs from the event loop.
    m_env.timing.singleShot(this, 3000ms, [this] { emit updateOfferDue(); });
}

} // namespace vantrell::core
