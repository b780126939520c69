#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace qx {

struct DiskSpace {
    std::uint64_t freeBytes = 0;  // available to the caller
    std::uint64_t totalBytes = 0;
    bool readOnly = false;  // mounted read-only (a CD, a write-protected medium): nothing can fill it
};

// The space of the file system that holds `path`. nullopt when it cannot be queried, including a
// query that hangs (a dead network mount) past `limit`.
std::optional<DiskSpace> queryDiskSpace(const std::filesystem::path& path,
                                        std::chrono::milliseconds limit = std::chrono::seconds(5));

}  // namespace qx
