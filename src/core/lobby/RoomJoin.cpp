#include "core/lobby/RoomJoin.h"

#include "core/common/QtStrings.h"

#include <QFileInfo>
#include <QMetaObject>

namespace vantrell::core {

namespace {
QFileInfo infoFor(const std::string& path)
{
    return QFileInfo(qs(path));
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
        emit logLine(qs(line));

    const std::optional<lobby::UsermapDownload>& download = m_pending->download;
    if (!download) {
        complete(m_pending->openRoom);
    } else if (download->refused) {
        downloadEnded(false, -1); // reported from a queued call, as a real download's end
    } else {
        m_downloader.start(m_env.webHost, qs(download->path),
                           std::filesystem::path(qs(download->target).toStdU16String()));
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
    if (ok) {
        emit logLine(qs(lobby::usermapReceivedLine(m_pending->download->target, size)));
        complete(m_pending->openRoom);
        return;
    }
    // The box waits for the player with window events running, so it opens from a queued
    // call rather than inside the download's network handler; quitting the program while
    // it waits aborts this join, and what the join would have opened is gone.
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation] {
            if (!m_pending || generation != m_generation)
                return;
            emit messageBox(qs(lobby::kUsermapDownloadError));
            if (m_pending && generation == m_generation)
                complete(m_pending->openRoom);
        },
        Qt::QueuedConnection);
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
