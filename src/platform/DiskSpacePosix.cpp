#include <sys/statvfs.h>

#include "DiskSpace.h"

namespace qx {

std::optional<DiskSpace> statDiskSpace(const std::filesystem::path& path) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0)
        return std::nullopt;
    DiskSpace space;
    space.freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    space.totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
    space.readOnly = (st.f_flag & ST_RDONLY) != 0;
    return space;
}

bool isUsableDrive(const std::filesystem::path& root) {
    std::error_code ec;
    return std::filesystem::is_directory(root, ec);
}

}  // namespace qx
