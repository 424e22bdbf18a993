#pragma once

#include <QString>

// Addresses fixed when the program is built (see the CMake cache variables of the same names).
namespace vantrell::core {

QString builtInMainServerAddress();
quint16 mainServerPort();
QString builtInWebHost();
// The program's name alone, the same in every release: what the desktop knows the program by
// (its notifications, say), where a per-program rule must outlive an update.
QString programName();
// "Vantrell Alpha Version " and the version: the main window's title and the application's name,
// with the version the main server checks (lobby::kVersionToken).
QString programTitle();

} // namespace vantrell::core
