#include "ServerHarness.h"

#include <QRegularExpression>
#include <QTest>

using namespace vantrell;

QStringList toQStringList(const std::vector<std::string>& values)
{
    QStringList out;
    for (const auto& v : values)
        out << QString::fromStdString(v);
    return out;
}

// ---- ServerProcess ----

ServerProcess::~ServerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

QString ServerProcess::executable()
{
    return QStringLiteral(VANTRELL_SERVER_PATH);
}

bool ServerProcess::start(const QStringList& options)
{
    QStringList arguments{"--port", "0"};
    if (!options.contains("--address"))
        arguments << "--address"
                  << "127.0.0.1";
    arguments << options;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(executable(), arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    static const QRegularExpression listening(QStringLiteral("listening on (.*):(\\d+)$"));
    if (!waitForLog("listening on"))
        return false;
    for (const auto& line : std::as_const(m_log)) {
        const auto match = listening.match(line);
        if (match.hasMatch())
            m_port = static_cast<quint16>(match.captured(2).toUInt());
    }
    return m_port != 0;
}

QStringList ServerProcess::log()
{
    m_partial += m_process.readAllStandardOutput();
    qsizetype lf;
    while ((lf = m_partial.indexOf('\n')) >= 0) {
        m_log << QString::fromUtf8(m_partial.left(lf));
        m_partial.remove(0, lf + 1);
    }
    return m_log;
}

bool ServerProcess::waitForLog(const QString& text, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            m_process.waitForReadyRead(10);
            return countLog(text) > 0;
        },
        timeoutMs);
}

int ServerProcess::countLog(const QString& text)
{
    int count = 0;
    for (const auto& line : log())
        count += line.contains(text) ? 1 : 0;
    return count;
}

// ---- LobbyClient ----

LobbyClient::LobbyClient(quint16 port, const QString& sourceAddress)
    : m_socket(std::make_unique<QTcpSocket>())
{
    QObject::connect(m_socket.get(), &QTcpSocket::readyRead, [this] { drain(); });
    if (!sourceAddress.isEmpty())
        m_socket->bind(QHostAddress(sourceAddress));
    m_socket->connectToHost(QHostAddress::LocalHost, port);
    m_socket->waitForConnected(10000);
}

bool LobbyClient::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

bool LobbyClient::waitDisconnected(int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_socket->state() == QAbstractSocket::UnconnectedState; },
                           timeoutMs);
}

void LobbyClient::sendRaw(const QByteArray& bytes)
{
    m_socket->write(bytes);
    m_socket->flush();
}

void LobbyClient::sendLine(const std::string& line)
{
    sendRaw(QByteArray::fromStdString(encodeLine(line)));
}

void LobbyClient::send(const lobby::ClientMessage& message)
{
    sendLine(lobby::encodeClientMessage(message));
}

void LobbyClient::login(const std::string& nickname)
{
    send(lobby::ClientVersionCheck{std::string(lobby::kVersionToken)});
    send(lobby::AddNickName{nickname, "TESTPC"});
}

bool LobbyClient::loginInOrder(const std::string& nickname)
{
    login(nickname);
    return roundTrip().has_value();
}

void LobbyClient::disconnect()
{
    m_socket->disconnectFromHost();
}

void LobbyClient::drain()
{
    m_reader.feed(m_socket->readAll().toStdString());
    while (auto line = m_reader.nextLine()) {
        m_lines.push_back(*line);
        if (auto message = lobby::parseServerMessage(*line))
            m_messages.push_back(std::move(*message));
    }
}

std::optional<lobby::ServerMessage>
LobbyClient::waitFor(const std::function<bool(const lobby::ServerMessage&)>& match, int timeoutMs)
{
    std::optional<lobby::ServerMessage> found;
    (void)QTest::qWaitFor(
        [&] {
            while (m_cursor < m_messages.size()) {
                const auto& message = m_messages[m_cursor++];
                if (match(message)) {
                    found = message;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool LobbyClient::waitForLine(const std::string& line, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            while (m_lineCursor < m_lines.size()) {
                if (m_lines[m_lineCursor++] == line)
                    return true;
            }
            return false;
        },
        timeoutMs);
}

QStringList LobbyClient::lastUserList() const
{
    for (auto it = m_messages.rbegin(); it != m_messages.rend(); ++it) {
        if (const auto* update = std::get_if<lobby::UserListUpdate>(&*it)) {
            return QStringList{QString::fromStdString(update->countText)} +
                   toQStringList(update->nicknames);
        }
    }
    return {};
}

bool LobbyClient::waitForUserList(const QStringList& nicknames, int timeoutMs)
{
    const QStringList expected = QStringList{QString::number(nicknames.size())} + nicknames;
    return QTest::qWaitFor([&] { return lastUserList() == expected; }, timeoutMs);
}

std::optional<std::string> LobbyClient::roundTrip()
{
    send(lobby::ClientRequestRemoteIP{});
    const auto answer =
        waitFor([](const auto& m) { return std::holds_alternative<lobby::YourRemoteIP>(m); });
    if (!answer)
        return std::nullopt;
    return std::get<lobby::YourRemoteIP>(*answer).address;
}

QString LobbyClient::requestRoomsLine()
{
    send(lobby::RequestRoomsList{});
    QString line;
    (void)QTest::qWaitFor(
        [&] {
            while (m_lineCursor < m_lines.size()) {
                const auto& candidate = m_lines[m_lineCursor++];
                if (candidate.rfind("NewRoomsListUpdate~", 0) == 0) {
                    line = QString::fromStdString(candidate);
                    return true;
                }
            }
            return false;
        },
        10000);
    return line;
}
