#include "DiskSpace.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "Sandbox.h"
#include "WaitUntil.h"

namespace qx {
namespace {

TEST(DiskSpace, QueriesAnExistingPathAndFailsForAMissingOne) {
    test::Sandbox sandbox;
    auto space = queryDiskSpace(sandbox.root());
    ASSERT_TRUE(space);
    EXPECT_GT(space->totalBytes, 0u);
    EXPECT_LE(space->freeBytes, space->totalBytes);
    EXPECT_FALSE(queryDiskSpace(sandbox.path("missing/dir")));
}

// A file system that answers only when the test lets it: a dead network mount.
class HangingMount {
public:
    std::optional<DiskSpace> query(const std::filesystem::path&) {
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return m_free; });
        return DiskSpace{1, 2};
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_free = true;
        m_released.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_free = false;
};

TEST(DiskSpace, HangingQueriesDoNotPileUpThreads) {
    auto mount = std::make_shared<HangingMount>();
    DiskSpaceProbe probe([mount](const std::filesystem::path& p) { return mount->query(p); }, 3);
    const std::chrono::milliseconds noWait{0};
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(probe.query("/mnt/dead", noWait));
    EXPECT_EQ(probe.running(), 1u);
    for (const char* other : {"/mnt/b", "/mnt/c", "/mnt/d", "/mnt/e"})
        EXPECT_FALSE(probe.query(other, noWait));
    EXPECT_EQ(probe.running(), 3u);

    mount->release();
    EXPECT_TRUE(test::waitUntil([&] { return probe.running() == 0; }, std::chrono::seconds(5),
                                std::chrono::milliseconds(1)));
    auto answer = probe.query("/mnt/dead", std::chrono::seconds(60));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->totalBytes, 2u);
}

}  // namespace
}  // namespace qx
