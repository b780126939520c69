#include "ThreadSet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
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

// A stop reaches threads asleep on either clock, the way a service run ends: the owner wakes, stops
// the set and joins. Many rounds, because the fault this guards against was a lost wake-up between the
// stop's callback and the sleeper that ended it, seen once in a few dozen stops. A round that hangs
// ends the process with the round's name rather than holding the run until its time limit.
struct SleepingStop {
    const char* name;
    std::function<std::unique_ptr<Clock>()> clock;
};

class SleepingStopTest : public ::testing::TestWithParam<SleepingStop> {};

TEST_P(SleepingStopTest, AStopReachesEverySleepingThreadAtOnce) {
    constexpr int kRounds = 200;
    std::atomic<int> round{0};
    std::atomic<bool> done{false};
    std::thread rounds([&] {
        for (; round < kRounds; ++round) {
            std::unique_ptr<Clock> clock = GetParam().clock();
            const SysTime start = clock->now();
            ThreadSet threads(*clock);
            ClockMember self(*clock);
            for (int i = 0; i < 3; ++i) {
                threads.start("sleeper", [&clock, start, i](std::stop_token stop) {
                    // Far beyond the owner's deadline: only the stop ends it.
                    clock->sleepUntil(start + std::chrono::hours(1 + i), stop);
                });
            }
            clock->sleepUntil(start + std::chrono::milliseconds(round % 3), threads.token());
            threads.stop();
            EXPECT_EQ(threads.size(), 0u);
        }
        done = true;
    });
    for (int waited = 0; !done && waited < 60000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
        std::fprintf(stderr, "%s: round %d of %d did not end within 60 s after its stop\n", GetParam().name,
                     round.load(), kRounds);
        std::fflush(stderr);
        std::_Exit(1);
    }
    rounds.join();
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, SleepingStopTest,
    ::testing::Values(SleepingStop{"VirtualClock",
                                   [] { return std::make_unique<VirtualClock>(fromUnixTime(1796000000)); }},
                      SleepingStop{"SystemClock", [] { return std::make_unique<SystemClock>(); }}),
    [](const ::testing::TestParamInfo<SleepingStop>& clock) { return std::string(clock.param.name); });

}  // namespace
}  // namespace qx
