#pragma once

#include "base/common/LineFraming.h"
#include "base/lobby/MainServerCodec.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

class QHostInfo;

namespace vantrell::core {

class Timing;

// The one connection to the main server, owned by the program for the whole run.
//
// Everything happens on the event loop of the thread that owns it: the socket's bytes are
// cut into lines, and each line goes, in arrival order and whole, through ReceiveMessage,
// which turns it into one of the typed signals below. Sends go through one writer, a
// whole line at a time, so lines from the lobby and from the room host never interleave.
class LobbyConnection : public QObject
{
    Q_OBJECT

public:
    LobbyConnection(QString address, quint16 port, QObject* parent = nullptr);
    ~LobbyConnection() override;

    const QString& address() const { return m_address; }
    quint16 port() const { return m_port; }
    // Where the next open() connects: a host name or an IPv4 address, and a port. A
    // connection open or being made keeps going where it goes.
    void setServer(const QString& address, quint16 port);

    // A main server gone silent (its machine unplugged, the route lost) closes nothing, so
    // "RequestRoomsList", which the lobby sends every 10 s and which is always answered, has
    // 30 s to bring any byte back; after that the connection counts as lost (disconnected()).
    // Each address has 10 s to take the connection. The limits run at their designed
    // lengths unless a timing is given; it must outlive this.
    void setTiming(const Timing& timing);
    // The local address the connection leaves from; null (the default) lets the system
    // choose. On a machine with several addresses it decides which one the main server
    // sees, and so the address it lists for the player's rooms.
    void setLocalAddress(const QHostAddress& address) { m_localAddress = address; }

    // Starts connecting; connected() or connectFailed() follows. A host name is looked up
    // through the system first, without waiting on this thread, and its IPv4 addresses are
    // tried in the system's order: the main server hands each room's host address to the
    // room's members as IPv4, so the lobby must reach it over IPv4. Does nothing while a
    // connection is open or being made.
    void open();
    // Closes at once, without a farewell line; disconnected() follows if it was open. A
    // connection being made is given up without a signal.
    void close();
    bool isOpen() const;
    bool isConnecting() const;

    // The lines this program sends (each written whole, with its line end). Ignored when
    // the connection is not open.
    void send(const lobby::ClientMessage& message);
    void ClientVersionCheck();
    void SendUserDetails(const QString& nickname, const QString& computerName);
    void sendGlobalChat(const QString& nickname, const QString& text);
    void requestRoomsList();

    // Applies one received line (without its line end): parses it and emits the signal of
    // its keyword. Lines with an unknown keyword are ignored.
    void ReceiveMessage(std::string_view line);

signals:
    void connected();
    // The connection could not be opened; the text says why.
    void connectFailed(const QString& errorText);
    void disconnected();

    // "UserListUpdate": the count as received, and the nicknames.
    void userListUpdated(const QString& countText, const QStringList& nicknames);
    // "UpdateTimedUserList".
    void timedUserListUpdated(const QStringList& nicknames);
    void wrongVersion();
    void globalChatReceived(const QString& nickname, const QString& text);
    void roomsListUpdated(const vantrell::lobby::NewRoomsListUpdate& update);
    // "YourRemoteIP": the public address the main server sees; the room host writes it into
    // its own member row.
    void yourRemoteIP(const QString& address);

private:
    void onReadyRead();
    void onErrorOccurred(QAbstractSocket::SocketError error);
    void onLookedUp(const QHostInfo& info);
    void connectFailedWith(const QString& errorText);
    // Tries one address, within the connect limit.
    void connectTo(const QHostAddress& address);
    // The system has finished the attempt (connected or failed) and the socket is yet to
    // report it, this thread having been busy: the limit must not overrule that result.
    bool attemptHasEnded() const;

    QString m_address;
    quint16 m_port;
    QHostAddress m_localAddress;
    QTcpSocket m_socket;
    LineReader m_reader;
    QTimer m_answerLimit;
    QTimer m_connectLimit;
    bool m_connecting = false;     // between open() and connected() or connectFailed()
    int m_lookupId = -1;           // the host name's lookup while it runs
    QList<QHostAddress> m_untried; // the looked-up addresses not tried yet
    bool m_wasConnected = false;   // so that disconnected() follows only a connected()
};

} // namespace vantrell::core
