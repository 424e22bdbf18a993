#pragma once

#include "base/common/Result.h"

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace vantrell {

// Writes a file piece by piece (a download, a transfer) without ever leaving half a file
// under the target's name: the bytes go to a temporary file in the target's folder, and
// commit() flushes it and renames it onto the target. Until then an existing file of that
// name is untouched. Destroying the writer, or abort(), before a successful commit removes
// the temporary file.
class StreamedFileWriter
{
public:
    explicit StreamedFileWriter(std::filesystem::path target);
    ~StreamedFileWriter();

    StreamedFileWriter(const StreamedFileWriter&) = delete;
    StreamedFileWriter& operator=(const StreamedFileWriter&) = delete;

    // Creates the temporary file. Fails with "Unable to write to <full path of target>" when
    // the folder is missing or not writable.
    Result<void> open();
    Result<void> write(std::string_view bytes);
    // Flushes, syncs and renames onto the target (replacing it). The writer is done after.
    Result<void> commit();
    // Removes the temporary file; the target stays as it was.
    void abort();

    bool isOpen() const { return m_file != nullptr; }
    const std::filesystem::path& target() const { return m_target; }
    const std::filesystem::path& temporaryPath() const { return m_temporary; }
    unsigned long long bytesWritten() const { return m_written; }

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::FILE* m_file = nullptr;
    unsigned long long m_written = 0;
};

} // namespace vantrell
