#pragma once

#include "base/roomhost/RoomCodec.h"
#include "core/transfer/FileServerControl.h"
#include "core/transfer/UsermapFolders.h"

#include <functional>
#include <vector>

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;

namespace vantrell::core {

struct Environment;
class FileServerConnection;

// The room host's usermap file server. Each member connection asks once ("RequestFile" for
// Duke Nukem 3D, "NBloodRequestFile" for Blood) and gets the size of the room's usermap (8
// bytes, most significant first) and then its bytes, streamed from the file in chunks. The
// room's game and map are read from the room's current settings list at each request; the
// request never names a file, and nothing outside the usermaps folder is ever served.
//
// Connections are served side by side on the event loop, so a member that stalls delays no
// other. A connection that sends no request within 30 s, takes no byte for 30 s, or does
// not close within 30 s after taking the last byte is dropped, and so is a transfer that
// has not ended a minute plus its size at 4 KiB/s after it began. At most 32 connections
// are held at once, at most 4 from one address.
class FileServer : public QObject, public FileServerControl
{
    Q_OBJECT

public:
    using SettingsSource = std::function<std::vector<roomhost::SettingRow>()>;

    static constexpr int kMaxConnections = 32;
    static constexpr int kMaxPerAddress = 4;

    // Listens on env.fileServerPort; env must outlive the server. The folders default to
    // the configuration file's.
    explicit FileServer(const Environment& env, QObject* parent = nullptr);
    ~FileServer() override;

    // The room's settings list as it is now (the host's current list).
    void setSettingsSource(SettingsSource source) { m_settings = std::move(source); }
    void setFolderSource(UsermapFolderSource source) { m_folders = std::move(source); }
    // Members reach the room by IPv4; tests use loopback.
    void setListenAddress(const QHostAddress& address) { m_listenAddress = address; }

    quint16 configuredPort() const override;
    bool isListening() const override;
    bool start() override;
    void stop() override;

    quint16 serverPort() const;
    int connectionCount() const { return static_cast<int>(m_connections.size()); }

signals:
    // For the host's room log.
    void logLine(const QString& line);

private:
    friend class FileServerConnection;

    void onNewConnection();
    void connectionFinished(FileServerConnection* connection);

    const Environment& m_env;
    QTcpServer* m_server;
    QHostAddress m_listenAddress = QHostAddress::AnyIPv4;
    SettingsSource m_settings;
    UsermapFolderSource m_folders;
    QList<FileServerConnection*> m_connections;
};

} // namespace vantrell::core
