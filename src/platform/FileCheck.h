#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace qx {

// Looks at a file the start-up and the diagnoses name, without ever blocking on it: opened without
// waiting (a FIFO or a device in its place cannot hang the caller) and checked for its type.

// Why `file` cannot be read, or nullopt when it can (one byte is read). `error` gets the system's
// error, no_such_file_or_directory when the file is missing; empty when the reason is the file's type
// ("not a regular file").
std::optional<std::string> whyUnreadable(const std::filesystem::path& file, std::error_code& error);

// Whether this process may write `path` (a directory: make files in it), as the system's access check
// answers; false when it does not exist.
bool mayWrite(const std::filesystem::path& path);

// The first `count` bytes of the regular file `file` and its size; nullopt when it cannot be opened or
// holds fewer bytes.
struct FileStart {
    std::vector<unsigned char> bytes;
    std::uint64_t size = 0;
};
std::optional<FileStart> readFileStart(const std::filesystem::path& file, std::size_t count);

}  // namespace qx
