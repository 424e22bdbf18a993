#include "core/transfer/ClientUserMapCheckFileTransfer.h"

#include "base/common/LineFraming.h"
#include "core/common/Timing.h"

#include <algorithm>
#include <filesystem>

#include <QTcpSocket>

namespace vantrell::core {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {
constexpr auto kWait = 5000ms;
constexpr auto kConnectLimit = 10000ms;
constexpr auto kStallLimit = 30000ms;

const QString kError = QStringLiteral("Error getting UserMap file.");

fs::path nativePath(const std::string& utf8)
{
    return fs::path(QString::fromStdString(utf8).toStdU16String());
}
} // namespace

ClientUserMapCheckFileTransfer::ClientUserMapCheckFileTransfer(const Timing& timing, Setup setup,
                                                               QObject* parent)
    : QObject(parent), m_timing(timing), m_setup(std::move(setup))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        switch (m_step) {
        case Step::FirstWait:
            checkMap();
            break;
        case Step::Connecting:
            cannotConnect();
            break;
        case Step::SecondWait:
            sendRequest();
            break;
        case Step::ReadingSize:
        case Step::ReadingContent:
            fail();
            break;
        case Step::Idle:
        case Step::Done:
            break;
        }
    });
}

ClientUserMapCheckFileTransfer::~ClientUserMapCheckFileTransfer()
{
    cancel();
}

void ClientUserMapCheckFileTransfer::start()
{
    cancel();
    m_running = true;
    m_step = Step::FirstWait;
    m_timing.setInterval(m_timer, kWait);
    m_timer.start();
}

void ClientUserMapCheckFileTransfer::cancel()
{
    m_timer.stop();
    dropSocket();
    m_writer.reset();
    m_step = Step::Idle;
    m_running = false;
}

void ClientUserMapCheckFileTransfer::checkMap()
{
    const auto rows = m_setup.settings ? m_setup.settings() : std::vector<roomhost::SettingRow>{};
    if (rows.size() < 2) {
        finish();
        return;
    }
    const auto decision = transfer::memberUsermapDecision(rows);
    using Kind = transfer::MemberUsermapDecision::Kind;
    if (decision.kind == Kind::Nothing) {
        finish();
        return;
    }
    if (decision.kind == Kind::UnsafeName) {
        emit logLine(kError);
        finish();
        return;
    }
    m_request = decision.request;
    m_folder = m_setup.folders ? m_setup.folders(m_request.folderKey) : std::string();
    const fs::path folder = nativePath(m_folder);
    const fs::path target = folder / nativePath(m_request.map);
    std::error_code ec;
    if (!m_folder.empty() && fs::exists(target, ec)) {
        finish();
        return;
    }
    // Everything that can fail here fails before the host is troubled.
    m_writer = std::make_unique<StreamedFileWriter>(target);
    if (m_folder.empty() || !fs::is_directory(folder, ec) || !m_writer->open()) {
        m_writer.reset();
        emit logLine(kError);
        finish();
        return;
    }

    m_step = Step::Connecting;
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &ClientUserMapCheckFileTransfer::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &ClientUserMapCheckFileTransfer::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this,
            &ClientUserMapCheckFileTransfer::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_step == Step::Connecting)
            cannotConnect();
        else
            onDisconnected();
    });
    m_timing.setInterval(m_timer, kConnectLimit);
    m_timer.start();
    m_socket->connectToHost(m_setup.hostAddress, m_setup.port);
}

void ClientUserMapCheckFileTransfer::cannotConnect()
{
    if (m_step != Step::Connecting)
        return;
    dropSocket();
    m_writer.reset();
    emit logLine(QStringLiteral("Unable to get/transfer the UserMap file because cannot connect "
                                "to the Room owners Host TCP port %1.")
                     .arg(m_setup.port));
    finish();
}

void ClientUserMapCheckFileTransfer::onConnected()
{
    if (m_step != Step::Connecting)
        return;
    m_step = Step::SecondWait;
    m_timing.setInterval(m_timer, kWait);
    m_timer.start();
}

void ClientUserMapCheckFileTransfer::sendRequest()
{
    const std::string line = encodeLine(m_request.requestLine);
    if (m_socket->write(line.data(), static_cast<qint64>(line.size())) < 0) {
        fail();
        return;
    }
    emit logLine(QStringLiteral("Sent request to get file"));
    m_step = Step::ReadingSize;
    m_sizeReceived = 0;
    m_timing.setInterval(m_timer, kStallLimit);
    m_timer.start();
    onReadyRead();
}

void ClientUserMapCheckFileTransfer::onReadyRead()
{
    if (m_step != Step::ReadingSize && m_step != Step::ReadingContent)
        return; // nothing is asked yet; what a host sends early waits in the socket
    if (m_socket->bytesAvailable() > 0)
        m_timer.start(); // bytes came: the stall limit counts from now
    if (m_step == Step::ReadingSize) {
        const auto got = m_socket->read(m_sizeBytes.data() + m_sizeReceived,
                                        static_cast<qint64>(m_sizeBytes.size() - m_sizeReceived));
        if (got > 0)
            m_sizeReceived += static_cast<std::size_t>(got);
        if (m_sizeReceived < m_sizeBytes.size())
            return;
        const std::int64_t size = transfer::decodeSize(m_sizeBytes);
        emit logLine(QStringLiteral("Received file length (%1 bytes)").arg(size));
        if (!transfer::isAcceptableSize(size)) {
            fail();
            return;
        }
        m_remaining = size;
        m_step = Step::ReadingContent;
    }
    while (m_remaining > 0 && m_socket->bytesAvailable() > 0) {
        const QByteArray chunk =
            m_socket->read(std::min<qint64>(m_remaining, m_socket->bytesAvailable()));
        if (chunk.isEmpty())
            break;
        if (!m_writer->write(std::string_view(chunk.constData(), size_t(chunk.size())))) {
            fail();
            return;
        }
        m_remaining -= chunk.size();
    }
    if (m_remaining == 0)
        complete();
}

void ClientUserMapCheckFileTransfer::onDisconnected()
{
    if (m_step == Step::Connecting) {
        cannotConnect();
        return;
    }
    if (m_step == Step::SecondWait || m_step == Step::ReadingSize ||
        m_step == Step::ReadingContent) {
        // Whatever came before the end still counts: a complete file may end with the close.
        if (m_step != Step::SecondWait)
            onReadyRead();
        if (m_step != Step::Done && m_running)
            fail();
    }
}

void ClientUserMapCheckFileTransfer::complete()
{
    m_step = Step::Done;
    m_timer.stop();
    emit logLine(QStringLiteral("Received content of file, actual file length is %1 bytes")
                     .arg(m_writer->bytesWritten()));
    std::error_code ec;
    const bool replacing = fs::exists(m_writer->target(), ec);
    if (!m_writer->commit()) {
        fail();
        return;
    }
    m_writer.reset();
    dropSocket();
    if (replacing)
        emit logLine(QStringLiteral("Deleted old file"));
    emit logLine(QString());
    emit logLine(QStringLiteral("Usermap transfer success: ") +
                 QString::fromStdString(transfer::usermapPathText(m_folder, m_request.map)));
    finish();
}

void ClientUserMapCheckFileTransfer::fail()
{
    m_timer.stop();
    m_writer.reset(); // removes the temporary file; an older file of that name stays
    dropSocket();
    emit logLine(kError);
    finish();
}

void ClientUserMapCheckFileTransfer::finish()
{
    m_step = Step::Done;
    m_running = false;
    m_timer.stop();
    emit finished();
}

void ClientUserMapCheckFileTransfer::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

} // namespace vantrell::core
