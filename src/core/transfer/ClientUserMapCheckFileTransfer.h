#pragma once

#include "base/common/StreamedFile.h"
#include "base/roomhost/RoomCodec.h"
#include "base/transfer/UsermapTransfer.h"
#include "core/common/Environment.h"
#include "core/transfer/UsermapFolders.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

namespace vantrell::core {

class Timing;

// A member's usermap check for one stay in a room. Five seconds after it starts (the
// room's settings have arrived meanwhile) it looks at the room's game and map; a usermap
// missing from the member's usermaps folder is fetched from the host's file server. The
// game and map read then hold for the whole transfer. Whatever happens, finished() tells
// the room window that "Ready" may be used; cancel() (the window closing) ends it silently.
//
// The file never appears half written: the bytes go to a temporary file beside the target,
// renamed onto it after the last byte. A name that is not a plain file name never becomes a
// path, a size outside 0..512 MiB is refused, and a host that sends nothing for 30 s (or
// cannot be reached within 10 s) fails the transfer.
class ClientUserMapCheckFileTransfer : public QObject
{
    Q_OBJECT

public:
    struct Setup
    {
        // The room host: the address of the room connection, the file server's port.
        QString hostAddress;
        quint16 port = kFileServerPort;
        // The room's settings list as the member holds it now.
        std::function<std::vector<roomhost::SettingRow>()> settings;
        UsermapFolderSource folders;
    };

    // timing must outlive the check.
    ClientUserMapCheckFileTransfer(const Timing& timing, Setup setup, QObject* parent = nullptr);
    ~ClientUserMapCheckFileTransfer() override;

    void start();
    // Stops at whatever step it is in; the temporary file goes, finished() never comes.
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    // For the room log.
    void logLine(const QString& line);
    void finished();

private:
    enum class Step
    {
        Idle,
        FirstWait,
        Connecting,
        SecondWait,
        ReadingSize,
        ReadingContent,
        Done,
    };

    void checkMap();
    void onConnected();
    void sendRequest();
    void onReadyRead();
    void onDisconnected();
    void complete();
    void fail();
    void cannotConnect();
    void finish();
    void dropSocket();

    const Timing& m_timing;
    Setup m_setup;
    Step m_step = Step::Idle;
    bool m_running = false;
    QTimer m_timer; // the waits, the connect limit and the stall limit
    QTcpSocket* m_socket = nullptr;
    transfer::UsermapRequest m_request;
    std::string m_folder;
    std::unique_ptr<StreamedFileWriter> m_writer;
    std::array<char, transfer::kSizeBytes> m_sizeBytes{};
    std::size_t m_sizeReceived = 0;
    std::int64_t m_remaining = 0;
};

} // namespace vantrell::core
