#pragma once

#include "base/roomhost/RoomSettings.h"
#include "base/settings/NetworkingSettings.h"
#include "core/roomhost/RoomHost.h"

namespace vantrell::core {

// What a new room starts from: the settings chosen in the creation window, the room port,
// game port and lobby nickname in force, and this machine's description and local address.
// A room port setting that names no port (empty, not a number, 0, above 65535) makes the
// room unable to start rather than listen where no member would look.
RoomHostConfig roomHostConfigFor(const roomhost::RoomSettings& settings,
                                 const settings::NetworkingSettings& networking);

} // namespace vantrell::core
