#pragma once

// The server's event loop is Boost.Asio's, so that Beast can serve HTTP on the same loop as
// the lobby connections. One alias keeps the rest of the server short.
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/system/error_code.hpp>

namespace vantrell::server {

namespace asio = boost::asio;
using ErrorCode = boost::system::error_code;

} // namespace vantrell::server
