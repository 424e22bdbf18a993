#include "core/lobby/RoomJoin.h"

#include <QFileInfo>
#include <QTimer>

namespace vantrell::core {

namespace {
QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFileInfo infoFor(const std::string& path)
{
    return QFileInfo(fromUtf8(path));
}
} // namespace

lobby::JoinSettings joinSettingsFrom(const settings::SourcePortSettings& sourcePorts,
                                     settings::ConfigFile::Status fileStatus)
{
    lobby::JoinSettings join;
    join.readable = fileStatus != settings::ConfigFile::Status::Unreadable;
    join.sourcePorts = sourcePorts;
    return join;
}

RoomJoin::RoomJoin(const Environment& env, settings::Settings& settings, QObject* parent)
    : QObject(parent), m_env(env), m_settings(settings), m_downloader(env)
{
    connect(&m_downloader, &UsermapDownloader::progress, this, &RoomJoin::downloadProgress);
    connect(&m_downloader, &UsermapDownloader::succeeded, this,
            [this](qint64 size) { downloadEnded(true, size); });
    connect(&m_downloader, &UsermapDownloader::failed, this, [this] { downloadEnded(false, -1); });
}

bool RoomJoin::join(const lobby::JoinRow& row)
{
    if (m_pending)
        return false;
    ++m_generation;
    const lobby::JoinDisk disk{
        [](const std::string& path) { return infoFor(path).isDir(); },
        [](const std::string& path) { return infoFor(path).isFile(); },
    };
    // The file's word counts at the moment of the join.
    const settings::ConfigFile::Status status = m_settings.sourcePorts.load(m_settings.file);
    m_pending = lobby::planJoin(row, joinSettingsFrom(m_settings.sourcePorts, status), disk,
                                m_env.webHost.toStdString());
    for (const std::string& line : m_pending->logLines)
        emit logLine(fromUtf8(line));

    const std::optional<lobby::UsermapDownload>& download = m_pending->download;
    if (!download) {
        complete(m_pending->openRoom);
    } else if (download->refused) {
        // Reported after join() returns, as a real download's end would be.
        QTimer::singleShot(0, this, [this, generation = m_generation] {
            if (m_pending && generation == m_generation)
                downloadEnded(false, -1);
        });
    } else {
        m_downloader.start(m_env.webHost, fromUtf8(download->path),
                           std::filesystem::path(fromUtf8(download->target).toStdU16String()));
    }
    return true;
}

void RoomJoin::abort()
{
    m_downloader.abort();
    m_pending.reset();
}

void RoomJoin::downloadEnded(bool ok, qint64 size)
{
    if (!m_pending)
        return;
    if (ok)
        emit logLine(fromUtf8(lobby::usermapReceivedLine(m_pending->download->target, size)));
    else
        emit messageBox(fromUtf8(std::string(lobby::kUsermapDownloadError)));
    complete(m_pending->openRoom);
}

void RoomJoin::complete(bool openRoom)
{
    const lobby::RoomAddress address = m_pending->address;
    m_pending.reset();
    if (openRoom)
        emit this->openRoom(address);
    emit finished();
}

} // namespace vantrell::core
