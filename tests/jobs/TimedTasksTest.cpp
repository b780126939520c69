#include "TimedTasks.h"

#include "Clock.h"
#include "JobsFixture.h"

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

class TimedTasksTest : public JobsTest {
protected:
    void task(int n, const std::string& prog, int day, int hour, int type) {
        ini("qxmover.ini", "StartMore", ("Prog" + std::to_string(n)).c_str(), prog);
        ini("qxmover.ini", "StartMore", ("Day" + std::to_string(n)).c_str(), std::to_string(day));
        ini("qxmover.ini", "StartMore", ("Time" + std::to_string(n)).c_str(), std::to_string(hour));
        ini("qxmover.ini", "StartMore", ("Type" + std::to_string(n)).c_str(), std::to_string(type));
    }
    // Runs the tasks due at `now`; `failure` keeps the reason ("" when every start succeeded).
    void runAt(SysTime now) {
        clock.advanceTo(now);
        failure = runTimedTasks(services, now, calendarAt(now, 10, toLocal(now).month)).reason();
    }

    std::string failure;
};

TEST_F(TimedTasksTest, CommandLinesOfTheThreeTypes) {
    task(1, "\\qxt\\report.exe /daily", 0, 8, 0);
    task(2, "backup.bat", 0, 8, 0);
    ini("qxmover.ini", "StartMore", "WeekParameter2", "1");
    task(3, "qxsms", 0, 8, 1);
    ini("qxmover.ini", "QxeTaskParameter3", "s2", "x");
    ini("qxmover.ini", "QxeTaskParameter3", "i3", "0");
    task(4, "qxmail", 0, 8, 1);
    ini("qxmover.ini", "QxeTaskParameter4", "i9", "12");
    ini("qxmover.ini", "QxeTaskParameter4", "s1", "to boss");
    ini("qxmover.ini", "QxeTaskParameter4", "i1", "-3");
    ini("qxmover.ini", "QxeTaskParameter4", "s8", "me");
    task(5, "120", 0, 8, 2);
    task(6, "ignored.exe", 0, 8, 3);
    task(7, "other-hour.exe", 0, 9, 0);

    runAt(at(2026, 12, 9, 8));  // Wednesday of week 50
    EXPECT_THAT(
        launcher.calls(),
        ElementsAre("start shown \\qxt\\report.exe /daily", "start shown backup.bat 49 50 12 2026 ",
                    "start shown qxe qxsms 1  -s2x", "start shown qxe qxmail 1  \"-s1to boss\" -s8me -i912",
                    "start shown qxe qxarun 1 -i4120 -s8Mover"));
    // The unknown type is told once, when the tasks are read.
    EXPECT_THAT(
        activity(50),
        ElementsAre("09.12, 08:00,  qxmover.ini [StartMore] Type6=3 is out of range (0 to 2); the task is "
                    "not started",
                    "09.12, 08:00,  Start program \\qxt\\report.exe /daily",
                    "09.12, 08:00,  Start program backup.bat 49 50 12 2026 ",
                    "09.12, 08:00,  Start qxe module qxe qxsms 1  -s2x",
                    "09.12, 08:00,  Start qxe module qxe qxmail 1  \"-s1to boss\" -s8me -i912",
                    "09.12, 08:00,  Start alarm 120"));
}

// The task editor's choice is what the task passes, and what the editor reads back; a stored value
// other than 0 or 1 passes nothing and shows the choice off.
TEST_F(TimedTasksTest, TheEditorsWeekParameterIsWhatTheTaskPasses) {
    ASSERT_EQ(writeTimedTask(profile, 1, {"with.bat", 0, 8, 0, true}), "");
    ASSERT_EQ(writeTimedTask(profile, 2, {"without.bat", 0, 8, 0, false}), "");
    ASSERT_EQ(writeTimedTask(profile, 3, {"hand.bat", 0, 8, 0, false}), "");
    ini("qxmover.ini", "StartMore", "WeekParameter3", "2");
    runAt(at(2026, 12, 9, 8));
    EXPECT_THAT(launcher.calls(), ElementsAre("start shown with.bat 49 50 12 2026 ",
                                              "start shown without.bat", "start shown hand.bat"));
    EXPECT_TRUE(readTimedTask(profile, 1).weekParameter);
    EXPECT_FALSE(readTimedTask(profile, 2).weekParameter);
    EXPECT_FALSE(readTimedTask(profile, 3).weekParameter);
    EXPECT_THAT(activity(50), ::testing::Contains(EndsWith("WeekParameter3=2 is out of range (0 to 1); no "
                                                           "week parameters are passed")));
}

TEST_F(TimedTasksTest, WorkdayTasksRunMondayToFriday) {
    task(1, "workday.exe", 8, 8, 0);
    task(2, "sunday.exe", 7, 8, 0);
    task(3, "saturday.exe", 6, 8, 0);
    task(4, "never.exe", 9, 8, 0);
    runAt(at(2026, 12, 11, 8));  // Friday
    runAt(at(2026, 12, 12, 8));  // Saturday
    runAt(at(2026, 12, 13, 8));  // Sunday
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start shown workday.exe", "start shown saturday.exe", "start shown sunday.exe"));
}

TEST_F(TimedTasksTest, EmptyFirstProgramEndsTheList) {
    task(2, "second.exe", 0, 8, 0);
    runAt(at(2026, 12, 9, 8));
    EXPECT_THAT(launcher.calls(), IsEmpty());
    task(1, "first.exe", 0, 7, 0);
    runAt(at(2026, 12, 9, 8));
    EXPECT_THAT(launcher.calls(), ElementsAre("start shown second.exe"));
}

TEST_F(TimedTasksTest, WeekParameterOfWeekOneNamesWeek52) {
    task(1, "weekly.exe", 0, 8, 0);
    ini("qxmover.ini", "StartMore", "WeekParameter1", "1");
    runAt(at(2026, 1, 2, 8));  // week 1 of a year that begins on a Thursday
    EXPECT_THAT(launcher.calls(), ElementsAre("start shown weekly.exe 52 01 01 2026 "));
}

TEST_F(TimedTasksTest, FailedStartOnlyLosesThatStart) {
    task(1, "missing.exe", 0, 8, 0);
    task(2, "there.exe", 0, 8, 0);
    launcher.missing.insert("missing.exe");
    ini("qxmover.ini", "Config", "WriteLogFile", "0");
    state.writeLogFile = false;
    runAt(at(2026, 12, 9, 8));
    EXPECT_EQ(failure, "cannot start task 1 (program not found): missing.exe");
    EXPECT_THAT(launcher.calls(), ElementsAre("start shown missing.exe", "start shown there.exe"));
    EXPECT_THAT(prompts.warnings(), IsEmpty());
    EXPECT_THAT(activity(50), IsEmpty());
}

}  // namespace
}  // namespace qx::test
