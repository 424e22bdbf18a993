#pragma once

#include <QString>

// Addresses fixed when the program is built (see the CMake cache variables of the same names).
namespace vantrell::core {

QString builtInMainServerAddress();
quint16 mainServerPort();
QString builtInWebHost();

} // namespace vantrell::core
