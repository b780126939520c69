#include "HeadlessRunner.h"

#include <gtest/gtest.h>

#include <atomic>

#include "Clock.h"
#include "RecordingLauncher.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "ServiceBundle.h"
#include "ThreadSet.h"

namespace qx {
namespace {

class HeadlessRunnerTest : public ::testing::Test, public test::BasicServiceBundle<> {
protected:
    HeadlessRunnerTest() : BasicServiceBundle({.threads = true}) {}
    ThreadSet& threads = *threadSet;
};

TEST_F(HeadlessRunnerTest, ARehearsalEndsAtItsEndWithoutAnotherPass) {
    const SysTime until = fromLocal(2026, 12, 7, 8, 34, 50);
    std::atomic<int> passesAfterTheEnd{0};
    ClockMember self(clock);  // the runner's, taken before any worker can let the clock run
    // A worker that wakes ten seconds after the end: it must be stopped, not woken by a last jump of
    // the clock when the runner leaves it.
    threads.start("late", [&](std::stop_token stop) {
        while (clock.sleepUntil(until + std::chrono::seconds(10), stop))
            if (clock.now() > until) {
                ++passesAfterTheEnd;
                return;
            }
    });
    HeadlessRunner(services, nullptr).run(until, std::move(self));
    EXPECT_EQ(passesAfterTheEnd.load(), 0);
    EXPECT_EQ(clock.now(), until);
}

}  // namespace
}  // namespace qx
