#include "Clock.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

namespace qx {
namespace {

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
};

TEST_F(ClockTest, ParsesLocalTimesStrictly) {
    auto t = parseLocalTime("2026-12-07 08:05");
    ASSERT_TRUE(t);
    LocalTime local = toLocal(*t);
    EXPECT_EQ(local.day, 7);
    EXPECT_EQ(local.hour, 8);
    EXPECT_EQ(local.minute, 5);
    EXPECT_EQ(local.weekday, 1);
    EXPECT_EQ(formatLocalTime(*parseLocalTime("2026-12-06 23:50:30")), "2026-12-06 23:50:30");
    EXPECT_FALSE(parseLocalTime("2026-02-31 10:00"));
    EXPECT_FALSE(parseLocalTime("2026-12-07 24:00"));
    EXPECT_FALSE(parseLocalTime("2026-12-07 10:00 tomorrow"));
    EXPECT_FALSE(parseLocalTime("yesterday"));
}

TEST_F(ClockTest, TimesPastTheClocksRangeAreHeldAtItsEnds) {
    // 2300 and 1600 do not fit the nanosecond clock: they stay the latest and earliest times.
    EXPECT_EQ(fromUnixTime(10'413'792'000), SysTime::max());
    EXPECT_EQ(fromUnixTime(-11'676'096'000), SysTime::min());
    const SysTime y2200 = fromUnixTime(7'258'118'400, 5);
    EXPECT_LT(y2200, fromUnixTime(10'413'792'000));
    EXPECT_GT(y2200, fromLocal(2026, 12, 7));
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::nanoseconds>(y2200.time_since_epoch()).count() % 10, 5);
    EXPECT_EQ(fromLocal(2300, 1, 1), SysTime::max());
    ASSERT_TRUE(parseLocalTime("2300-01-01 00:00").has_value());
    EXPECT_EQ(*parseLocalTime("2300-01-01 00:00"), SysTime::max());
    EXPECT_EQ(toLocal(*parseLocalTime("2200-01-01 00:00")).year, 2200);
}

TEST_F(ClockTest, VirtualClockJumpsWhenEveryMemberSleeps) {
    SysTime start = *parseLocalTime("2026-12-07 00:00");
    VirtualClock clock(start);
    std::stop_source stop;
    std::vector<int> order;
    std::mutex mutex;
    auto worker = [&](int id, std::chrono::minutes period, int rounds) {
        for (int i = 0; i < rounds; ++i) {
            ASSERT_TRUE(clock.sleepFor(period, stop.get_token()));
            std::lock_guard lock(mutex);
            order.push_back(id);
        }
    };
    {
        ClockMember a(clock), b(clock);
        std::thread first([&, member = std::move(a)]() mutable { worker(1, std::chrono::minutes(10), 3); });
        std::thread second([&, member = std::move(b)]() mutable { worker(2, std::chrono::minutes(25), 1); });
        first.join();
        second.join();
    }
    // 10, 20, 25, 30 minutes: the order depends only on the deadlines.
    EXPECT_EQ(order, (std::vector<int>{1, 1, 2, 1}));
    EXPECT_EQ(clock.now(), start + std::chrono::minutes(30));
}

TEST_F(ClockTest, VirtualClockWaitsForAWorkingMember) {
    SysTime start = *parseLocalTime("2026-12-07 00:00");
    VirtualClock clock(start);
    ClockMember busy(clock);  // this test thread: enrolled, never sleeping
    std::atomic<bool> woke{false};
    std::stop_source stop;
    std::thread sleeper([&, member = ClockMember(clock)]() mutable {
        woke = clock.sleepFor(std::chrono::hours(1), stop.get_token());
    });
    EXPECT_FALSE(test::waitUntil([&] { return woke.load(); }, std::chrono::milliseconds(100),
                                 std::chrono::milliseconds(1)));
    EXPECT_EQ(clock.now(), start);
    stop.request_stop();
    sleeper.join();
    EXPECT_FALSE(woke);
}

// A thread that foretells its next work sleeps until then on a rehearsal's clock, and still wakes for
// each pass where idle passes are not skipped.
TEST_F(ClockTest, IdlePassesAreSkippedOnlyWhereTheClockAllowsIt) {
    const SysTime start = *parseLocalTime("2026-12-07 00:00");
    for (const bool skips : {true, false}) {
        VirtualClock clock(start, skips);
        std::vector<SysTime> passes;
        std::thread worker([&, member = ClockMember(clock)]() mutable {
            for (int i = 0; i < 3; ++i) {
                // Work is due at minute 45; a due time in the past never holds a thread back.
                const SysTime due = i == 2 ? start : start + std::chrono::minutes(45);
                ASSERT_TRUE(clock.sleepUntilDue(nextMinute(clock.now()), due, {}));
                passes.push_back(clock.now());
            }
        });
        worker.join();
        const auto minute = [&](int m) { return start + std::chrono::minutes(m); };
        const std::vector<SysTime> skipped{minute(45), minute(46), minute(47)};
        const std::vector<SysTime> passed{minute(1), minute(2), minute(3)};
        EXPECT_EQ(passes, skips ? skipped : passed);
    }
    // Nothing due at all: the longest sleep, not an overflow into the past.
    VirtualClock clock(start);
    std::thread([&, member = ClockMember(clock)]() mutable {
        EXPECT_TRUE(clock.sleepUntilDue(nextMinute(clock.now()), SysTime::max(), {}));
    }).join();
    EXPECT_EQ(clock.now(), start + Clock::kLongestSleep);
    // The system clock wakes for the next pass whatever is due: a setting changed by hand counts then.
    const SysTime wall = *parseLocalTime("2026-12-07 12:00");
    SystemClock system([wall] { return wall; }, std::chrono::milliseconds(10));
    EXPECT_FALSE(system.skipsIdlePasses());
    EXPECT_TRUE(system.sleepUntilDue(wall, wall + std::chrono::hours(1), {}));
}

TEST_F(ClockTest, MinuteAndHourSteps) {
    const SysTime t = *parseLocalTime("2026-12-07 08:05:30");
    EXPECT_EQ(nextMinute(t), *parseLocalTime("2026-12-07 08:06"));
    EXPECT_EQ(nextMinute(*parseLocalTime("2026-12-07 08:06")), *parseLocalTime("2026-12-07 08:07"));
    EXPECT_EQ(nextFullHour(t), *parseLocalTime("2026-12-07 09:00"));
    EXPECT_EQ(nextFullHour(*parseLocalTime("2026-12-07 09:00")), *parseLocalTime("2026-12-07 10:00"));
    // Berlin, 28 March 2027: after 01:30 comes 03:00.
    EXPECT_EQ(formatLocalTime(nextFullHour(fromLocal(2027, 3, 28, 1, 30))), "2027-03-28 03:00:00");
}

// Whether the thread `tid` of this process is blocked in the kernel (state S), as a sleeper is.
bool blocked(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}

TEST_F(ClockTest, StopEndsASystemClockSleepAtOnce) {
    SystemClock clock;
    std::stop_source stop;
    const SysTime deadline = clock.now() + std::chrono::hours(1);
    std::atomic<pid_t> sleeperTid{0};
    std::atomic<bool> result{true};
    std::thread sleeper([&] {
        sleeperTid = static_cast<pid_t>(::gettid());
        result = clock.sleepUntil(deadline, stop.get_token());
    });
    // The stop must reach a sleep under way, not one that has not begun: wait (a bounded number of
    // looks) until the sleeper is blocked.
    for (int i = 0; i < 20000 && (sleeperTid == 0 || !blocked(sleeperTid)); ++i)
        std::this_thread::yield();
    ASSERT_TRUE(blocked(sleeperTid));
    stop.request_stop();
    sleeper.join();
    EXPECT_FALSE(result);
    // Bound by the clock itself: the sleep ended long before its deadline.
    EXPECT_LT(clock.now(), deadline - std::chrono::minutes(59));
}

TEST_F(ClockTest, HoursSkippedByDaylightSavingTime) {
    // Berlin, 28 March 2027: 02:00 does not exist; 25 October 2026: 02:00 comes twice.
    const SysTime three = fromLocal(2027, 3, 28, 3);
    EXPECT_EQ(skippedLocalHours(three), std::vector<int>{2});
    EXPECT_EQ(skippedLocalHours(three + std::chrono::minutes(59)), std::vector<int>{2});
    EXPECT_TRUE(skippedLocalHours(three + std::chrono::hours(1)).empty());
    EXPECT_TRUE(skippedLocalHours(fromLocal(2026, 10, 25, 2) + std::chrono::hours(1)).empty());
    EXPECT_TRUE(skippedLocalHours(fromLocal(2026, 12, 10, 0)).empty());
    // Where the change comes at midnight (Santiago de Chile, 6 September 2026), hour 0 is skipped.
    setenv("TZ", "America/Santiago", 1);
    tzset();
    EXPECT_EQ(skippedLocalHours(fromLocal(2026, 9, 6, 1, 30)), std::vector<int>{0});
    EXPECT_EQ(toLocal(fromLocal(2026, 9, 6, 1, 30)).weekday, 0);
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
}

TEST_F(ClockTest, HugeSleepsAreHeldToTheLongestSleepInsteadOfOverflowing) {
    // 200,000,000 minutes in nanoseconds is past the clock's range: the deadline must not wrap into the
    // past, which ended every such sleep at once.
    const SysTime start = *parseLocalTime("2026-12-07 00:00");
    EXPECT_EQ(later(start, std::chrono::minutes(200'000'000)), start + Clock::kLongestSleep);
    EXPECT_EQ(later(start, std::chrono::milliseconds(-5)), start);
    EXPECT_EQ(later(SysTime::max() - std::chrono::hours(1), std::chrono::hours(2)), SysTime::max());

    VirtualClock clock(start);
    std::stop_source stop;
    std::atomic<bool> woke{false};
    {
        std::thread sleeper([&, member = ClockMember(clock)]() mutable {
            woke = clock.sleepFor(std::chrono::minutes(200'000'000), stop.get_token());
        });
        sleeper.join();
    }
    EXPECT_TRUE(woke);
    EXPECT_EQ(clock.now(), start + Clock::kLongestSleep);
}

// A wall clock that a test steps: the first look gives `first`, every later one `then`.
struct SteppedWall {
    SysTime first;
    SysTime then;
    std::shared_ptr<std::atomic<int>> looks = std::make_shared<std::atomic<int>>(0);
    SysTime operator()() const { return (*looks)++ == 0 ? first : then; }
};

TEST_F(ClockTest, SystemClockSleepsByTheMonotonicClockWhenTheWallClockIsSetBack) {
    const SysTime wall = *parseLocalTime("2026-12-07 12:00");
    // Set back an hour right after the sleep began: the sleep still lasts its 50 ms, not an hour.
    SystemClock clock(SteppedWall{wall, wall - std::chrono::hours(1)}, std::chrono::milliseconds(10));
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(clock.sleepUntil(wall + std::chrono::milliseconds(50), {}));
    const auto slept = std::chrono::steady_clock::now() - began;
    EXPECT_GE(slept, std::chrono::milliseconds(50));
    EXPECT_LT(slept, std::chrono::seconds(5));
}

TEST_F(ClockTest, SystemClockSleepEndsSoonAfterTheWallClockStepsPastItsDeadline) {
    const SysTime wall = *parseLocalTime("2026-12-07 12:00");
    SystemClock clock(SteppedWall{wall, wall + std::chrono::hours(2)}, std::chrono::milliseconds(10));
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(clock.sleepUntil(wall + std::chrono::hours(1), {}));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
}

}  // namespace
}  // namespace qx
