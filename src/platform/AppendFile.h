#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "AtomicFile.h"

namespace qx {

// A log file opened for appending only (created when missing, never through a link on Linux, where
// the file's mode is 0644 less the umask), for as long as the object lives. Each append is one write
// at the file's end, so that lines of several writers, in this process or others, stay whole.
class AppendFile {
public:
    explicit AppendFile(const std::filesystem::path& file);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Whether the file could be opened; why not when it could not (step "open").
    const FileResult& opened() const { return m_opened; }

    // Appends `bytes` with one write. A write that falls short (a full file system) fails with ENOSPC.
    FileResult append(std::string_view bytes);

private:
    FileResult m_opened;
    std::intptr_t m_handle = -1;  // the descriptor, on Windows the handle; -1: none
};

// Writes `text` to the process's standard error, whole, without buffering.
void writeStandardError(std::string_view text);

}  // namespace qx
