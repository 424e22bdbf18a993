#pragma once

#include "base/lobby/JoinPlan.h"
#include "base/settings/Settings.h"
#include "core/common/Environment.h"
#include "core/lobby/UsermapDownloader.h"

#include <filesystem>
#include <optional>

#include <QObject>
#include <QString>

namespace vantrell::core {

// What a join needs of the source-port settings, and whether the file could be read.
lobby::JoinSettings joinSettingsFrom(const settings::SourcePortSettings& sourcePorts,
                                     settings::ConfigFile::Status fileStatus);

// Carries out one join at a time: refreshes the source-port settings from the file, logs the
// checks' advice, fetches a missing usermap from the web site while the event loop runs, and then
// asks for the room window. The window that double-clicked only shows what this reports.
class RoomJoin : public QObject
{
    Q_OBJECT

public:
    RoomJoin(const Environment& env, settings::Settings& settings, QObject* parent = nullptr);

    // Starts a join with the row's values as they are now. Returns false, doing nothing, while
    // an earlier join is still under way.
    bool join(const lobby::JoinRow& row);
    bool isJoining() const { return m_pending.has_value(); }
    // Ends the join under way without opening anything; a download stops and leaves no file.
    void abort();

signals:
    void logLine(const QString& line);
    // A usermap download's bytes so far and total (-1 while unknown).
    void downloadProgress(qint64 received, qint64 total);
    // A message box for the player.
    void messageBox(const QString& text);
    // The join passed: the room client window is to open for this room.
    void openRoom(const vantrell::lobby::RoomAddress& address);
    // The join has ended, whatever its outcome.
    void finished();

private:
    void downloadEnded(bool ok, qint64 size);
    void complete(bool openRoom);

    const Environment& m_env;
    settings::Settings& m_settings;
    UsermapDownloader m_downloader;
    std::optional<lobby::JoinPlan> m_pending;
    int m_generation = 0;
};

} // namespace vantrell::core
