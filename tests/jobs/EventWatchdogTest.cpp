#include "EventWatchdogThread.h"

#include <fstream>

#include "AlarmTableBuilder.h"
#include "Clock.h"
#include "JobsFixture.h"
#include "LineWatchdogCounters.h"
#include "Profile.h"
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

// 150 characters were cut at 127: alarms 1025 to 1029 were lost for good when the list was written back,
// and the cut "10" became alarm 10.
TEST_F(EventWatchdogTest, LongListIsReadWholeAndKept) {
    AlarmTableBuilder table(sandbox.path("root/db1/vm001.dbf"));
    std::string items;
    for (int alarm = 1000; alarm < 1030; ++alarm) {
        table.alarm(alarm, 91, 0, "QXAWDOG 0,0");
        items += std::to_string(alarm) + ";";
    }
    table.alarm(10, 91, 0, "QXAWDOG 0,0");
    ASSERT_EQ(items.size(), 150u);
    ini("qxawdog.ini", "Config", "ActiveWdogAlarms", items);

    EventWatchdogThread watchdog(services);
    EXPECT_EQ(watchdog.pass(start), 30);
    EXPECT_EQ(profile.getString("qxawdog.ini", "Config", "ActiveWdogAlarms", "-", 1024), items);
    EXPECT_EQ(launcher.calls().back(), "run start /MIN qxe.exe qxarun 1 -i41029 -s8WatchDogAlarm");
}

TEST_F(EventWatchdogTest, ListTooLongToReadIsNeverWrittenBackCut) {
    AlarmTableBuilder(sandbox.path("root/db1/vm001.dbf")).alarm(12, 91, 0, "QXAWDOG 30,60");
    std::string items = "12;";
    while (items.size() < 70'000)
        items += "20000;";  // no alarm number: dropped if the list were rewritten
    // Written as the alarm server's files hold it: the Windows profile write refuses a value this long.
    {
        std::ofstream out(profile.resolve("qxawdog.ini"), std::ios::binary);
        out << "[Config]\r\nActiveWdogAlarms=" << items << "\r\n";
    }

    EventWatchdogThread watchdog(services);
    watchdog.pass(start);
    watchdog.pass(start + std::chrono::minutes(1));
    EXPECT_EQ(profile.getString("qxawdog.ini", "Config", "ActiveWdogAlarms", "-", 100'000), items);
    EXPECT_THAT(activity(50),
                ElementsAre("09.12, 08:00,  qxawdog.ini [Config] ActiveWdogAlarms is longer than "
                            "65534 characters: the alarms beyond are not watched, and the list is "
                            "not rewritten"));
}

// Without a stored event the minutes count from the service's start, not up to the largest window + 1.
TEST_F(EventWatchdogTest, MinutesWithoutAnyEventCountFromTheStart) {
    AlarmTableBuilder(sandbox.path("root/db1/vm001.dbf")).alarm(12, 91, 0, "QXAWDOG 30,0");
    ini("qxawdog.ini", "Config", "ActiveWdogAlarms", "12;");
    EventWatchdogThread watchdog(services);
    EXPECT_EQ(watchdog.pass(start), 0);  // within the grace of its 30-minute window
    for (int minute = 1; minute <= 45; ++minute)
        watchdog.minutePassed();
    lastAlarm(12, start);
    EXPECT_EQ(watchdog.pass(start + std::chrono::minutes(45)), 1);
    EXPECT_THAT(activity(50),
                ElementsAre("09.12, 08:00,  WatchDog Alarm 12 started because no event received "
                            "in the last 45 minutes"));
}

// A rehearsal sleeps through the passes between two that can start an alarm; the pass foretells the
// first of them from the grace, the stored event and the repeat pause, whichever holds the alarm back.
TEST_F(EventWatchdogTest, ForetellsThePassThatCanStartAnAlarm) {
    const auto minute = [this](int m) { return start + std::chrono::minutes(m); };
    EventWatchdogThread watchdog(services);
    watchdog.pass(start);
    EXPECT_GE(watchdog.due(), start + std::chrono::hours(24 * 365));  // nothing watched
    ini("qxawdog.ini", "Config", "ActiveWdogAlarms", "12;15;");
    watchdog.pass(start);
    EXPECT_EQ(watchdog.due(), minute(1));  // no table: look again at the next pass

    AlarmTableBuilder(sandbox.path("root/db1/vm001.dbf"))
        .alarm(12, 91, 0, "QXAWDOG 30,60")
        .alarm(15, 91, 0, "QXAWDOG 5,60");
    EventWatchdogThread fresh(services);
    EXPECT_EQ(fresh.pass(start), 0);
    EXPECT_EQ(fresh.due(), minute(5));  // the grace of alarm 15
    fresh.minutePassed(5);
    lastEvent(15, minute(2));
    EXPECT_EQ(fresh.pass(minute(5)), 0);
    EXPECT_EQ(fresh.due(), minute(8));  // more than five whole minutes after the event
    fresh.minutePassed(3);
    EXPECT_EQ(fresh.pass(minute(8)), 1);
    EXPECT_EQ(fresh.due(), minute(9));  // what the alarm server records of the alarm is seen then
    lastAlarm(15, minute(8));
    fresh.minutePassed(1);
    EXPECT_EQ(fresh.pass(minute(9)), 0);
    EXPECT_EQ(fresh.due(), minute(30));  // alarm 12's grace ends before alarm 15's pause
    lastEvent(12, minute(29));
    fresh.minutePassed(21);
    EXPECT_EQ(fresh.pass(minute(30)), 0);
    EXPECT_EQ(fresh.due(), minute(60));  // alarm 12's window, before alarm 15's pause ends at 69
    EXPECT_EQ(fresh.pass(minute(30) + std::chrono::seconds(30)), 0);
    EXPECT_EQ(fresh.due(), minute(60) + std::chrono::seconds(30));
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
