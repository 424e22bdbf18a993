#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// The longest line any of our protocols accepts, not counting its line end.
inline constexpr std::size_t kMaxLineLength = 16384;

// Builds the bytes of one line for the wire: every character outside 7-bit ASCII becomes
// "?" (a whole UTF-8 sequence counts as one character) and CR LF is appended.
std::string encodeLine(std::string_view text);

// Splits an incoming byte stream into lines. Bytes are fed as they arrive; whole lines come
// out in order. A line ends at LF, and one CR right before the LF is dropped. A line longer
// than kMaxLineLength is a read error: the reader then stays failed and yields nothing more,
// and the connection's owner is expected to close the connection.
class LineReader
{
public:
    explicit LineReader(std::size_t maxLineLength = kMaxLineLength);

    // Appends received bytes. Returns false once the reader has failed.
    bool feed(std::string_view bytes);

    // The next complete line, without its line end, or nothing when none is complete.
    std::optional<std::string> nextLine();

    bool failed() const { return m_failed; }
    // Bytes held that do not yet form a whole line.
    std::size_t pendingBytes() const { return m_buffer.size() - m_scanFrom; }

private:
    void compact();

    std::size_t m_maxLineLength;
    std::string m_buffer;
    std::size_t m_scanFrom = 0; // where the next line starts in m_buffer
    bool m_failed = false;
};

} // namespace vantrell
