#pragma once

#include "base/common/LineFraming.h"
#include "base/lobby/MainServerCodec.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QProcess>
#include <QStringList>
#include <QTcpSocket>

// A real vantrell-server on a free loopback port, with its log collected.
class ServerProcess
{
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    static QString executable();

    // Starts the server with --port 0 and the given options and waits for the port it
    // reports. The listen address defaults to 127.0.0.1 unless the options name one.
    bool start(const QStringList& options = {});
    quint16 port() const { return m_port; }
    QProcess& process() { return m_process; }

    QStringList log();
    // Waits until a log line contains the text.
    bool waitForLog(const QString& text, int timeoutMs = 10000);
    int countLog(const QString& text);

private:
    QProcess m_process;
    QStringList m_log;
    QByteArray m_partial;
    quint16 m_port = 0;
};

// One lobby's connection as a test drives it: whole lines out, parsed messages in.
class LobbyClient
{
public:
    explicit LobbyClient(quint16 port, const QString& sourceAddress = {});

    bool isConnected() const;
    bool waitDisconnected(int timeoutMs = 10000);

    void sendRaw(const QByteArray& bytes);
    void sendLine(const std::string& line);
    void send(const vantrell::lobby::ClientMessage& message);
    // "ClientVersionCheck~Vantrex 3829" then "AddNickName,nick,computer".
    void login(const std::string& nickname);
    // login(), then waits until the server has handled it, so that users logged in one
    // after another are listed in that order.
    bool loginInOrder(const std::string& nickname);
    void disconnect();

    const std::vector<std::string>& lines() const { return m_lines; }
    const std::vector<vantrell::lobby::ServerMessage>& messages() const { return m_messages; }

    // Waits for the next received message (after the previous one returned) that matches.
    std::optional<vantrell::lobby::ServerMessage>
    waitFor(const std::function<bool(const vantrell::lobby::ServerMessage&)>& match,
            int timeoutMs = 10000);
    // Waits for the next raw line equal to the given one.
    bool waitForLine(const std::string& line, int timeoutMs = 10000);
    // Waits until the latest "UserListUpdate" shows exactly these names and count.
    bool waitForUserList(const QStringList& nicknames, int timeoutMs = 10000);
    QStringList lastUserList() const;
    // Sends "ClientRequestRemoteIP" and waits for the answer, which proves the server has
    // handled every line this client sent before.
    std::optional<std::string> roundTrip();
    // Sends "RequestRoomsList" and returns the raw answer line (empty when none came).
    QString requestRoomsLine();

    QTcpSocket& socket() { return *m_socket; }

private:
    void drain();

    std::unique_ptr<QTcpSocket> m_socket;
    vantrell::LineReader m_reader;
    std::vector<std::string> m_lines;
    std::vector<vantrell::lobby::ServerMessage> m_messages;
    std::size_t m_cursor = 0;
    std::size_t m_lineCursor = 0;
};

QStringList toQStringList(const std::vector<std::string>& values);
