#include "DiskSpace.h"

#include <sys/statvfs.h>

#include <future>
#include <memory>
#include <thread>

namespace qx {

std::optional<DiskSpace> queryDiskSpace(const std::filesystem::path& path, std::chrono::milliseconds limit) {
    auto promise = std::make_shared<std::promise<std::optional<DiskSpace>>>();
    auto result = promise->get_future();
    // A hung statvfs cannot be cancelled; the thread is left to finish on its own.
    std::thread([promise, path] {
        struct statvfs st {};
        if (::statvfs(path.c_str(), &st) != 0) {
            promise->set_value(std::nullopt);
            return;
        }
        DiskSpace space;
        space.freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
        space.totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
        space.readOnly = (st.f_flag & ST_RDONLY) != 0;
        promise->set_value(space);
    }).detach();
    if (result.wait_for(limit) != std::future_status::ready)
        return std::nullopt;
    return result.get();
}

}  // namespace qx
