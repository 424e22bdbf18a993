#include "base/common/StreamedFile.h"

#include "base/common/AtomicFile.h"

#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vantrell {

namespace fs = std::filesystem;

StreamedFileWriter::StreamedFileWriter(fs::path target) : m_target(std::move(target)) {}

StreamedFileWriter::~StreamedFileWriter()
{
    abort();
}

Result<void> StreamedFileWriter::open()
{
    abort();
    m_temporary = temporaryPathBeside(m_target);
    m_written = 0;
#ifdef _WIN32
    m_file = _wfopen(m_temporary.c_str(), L"wbx");
#else
    // Close-on-exec: a game started while a usermap arrives must not inherit the half-written
    // file and hold it open for as long as the game runs.
    m_file = std::fopen(m_temporary.c_str(), "wbxe");
#endif
    if (!m_file) {
        m_temporary.clear();
        return Error{unableToWriteMessage(m_target)};
    }
    return {};
}

Result<void> StreamedFileWriter::write(std::string_view bytes)
{
    if (!m_file)
        return Error{unableToWriteMessage(m_target)};
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        abort();
        return Error{unableToWriteMessage(m_target)};
    }
    m_written += bytes.size();
    return {};
}

Result<void> StreamedFileWriter::commit()
{
    if (!m_file)
        return Error{unableToWriteMessage(m_target)};
    bool ok = std::fflush(m_file) == 0;
#ifndef _WIN32
    ok = ok && ::fsync(::fileno(m_file)) == 0;
#endif
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    std::error_code ec;
    if (ok)
        fs::rename(m_temporary, m_target, ec);
    if (!ok || ec) {
        fs::remove(m_temporary, ec);
        m_temporary.clear();
        return Error{unableToWriteMessage(m_target)};
    }
    m_temporary.clear();
    return {};
}

void StreamedFileWriter::abort()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temporary.empty()) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
        m_temporary.clear();
    }
}

} // namespace vantrell
