#include "ThreadSet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

namespace qx {
namespace {

class ThreadSetTest : public ::testing::Test {
protected:
    // Bounded: a count that does not come within this many looks fails the test instead of hanging it.
    template <typename Condition>
    static bool eventually(Condition condition) {
        for (int i = 0; i < 5000; ++i) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return condition();
    }

    SystemClock clock;
    std::vector<std::string> reports;
};

TEST_F(ThreadSetTest, FinishedThreadsAreJoinedAsTheyEnd) {
    ThreadSet threads(clock);
    std::atomic<int> ended{0};
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(threads.start(
            "short", [](std::stop_token) {}, [&] { ++ended; }));
    }
    // Threads that came and went must not pile up while the set lives.
    EXPECT_TRUE(eventually([&] { return threads.size() == 0; })) << threads.size() << " threads not joined";
    EXPECT_EQ(ended.load(), 50);
}

TEST_F(ThreadSetTest, ExceptionEndsOnlyItsThreadAndIsReported) {
    ThreadSet threads(clock, [this](const std::string& line) { reports.push_back(line); });
    std::atomic<bool> otherStopped{false};
    threads.start("worker", [&](std::stop_token stop) {
        while (!stop.stop_requested())
            std::this_thread::yield();
        otherStopped = true;
    });
    std::atomic<bool> exitRan{false};
    threads.start(
        "failing", [](std::stop_token) { throw std::runtime_error("disk gone"); }, [&] { exitRan = true; });
    EXPECT_TRUE(eventually([&] { return exitRan.load(); }));
    EXPECT_FALSE(otherStopped);
    threads.stop();
    EXPECT_TRUE(otherStopped);
    EXPECT_THAT(reports, ::testing::ElementsAre("Thread failing ended: disk gone"));
    EXPECT_FALSE(threads.start("late", [](std::stop_token) {}));
}

TEST_F(ThreadSetTest, AThreadThatStopsItsOwnSetIsJoinedBeforeTheSetGoes) {
    auto threads = std::make_unique<ThreadSet>(clock);
    std::atomic<bool> stopReturned{false};
    std::atomic<bool> tailDone{false};
    ThreadSet* set = threads.get();
    threads->start(
        "stopper",
        [&, set](std::stop_token) {
            set->stop();
            stopReturned = true;
        },
        [&] {
            // Work after the stop, which the owner must wait for before the set is destroyed.
            for (int i = 0; i < 1000; ++i)
                std::this_thread::yield();
            tailDone = true;
        });
    ASSERT_TRUE(eventually([&] { return stopReturned.load(); }));
    threads.reset();
    EXPECT_TRUE(tailDone);
}

TEST_F(ThreadSetTest, ASetDestroyedByItsOwnThreadLetsThatThreadFinish) {
    auto threads = std::make_shared<std::unique_ptr<ThreadSet>>(std::make_unique<ThreadSet>(clock));
    std::atomic<bool> exitRan{false};
    std::atomic<bool> bodyDone{false};
    (*threads)->start(
        "owner",
        [threads, &bodyDone](std::stop_token) {
            threads->reset();
            bodyDone = true;
        },
        [&] { exitRan = true; });
    EXPECT_TRUE(eventually([&] { return exitRan.load(); }));
    EXPECT_TRUE(bodyDone);
}

}  // namespace
}  // namespace qx
