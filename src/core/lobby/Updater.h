#pragma once

#include <QString>

namespace vantrell::core {

// The file name of the separate updater program: "updater.exe" on Windows, "updater"
// elsewhere.
QString updaterFileName();

// The updater in the given folder, if it is there.
QString updaterPath(const QString& folder);

// Starts the updater found in the folder, detached and without arguments, with that
// folder as its working folder. Whether it really started is not reported: the program
// ends right after either way.
void startUpdater(const QString& path);

// What an installed program says instead of offering the updater: its package brings the
// new version.
QString packageUpdateText();

} // namespace vantrell::core
