#pragma once

#include <QString>

// Facts about this machine that the program tells its peers.
namespace vantrell::core {

// The operating-system text a member announces in "AddUserToList": system name, word size
// and service-pack text, joined by spaces.
QString hostOsDescription();

// The computer name sent with the lobby nickname.
QString hostComputerName();

} // namespace vantrell::core
