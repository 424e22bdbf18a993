#include "core/transfer/FileServer.h"

#include "base/common/LineFraming.h"
#include "base/common/SourcePorts.h"
#include "base/transfer/UsermapTransfer.h"
#include "core/common/Environment.h"
#include "core/common/Timing.h"

#include <algorithm>

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

namespace vantrell::core {

using namespace std::chrono_literals;

namespace {
// Time to ask, and the longest a transfer may go without the member taking a byte (or,
// once it has every byte, without closing).
constexpr auto kIdleLimit = 30000ms;
// How often a transfer's progress is looked at.
constexpr auto kProgressCheck = 1000ms;
// Every transfer must end within the grace plus its size at the minimum rate: a member
// that takes a trickle, just enough to never be idle for long, holds a place no longer
// than a slow honest link would. 4 KiB/s is far below any link a game can be played over;
// the grace covers a small file's round trips and the member's close.
constexpr qint64 kMinBytesPerSecond = 4 * 1024;
constexpr auto kTransferGrace = 60000ms;
constexpr qint64 kChunkBytes = 256 * 1024;

// Bytes the system still holds for the socket, not yet taken by the member; -1 when the
// system cannot tell.
qint64 unsentBytes(const QTcpSocket& socket)
{
#ifdef Q_OS_LINUX
    int unsent = 0;
    if (::ioctl(static_cast<int>(socket.socketDescriptor()), SIOCOUTQ, &unsent) == 0)
        return unsent;
#endif
    (void)socket;
    return -1;
}
// Bytes queued in the socket before the next chunk is read from the file: enough to keep
// loopback and real links busy without ever holding the file in memory.
constexpr qint64 kQueuedBytes = 2 * 1024 * 1024;
} // namespace

// One member's file connection: one request, one file, then the member's close.
class FileServerConnection : public QObject
{
public:
    FileServerConnection(FileServer& server, QTcpSocket* socket)
        : QObject(&server), m_server(server), m_socket(socket), m_reader(kMaxLineLength)
    {
        m_socket->setParent(this);
        m_peer = m_socket->peerAddress();
        m_server.m_env.timing.setInterval(m_idle, kIdleLimit);
        m_idle.setSingleShot(true);
        connect(&m_idle, &QTimer::timeout, this, [this] { finish(); });
        m_server.m_env.timing.setInterval(m_progressCheck, kProgressCheck);
        connect(&m_progressCheck, &QTimer::timeout, this, [this] { checkProgress(); });
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        connect(m_socket, &QTcpSocket::bytesWritten, this,
                [this](qint64 bytes) { onBytesWritten(bytes); });
        connect(m_socket, &QTcpSocket::disconnected, this, [this] { finish(); });
        m_idle.start();
        onReadyRead();
    }

    ~FileServerConnection() override
    {
        m_socket->disconnect(this);
        m_socket->abort();
    }

    // Drops the connection at once and reports it gone.
    void finish()
    {
        if (m_finished)
            return;
        drop();
        m_server.connectionFinished(this);
    }

    // Drops the connection at once without a word to the server (which is stopping).
    void drop()
    {
        m_finished = true;
        m_idle.stop();
        m_progressCheck.stop();
        m_socket->disconnect(this);
        m_socket->abort();
        m_file.close();
    }

    const QHostAddress& peer() const { return m_peer; }

private:
    enum class State
    {
        WaitingForRequest,
        Sending,
        WaitingForClose,
    };

    void onReadyRead()
    {
        const QByteArray bytes = m_socket->readAll();
        if (m_state != State::WaitingForRequest || m_finished)
            return; // after the request the member has nothing more to say
        m_reader.feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        while (auto line = m_reader.nextLine()) {
            if (isUsermapRequest(*line)) {
                serve(*line);
                return;
            }
        }
        if (m_reader.failed())
            finish();
    }

    // ServerHostRoomSendFile and NBloodServerHostRoomSendFile: the request line tells them
    // apart, and servedUsermap() holds the game and folder key of each.
    void serve(const std::string& requestLine)
    {
        const auto rows =
            m_server.m_settings ? m_server.m_settings() : std::vector<roomhost::SettingRow>{};
        const auto usermap = transfer::servedUsermap(requestLine, rows);
        if (!usermap) {
            closeGracefully();
            return;
        }
        const std::string folder =
            m_server.m_folders ? m_server.m_folders(usermap->folderKey) : std::string();
        const std::string path = transfer::usermapPathText(folder, usermap->map);
        emit m_server.logLine(QStringLiteral("Sent file to a client ") +
                              QString::fromStdString(path));
        m_file.setFileName(QString::fromStdString(path));
        if (folder.empty() || !m_file.open(QIODevice::ReadOnly)) {
            closeGracefully();
            return;
        }
        // The size announced is the size now; exactly that many bytes follow.
        m_remaining = m_file.size();
        const auto size = transfer::encodeSize(m_remaining);
        m_socket->write(size.data(), static_cast<qint64>(size.size()));
        m_state = State::Sending;
        m_idle.stop();
        const auto& timing = m_server.m_env.timing;
        m_started = m_lastProgress = timing.now();
        m_allowed = kTransferGrace + std::chrono::seconds(m_remaining / kMinBytesPerSecond);
        m_progressCheck.start();
        pump();
    }

