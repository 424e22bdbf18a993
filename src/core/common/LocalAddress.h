#pragma once

#include <QString>

namespace vantrell::core {

// The machine's first IPv4 address (loopback left out) as dotted decimal, or "127.0.0.1"
// when it has none. Used as the internal end of port mappings and in member rows.
QString localAddress();

} // namespace vantrell::core
