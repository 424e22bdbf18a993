#include "server/Connection.h"

#include <array>
#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>
#include <span>

namespace vantrell::server {

namespace {
// How many queued lines one write hands to the kernel at most.
constexpr std::size_t kMaxGather = 64;
} // namespace

Connection::Connection(asio::ip::tcp::socket socket, ClientId id, std::string peerAddress,
                       std::string peerText, const Limits& limits, ConnectionOwner& owner,
                       Metrics& metrics)
    : m_socket(std::move(socket)), m_id(id), m_peerAddress(std::move(peerAddress)),
      m_peerText(std::move(peerText)), m_limits(limits), m_owner(owner), m_metrics(metrics),
      m_loginTimer(m_socket.get_executor())
{
}

void Connection::start()
{
    ErrorCode ignored;
    m_socket.non_blocking(true, ignored);
    m_socket.set_option(asio::socket_base::keep_alive(true), ignored);
    // Lines are gathered before each write, so there is nothing for Nagle to add.
    m_socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    waitReadable();
    if (m_limits.loginTimeout.count() > 0) {
        // A connection that never passes the version check would hold its slot, and the
        // per-address share, for as long as its peer likes.
        m_loginTimer.expires_after(m_limits.loginTimeout);
        m_loginTimer.async_wait([self = shared_from_this()](const ErrorCode& error) {
            if (!error && self->m_versionState != VersionState::Accepted && !self->m_closed) {
                // A wrong version was counted when it was answered; one connection, one count.
                if (self->m_versionState == VersionState::Unchecked)
                    self->m_metrics.refused(Refusal::LoginTimeout);
                self->close("no accepted version check within the login timeout");
            }
        });
    }
}

void Connection::setVersionState(VersionState state)
{
    m_versionState = state;
    if (state == VersionState::Accepted)
        m_loginTimer.cancel();
}

void Connection::waitReadable()
{
    // Waiting for readiness instead of reading into a buffer of our own keeps an idle
    // connection small: the bytes go to the one shared read buffer when they arrive.
    m_socket.async_wait(
        asio::socket_base::wait_read,
        [self = shared_from_this()](const ErrorCode& error) { self->onReadable(error); });
}

void Connection::onReadable(const ErrorCode& error)
{
    if (m_closed)
        return;
    if (error) {
        close(error.message());
        return;
    }
    auto& buffer = m_owner.readBuffer();
    ErrorCode readError;
    const std::size_t n = m_socket.read_some(asio::buffer(buffer), readError);
    if (readError == asio::error::would_block || readError == asio::error::try_again) {
        waitReadable();
        return;
    }
    if (readError) {
        close(readError == asio::error::eof ? "closed by client" : readError.message());
        return;
    }
    m_reader.feed(std::string_view(buffer.data(), n));
    while (auto line = m_reader.nextLine()) {
        ++m_metrics.linesReceived;
        m_owner.handleLine(*this, *line);
        if (m_closed)
            return;
    }
    if (m_reader.failed()) {
        m_metrics.refused(Refusal::LongLine);
        close("line longer than " + std::to_string(kMaxLineLength) + " characters");
        return;
    }
    waitReadable();
}

void Connection::send(const SharedLine& line)
{
    if (m_closed)
        return;
    if (m_pendingBytes + line->size() > m_limits.maxPendingOutput) {
        close("not reading: more than " + std::to_string(m_limits.maxPendingOutput) +
              " bytes of output pending");
        return;
    }
    m_output.push_back(line);
    m_pendingBytes += line->size();
    if (!m_flushRequested && !m_waitingWritable) {
        m_flushRequested = true;
        m_owner.requestFlush(*this);
    }
}

void Connection::flush()
{
    m_flushRequested = false;
    if (m_closed || m_waitingWritable)
        return;
    std::array<asio::const_buffer, kMaxGather> buffers;
    while (m_outputHead < m_output.size()) {
        std::size_t count = 0;
        for (std::size_t i = m_outputHead; i < m_output.size() && count < kMaxGather; ++i) {
            const std::string& text = *m_output[i];
            const std::size_t skip = i == m_outputHead ? m_outputOffset : 0;
            buffers[count++] = asio::buffer(text.data() + skip, text.size() - skip);
        }
        ErrorCode error;
        std::size_t written =
            m_socket.write_some(std::span<const asio::const_buffer>(buffers.data(), count), error);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            waitWritable();
            return;
        }
        if (error) {
            close(error.message());
            return;
        }
        m_pendingBytes -= written;
        m_metrics.bytesSent += written;
        while (written > 0) {
            const std::size_t left = m_output[m_outputHead]->size() - m_outputOffset;
            if (written < left) {
                m_outputOffset += written;
                break;
            }
            written -= left;
            m_output[m_outputHead++].reset();
            ++m_metrics.linesSent;
            m_outputOffset = 0;
        }
    }
    m_output.clear();
    m_outputHead = 0;
    if (m_output.capacity() > 4 * kMaxGather)
        m_output.shrink_to_fit();
}

void Connection::waitWritable()
{
    m_waitingWritable = true;
    m_socket.async_wait(asio::socket_base::wait_write,
                        [self = shared_from_this()](const ErrorCode& error) {
                            self->m_waitingWritable = false;
                            if (self->m_closed)
                                return;
                            if (error) {
                                self->close(error.message());
                                return;
                            }
                            self->flush();
                        });
}

void Connection::close(const std::string& reason)
{
    if (m_closed)
        return;
    m_closed = true;
    m_loginTimer.cancel();
    ErrorCode ignored;
    m_socket.close(ignored);
    m_output.clear();
    m_pendingBytes = 0;
    m_owner.connectionClosed(*this, reason);
}

bool Connection::admitChatLine(std::chrono::steady_clock::time_point now)
{
    if (m_limits.floodLines == 0)
        return true;
    if (m_floodRing.size() > m_limits.floodLines) {
        // The limit was lowered by a reload: start counting afresh against the new one.
        m_floodRing.clear();
        m_floodNext = 0;
    }
    if (m_floodRing.size() < m_limits.floodLines) {
        m_floodRing.push_back(now);
        return true;
    }
    // The ring holds the times of the last floodLines admitted lines; the oldest of them
    // must have left the window before another line is admitted.
    auto& oldest = m_floodRing[m_floodNext];
    if (now - oldest < m_limits.floodWindow) {
        ++m_floodDropped;
        return false;
    }
    oldest = now;
    m_floodNext = (m_floodNext + 1) % m_floodRing.size();
    return true;
}

bool Connection::firstRefusal(unsigned kind)
{
    const unsigned bit = 1u << kind;
    if (m_refusalsLogged & bit)
        return false;
    m_refusalsLogged |= bit;
    return true;
}

} // namespace vantrell::server
