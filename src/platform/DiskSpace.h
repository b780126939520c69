#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace qx {

struct DiskSpace {
    std::uint64_t freeBytes = 0;  // available to the caller
    std::uint64_t totalBytes = 0;
    bool readOnly = false;  // mounted read-only (a CD, a write-protected medium): nothing can fill it
};

// The space of the file system that holds `path`, asked of the kernel (statvfs; on Windows
// GetDiskFreeSpaceExW); nullopt when it cannot be queried: the path does not exist, or (Windows) it lies
// on a CD-ROM, a network drive or a drive that is not there. May hang on a dead network mount.
std::optional<DiskSpace> statDiskSpace(const std::filesystem::path& path);

// Whether the drive whose root directory is `root` is there to hold files: on Windows a drive the system
// knows that is no CD-ROM (GetDriveTypeW); elsewhere an existing directory.
bool isUsableDrive(const std::filesystem::path& root);

// Disk-space queries with a time limit. A query that hangs cannot be cancelled, so it is left to end
// on its own in its thread; while it hangs, further queries of the same path answer "cannot be
// queried" at once instead of starting another thread, and at most `maxHanging` threads hang in all.
class DiskSpaceProbe {
public:
    using Query = std::function<std::optional<DiskSpace>(const std::filesystem::path&)>;

    explicit DiskSpaceProbe(Query query = statDiskSpace, std::size_t maxHanging = 4);

    // nullopt when the query fails, when it takes longer than `limit`, and when an earlier query of
    // the same path (or too many queries in all) still hangs.
    std::optional<DiskSpace> query(const std::filesystem::path& path, std::chrono::milliseconds limit);

    // The query threads that have not ended yet.
    std::size_t running() const;

private:
    struct Shared;
    Query m_query;
    std::size_t m_maxHanging;
    std::shared_ptr<Shared> m_shared;
};

// The space of the file system that holds `path`, through one probe for the whole process. nullopt
// when it cannot be queried, including a query that hangs (a dead network mount) past `limit`.
std::optional<DiskSpace> queryDiskSpace(const std::filesystem::path& path,
                                        std::chrono::milliseconds limit = std::chrono::seconds(5));

}  // namespace qx
