#include "core/lobby/LobbyConnection.h"

#include "core/common/QtStrings.h"
#include "core/common/Timing.h"

#include <poll.h>

#include <QHostInfo>

namespace vantrell::core {

using namespace std::chrono_literals;

namespace {
constexpr auto kAnswerLimit = 30000ms;
// An address that drops connection attempts without a word would otherwise cost the
// system's own limit (about two minutes) before the next address or the error.
constexpr auto kConnectLimit = 10000ms;

// Nicknames and chat are sent as stored; non-ASCII becomes "?" on the wire.
std::string toWire(const QString& text)
{
    return text.toStdString();
}
} // namespace

LobbyConnection::LobbyConnection(QString address, quint16 port, QObject* parent)
    : QObject(parent), m_address(std::move(address)), m_port(port)
{
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_wasConnected = true;
        m_connecting = false;
        m_connectLimit.stop();
        m_untried.clear();
        m_reader = LineReader();
        emit connected();
    });
    m_answerLimit.setSingleShot(true);
    m_answerLimit.setInterval(kAnswerLimit);
    connect(&m_answerLimit, &QTimer::timeout, this, &LobbyConnection::close);
    m_connectLimit.setSingleShot(true);
    m_connectLimit.setInterval(kConnectLimit);
    connect(&m_connectLimit, &QTimer::timeout, this, [this] {
        if (!m_connecting || attemptHasEnded())
            return;
        m_socket.abort();
        if (m_untried.isEmpty())
            connectFailedWith(QStringLiteral("Connection timed out"));
        else
            connectTo(m_untried.takeFirst());
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        m_answerLimit.stop();
        if (m_wasConnected) {
            m_wasConnected = false;
            emit disconnected();
        }
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, &LobbyConnection::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &LobbyConnection::onErrorOccurred);
}

LobbyConnection::~LobbyConnection()
{
    // No signals from a half-destroyed owner.
    m_socket.disconnect(this);
    m_socket.abort();
}

void LobbyConnection::setTiming(const Timing& timing)
{
    timing.setInterval(m_answerLimit, kAnswerLimit);
    timing.setInterval(m_connectLimit, kConnectLimit);
}

void LobbyConnection::setServer(const QString& address, quint16 port)
{
    m_address = address;
    m_port = port;
}

void LobbyConnection::open()
{
    if (m_connecting || m_socket.state() != QAbstractSocket::UnconnectedState)
        return;
    m_connecting = true;
    // An address is used as it stands: the system would only be asked for its name.
    const QHostAddress literal(m_address);
    if (literal.protocol() == QAbstractSocket::IPv4Protocol) {
        connectTo(literal);
        return;
    }
    m_lookupId =
        QHostInfo::lookupHost(m_address, this, [this](const QHostInfo& info) { onLookedUp(info); });
}

void LobbyConnection::onLookedUp(const QHostInfo& info)
{
    m_lookupId = -1;
    m_untried.clear();
    for (const QHostAddress& address : info.addresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            m_untried.append(address);
    if (m_untried.isEmpty()) {
        connectFailedWith(info.error() != QHostInfo::NoError
                              ? info.errorString()
                              : QStringLiteral("%1 has no IPv4 address").arg(m_address));
        return;
    }
    connectTo(m_untried.takeFirst());
}

void LobbyConnection::connectTo(const QHostAddress& address)
{
    m_connectLimit.start();
    if (!m_localAddress.isNull() && !m_socket.bind(m_localAddress)) {
        const QString error = m_socket.errorString();
        m_socket.abort();
        connectFailedWith(error);
        return;
    }
    m_socket.connectToHost(address, m_port);
}

bool LobbyConnection::attemptHasEnded() const
{
    pollfd socket{static_cast<int>(m_socket.socketDescriptor()), POLLOUT, 0};
    return socket.fd >= 0 && ::poll(&socket, 1, 0) > 0;
}

void LobbyConnection::close()
{
    if (m_lookupId != -1)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_untried.clear();
    m_connecting = false;
    m_connectLimit.stop();
    // abort() rather than disconnectFromHost(): nothing more is read or written, and
    // disconnected() is emitted before this returns.
    m_socket.abort();
}

bool LobbyConnection::isOpen() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

bool LobbyConnection::isConnecting() const
{
    return m_connecting;
}

void LobbyConnection::send(const lobby::ClientMessage& message)
{
    if (!isOpen())
        return;
    const std::string line = encodeLine(lobby::encodeClientMessage(message));
    m_socket.write(line.data(), static_cast<qint64>(line.size()));
    if (std::holds_alternative<lobby::RequestRoomsList>(message) && !m_answerLimit.isActive())
        m_answerLimit.start();
}

void LobbyConnection::ClientVersionCheck()
{
    send(lobby::ClientVersionCheck{std::string(lobby::kVersionToken)});
}

void LobbyConnection::SendUserDetails(const QString& nickname, const QString& computerName)
{
    send(lobby::AddNickName{toWire(nickname), toWire(computerName)});
}

void LobbyConnection::sendGlobalChat(const QString& nickname, const QString& text)
{
    send(lobby::GlobalChat{toWire(nickname), toWire(text)});
}

void LobbyConnection::requestRoomsList()
{
    send(lobby::RequestRoomsList{});
}

void LobbyConnection::onReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    if (!bytes.isEmpty())
        m_answerLimit.stop();
    m_reader.feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    // A handler may close the connection ("WrongVersion"); what follows is then dropped.
    while (isOpen()) {
        std::optional<std::string> line = m_reader.nextLine();
        if (!line)
            break;
        ReceiveMessage(*line);
    }
    // A line longer than any the main server sends: the stream cannot be trusted.
    if (m_reader.failed())
        close();
}

void LobbyConnection::onErrorOccurred(QAbstractSocket::SocketError)
{
    if (!m_connecting)
        return;
    m_connectLimit.stop();
    if (m_untried.isEmpty()) {
        connectFailedWith(m_socket.errorString());
        return;
    }
    // The next address of the name, once the socket is done reporting this one.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_connecting || m_untried.isEmpty())
                return;
            m_socket.abort();
            connectTo(m_untried.takeFirst());
        },
        Qt::QueuedConnection);
}

void LobbyConnection::connectFailedWith(const QString& errorText)
{
    m_connecting = false;
    m_connectLimit.stop();
    emit connectFailed(errorText);
}

void LobbyConnection::ReceiveMessage(std::string_view line)
{
    std::optional<lobby::ServerMessage> message = lobby::parseServerMessage(line);
    if (!message)
        return;
    std::visit(
        [this](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, lobby::UserListUpdate>) {
                emit userListUpdated(QString::fromStdString(m.countText),
                                     toQStringList(m.nicknames));
            } else if constexpr (std::is_same_v<T, lobby::WrongVersion>) {
                emit wrongVersion();
            } else if constexpr (std::is_same_v<T, lobby::GlobalChat>) {
                emit globalChatReceived(QString::fromStdString(m.nickname),
                                        QString::fromStdString(m.text));
            } else if constexpr (std::is_same_v<T, lobby::NewRoomsListUpdate>) {
                emit roomsListUpdated(m);
            } else if constexpr (std::is_same_v<T, lobby::YourRemoteIP>) {
                emit yourRemoteIP(QString::fromStdString(m.address));
            } else if constexpr (std::is_same_v<T, lobby::UpdateTimedUserList>) {
                emit timedUserListUpdated(toQStringList(m.nicknames));
            }
        },
        *message);
}

} // namespace vantrell::core
