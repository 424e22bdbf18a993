#include "core/transfer/FileServer.h"

#include "base/common/LineFraming.h"
#include "base/common/SourcePorts.h"
#include "base/transfer/UsermapTransfer.h"
#include "core/common/Environment.h"

#include <algorithm>
#include <limits>

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
constexpr auto kIdleLimit = 30000ms;
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
        m_server.m_env.timing.setInterval(m_idle, kIdleLimit);
        m_idle.setSingleShot(true);
        connect(&m_idle, &QTimer::timeout, this, [this] { onIdle(); });
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { onBytesWritten(); });
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
        m_socket->disconnect(this);
        m_socket->abort();
        m_file.close();
    }

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
        m_idle.start();
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

    void onBytesWritten()
    {
        if (m_finished)
            return;
        m_idle.start();
        pump();
    }

    void onIdle()
    {
        // The last bytes handed to the system can take long to cross a slow link (its send
        // buffer holds megabytes): while they still leave, the member is taking them.
        const qint64 unsent = unsentBytes(*m_socket);
        if (m_state == State::WaitingForClose && unsent > 0 && unsent < m_lastUnsent) {
            m_lastUnsent = unsent;
            m_idle.start();
            return;
        }
        finish();
    }

    void closeGracefully()
    {
        m_state = State::WaitingForClose;
        m_socket->disconnectFromHost();
    }

    FileServer& m_server;
    QTcpSocket* m_socket;
    LineReader m_reader;
    QTimer m_idle;
    QFile m_file;
    qint64 m_remaining = 0;
    qint64 m_lastUnsent = std::numeric_limits<qint64>::max();
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
        if (m_connections.size() >= kMaxConnections) {
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