    void pump()
    {
        while (m_state == State::Sending && m_remaining > 0 &&
               m_socket->bytesToWrite() < kQueuedBytes) {
            const QByteArray chunk = m_file.read(std::min(kChunkBytes, m_remaining));
            if (chunk.isEmpty()) {
                // The file shrank since its size went out: the member must not take what
                // it got for the whole file.
                finish();
                return;
            }
            m_remaining -= chunk.size();
            m_socket->write(chunk);
        }
        if (m_state == State::Sending && m_remaining == 0) {
            m_state = State::WaitingForClose;
            m_file.close();
        }
    }

    void onBytesWritten(qint64 bytes)
    {
        if (m_finished)
            return;
        m_handedToSystem += bytes;
        pump();
    }

    // Bytes the member has taken. What the system still holds for it does not count: its
    // send buffer can hold megabytes, which take long to cross a slow link.
    qint64 bytesTaken() const
    {
        return m_handedToSystem - std::max<qint64>(unsentBytes(*m_socket), 0);
    }

    void checkProgress()
    {
        const auto& timing = m_server.m_env.timing;
        const auto now = timing.now();
        if (timing.designedElapsed(m_started, now) >= m_allowed) {
            finish();
            return;
        }
        // Measured from the moment the size went out, so a member that never takes a
        // byte goes when the idle limit has passed, not one check later.
        const qint64 taken = bytesTaken();
        if (taken > m_taken) {
            m_taken = taken;
            m_lastProgress = now;
        } else if (timing.designedElapsed(m_lastProgress, now) >= kIdleLimit) {
            finish();
        }
    }

    void closeGracefully()
    {
        m_state = State::WaitingForClose;
        m_socket->disconnectFromHost();
    }

    FileServer& m_server;
    QTcpSocket* m_socket;
    LineReader m_reader;
    QHostAddress m_peer;
    QTimer m_idle; // the time to ask
    QTimer m_progressCheck;
    QFile m_file;
    qint64 m_remaining = 0;
    qint64 m_handedToSystem = 0;
    qint64 m_taken = 0;
    Timing::Clock::time_point m_started;
    Timing::Clock::time_point m_lastProgress;
    std::chrono::milliseconds m_allowed{0};
    State m_state = State::WaitingForRequest;
    bool m_finished = false;
};

FileServer::FileServer(const Environment& env, QObject* parent)
    : QObject(parent), m_env(env), m_server(new QTcpServer(this)),
      m_folders(configUsermapFolders(env))
{
    connect(m_server, &QTcpServer::newConnection, this, &FileServer::onNewConnection);
}

FileServer::~FileServer()
{
    stop();
}

quint16 FileServer::configuredPort() const
{
    return m_env.fileServerPort;
}

bool FileServer::isListening() const
{
    return m_server->isListening();
}

bool FileServer::start()
{
    if (m_server->isListening())
        return true;
    return m_server->listen(m_listenAddress, m_env.fileServerPort);
}

void FileServer::stop()
{
    m_server->close();
    const auto connections = m_connections;
    m_connections.clear();
    for (FileServerConnection* connection : connections) {
        connection->drop();
        connection->deleteLater();
    }
}

quint16 FileServer::serverPort() const
{
    return m_server->serverPort();
}

void FileServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        // Players behind one router share its address, but only a few of them join a
        // room at once; more from one address would only crowd out everyone else.
        const QHostAddress peer = socket->peerAddress();
        const auto fromPeer = std::count_if(
            m_connections.cbegin(), m_connections.cend(),
            [&peer](const FileServerConnection* c) { return c->peer().isEqual(peer); });
        if (m_connections.size() >= kMaxConnections || fromPeer >= kMaxPerAddress) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_connections.append(new FileServerConnection(*this, socket));
    }
}

void FileServer::connectionFinished(FileServerConnection* connection)
{
    if (m_connections.removeOne(connection))
        connection->deleteLater();
}

} // namespace vantrell::core
