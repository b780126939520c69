#include "EventWatchdogThread.h"

#include "AlarmTableBuilder.h"
#include "JobsFixture.h"
#include "LineWatchdogCounters.h"
#include "ThreadSet.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

class EventWatchdogTest : public JobsTest {
protected:
    EventWatchdogTest() { clock.advanceTo(start); }

    void lastEvent(int alarm, SysTime time) {
        ini("qxawdog.ini", "QxaWDog", std::to_string(alarm).c_str(), hexTime(time));
    }
    void lastAlarm(int alarm, SysTime time) {
        ini("qxalog.ini", "LastAlarm", std::to_string(alarm).c_str(), hexTime(time));
    }
    std::string list() const {
        return profile.getString("qxawdog.ini", "Config", "ActiveWdogAlarms", "-", 256);
    }

    const SysTime start = at(2026, 12, 9, 8, 0);  // week 50
};

TEST_F(EventWatchdogTest, MarkerCarriesWindowAndPause) {
    auto marker = parseWatchdogMarker("QXAWDOG 30,60");
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->windowMinutes, 30);
    EXPECT_EQ(marker->pauseMinutes, 60);
    marker = parseWatchdogMarker("QXAWDOG 5x7 trailing");
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->windowMinutes, 5);
    EXPECT_EQ(marker->pauseMinutes, 7);
    EXPECT_FALSE(parseWatchdogMarker("QXAWDOG30,60"));
    EXPECT_FALSE(parseWatchdogMarker("Boiler room"));
    // Digits beyond what fits are capped, never wrapped into a small window.
    EXPECT_EQ(parseWatchdogMarker("QXAWDOG 99999999999999999999,1")->windowMinutes, INT_MAX);
}

// The thread on the virtual clock: grace after start, an overdue alarm, the repeat pause, and the
// list that keeps only alarms with the marker.
TEST_F(EventWatchdogTest, GraceOverdueRepeatPauseAndSelfMaintainingList) {
    AlarmTableBuilder(sandbox.path("root/db1/vm001.dbf"))
        .alarm(12, 91, 0, "QXAWDOG 30,60 boiler")
        .alarm(15, 91, 0, "QXAWDOG 30,60 pump")
        .alarm(17, 91, 0, "QXAWDOG 30,60 gate")
        .alarm(20, 91, 0, "Plain alarm");
    // Longer than nine characters: read whole, not cut.
    ini("qxawdog.ini", "Config", "ActiveWdogAlarms", "5;12;15;17;20;10000;");
    lastEvent(12, start - std::chrono::minutes(1));  // 31 minutes old at 08:30
    lastEvent(15, start - std::chrono::minutes(1));
    lastAlarm(15, start - std::chrono::minutes(15));  // 45 minutes old at 08:30: within the pause
    ini("qxawdog.ini", "QxaWDog", "17", "1ABCDEF");   // seven digits: counts as missing

    ThreadSet threads(clock);
    EventWatchdogThread watchdog(services);
    {
        // Enrolled before the thread starts: alone, the thread would let the clock run on.
        ClockMember self(clock);
        threads.start("EventWatchdogThread", [&](std::stop_token stop) { watchdog.run(stop); });
        clock.sleepUntil(start + std::chrono::seconds(30), threads.token());
        // Dropped at the first pass: below 10, beyond 9999, no marker.
        EXPECT_EQ(list(), "12;15;17;");
        EXPECT_THAT(launcher.calls(), IsEmpty());  // nothing in the first 30 minutes
        clock.sleepUntil(start + std::chrono::minutes(29) + std::chrono::seconds(30), threads.token());
        EXPECT_THAT(launcher.calls(), IsEmpty());
        clock.sleepUntil(start + std::chrono::minutes(30) + std::chrono::seconds(30), threads.token());
        threads.stop();  // before leaving the clock, which would let it run on
    }

    EXPECT_THAT(launcher.calls(), ElementsAre("run start /MIN qxe.exe qxarun 1 -i412 -s8WatchDogAlarm",
                                              "run start /MIN qxe.exe qxarun 1 -i417 -s8WatchDogAlarm"));
    EXPECT_THAT(
        activity(50),
        ElementsAre(
            "09.12, 08:30,  WatchDog Alarm 12 started because no event received in the last 31 minutes",
            "09.12, 08:30,  WatchDog Alarm 17 started because no event received in the last 30 minutes"));
}

TEST_F(EventWatchdogTest, RecentEventAndMissingTableStartNothing) {
    ini("qxawdog.ini", "Config", "ActiveWdogAlarms", "12;");
    EventWatchdogThread noTable(services);
    EXPECT_EQ(noTable.pass(start), 0);
    EXPECT_EQ(list(), "12;");  // not rewritten without a table

    AlarmTableBuilder(sandbox.path("root/db1/vm001.dbf")).alarm(12, 91, 0, "QXAWDOG 1;0");
    EventWatchdogThread watchdog(services);
    watchdog.pass(start);
    watchdog.minutePassed();
    watchdog.minutePassed();
    lastEvent(12, start);
    EXPECT_EQ(watchdog.pass(start + std::chrono::seconds(119)), 0);  // one whole minute: within
    EXPECT_EQ(watchdog.pass(start + std::chrono::minutes(2)), 1);
}

}  // namespace
}  // namespace qx::test
