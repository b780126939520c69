#include "DiskSpace.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace qx {

// Shared with the query threads, which may outlive the probe.
struct DiskSpaceProbe::Shared {
    std::mutex mutex;
    std::condition_variable ended;
    std::set<std::string> busyPaths;
};

DiskSpaceProbe::DiskSpaceProbe(Query query, std::size_t maxHanging)
    : m_query(std::move(query)), m_maxHanging(maxHanging), m_shared(std::make_shared<Shared>()) {}

std::optional<DiskSpace> DiskSpaceProbe::query(const std::filesystem::path& path,
                                               std::chrono::milliseconds limit) {
    struct Answer {
        bool ready = false;
        std::optional<DiskSpace> space;
    };
    auto answer = std::make_shared<Answer>();
    const std::string key = path.string();
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->busyPaths.count(key) || m_shared->busyPaths.size() >= m_maxHanging)
            return std::nullopt;
        m_shared->busyPaths.insert(key);
    }
    std::thread([shared = m_shared, query = m_query, path, key, answer] {
        std::optional<DiskSpace> space = query(path);
        std::lock_guard lock(shared->mutex);
        answer->space = space;
        answer->ready = true;
        shared->busyPaths.erase(key);
        shared->ended.notify_all();
    }).detach();
    std::unique_lock lock(m_shared->mutex);
    if (!m_shared->ended.wait_for(lock, limit, [&] { return answer->ready; }))
        return std::nullopt;
    return answer->space;
}

std::size_t DiskSpaceProbe::running() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->busyPaths.size();
}

std::optional<DiskSpace> queryDiskSpace(const std::filesystem::path& path, std::chrono::milliseconds limit) {
    static DiskSpaceProbe probe;
    return probe.query(path, limit);
}

}  // namespace qx
