#include "WeekCalendar.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "Sandbox.h"
#include "SharedState.h"
#include "WeekTimer.h"

namespace qx {
namespace {

LocalTime date(int year, int month, int day, int hour = 12) {
    test::useCentralEuropeanTime();
    return toLocal(fromLocal(year, month, day, hour));
}

TEST(WeekNumber, CountsTheInstallationsOwnWeeks) {
    EXPECT_EQ(weekNumber(date(2026, 1, 4)).week, 1);
    EXPECT_EQ(weekNumber(date(2026, 1, 5)).week, 2);
    EXPECT_EQ(weekNumber(date(2026, 12, 7)).week, 50);
    EXPECT_EQ(weekNumber(date(2026, 12, 31)).week, 53);
    EXPECT_EQ(weekNumber(date(2027, 1, 3)).week, 0);
    EXPECT_EQ(weekNumber(date(2027, 1, 4)).week, 1);
    EXPECT_EQ(weekNumber(date(2029, 1, 1)).week, 2);
    EXPECT_EQ(weekNumber(date(2029, 1, 7)).week, 2);
    EXPECT_EQ(weekNumber(date(2029, 12, 31)).week, 54);
}

TEST(WeekNumber, LateNewYearFlagFollowsTheWeekdayOfFirstJanuary) {
    EXPECT_FALSE(weekNumber(date(2026, 6, 1)).lateNewYear);  // Thursday
    EXPECT_TRUE(weekNumber(date(2027, 6, 1)).lateNewYear);   // Friday
    EXPECT_TRUE(weekNumber(date(2022, 6, 1)).lateNewYear);   // Saturday
    EXPECT_TRUE(weekNumber(date(2023, 6, 1)).lateNewYear);   // Sunday
    EXPECT_FALSE(weekNumber(date(2029, 6, 1)).lateNewYear);  // Monday
}

TEST(WeekNumber, MidnightAndDaylightSavingDoNotShiftTheDay) {
    EXPECT_EQ(weekNumber(date(2026, 1, 5, 0)).week, 2);
    EXPECT_EQ(weekNumber(date(2026, 1, 4, 23)).week, 1);
    EXPECT_EQ(weekNumber(date(2026, 3, 29, 3)).week, weekNumber(date(2026, 3, 29, 1)).week);
}

TEST(DueWeeks, PreviousWeekWrapsToFiftyTwo) {
    EXPECT_EQ(previousWeek({10, false}), 9);
    EXPECT_EQ(previousWeek({1, false}), 52);
    EXPECT_EQ(previousWeek({0, true}), 52);
    EXPECT_EQ(previousWeek({1, true}), 0);
}

TEST(DueWeeks, TheDueWeekIsTheOneFilledWaitMondaysAgoWhereverTheYearTurned) {
    using namespace std::chrono;
    DueWeeks monday = computeDueWeeks(date(2026, 12, 7), 2);
    EXPECT_EQ(monday.previous, 49);
    EXPECT_EQ(monday.due, 47);
    EXPECT_EQ(monday.dueFilled, sys_days{2026y / November / 23});
    // Week 52 of 2028 fills log51; the next Monday (week 2 of 2029) fills log01. Counted back by number,
    // 1 - 2 gave 51, the directory filled one week before. Two calendar weeks back is 18 December,
    // which filled log50.
    EXPECT_EQ(computeDueWeeks(date(2028, 12, 25), 2).previous, 51);
    DueWeeks turn = computeDueWeeks(date(2029, 1, 1), 2);
    EXPECT_EQ(turn.previous, 1);
    EXPECT_EQ(turn.due, 50);
    EXPECT_EQ(turn.dueFilled, sys_days{2028y / December / 18});
    EXPECT_EQ(computeDueWeeks(date(2028, 12, 18), 2).previous, 50);
    // Any day of the week gives its Monday's weeks.
    EXPECT_EQ(computeDueWeeks(date(2029, 1, 7, 23), 2).due, 50);
    EXPECT_EQ(computeDueWeeks(date(2029, 1, 1, 0), 52).dueFilled, sys_days{2028y / January / 3});
}

TEST(DueMonth, WrapsIntoTheYearBefore) {
    EXPECT_EQ(dueMonth(5, 2), 3);
    EXPECT_EQ(dueMonth(2, 2), 12);
    EXPECT_EQ(dueMonth(1, 12), 1);
}

TEST(WeekTimer, ComputesAtStartThenAtEachMidnightAfterAnHourOne) {
    SharedState state;
    state.waitBeforeDel = 2;
    // A start on Sunday 6 December 2026 at 10:00 (week 49) computes at once.
    EXPECT_EQ(weekTimerTick(date(2026, 12, 6, 10), state), 49);
    EXPECT_EQ(state.previousWeek, 48);
    EXPECT_EQ(state.dueWeek, 46);
    EXPECT_EQ(weekTimerTick(date(2026, 12, 6, 11), state), -1);
    // The midnight to Monday passes without a computation: no hour 1 has been seen yet.
    EXPECT_EQ(weekTimerTick(date(2026, 12, 7, 0), state), -1);
    EXPECT_EQ(state.previousWeek, 48);
    EXPECT_EQ(weekTimerTick(date(2026, 12, 7, 1), state), -1);
    EXPECT_EQ(state.dayState, 0);
    EXPECT_EQ(weekTimerTick(date(2026, 12, 7, 5), state), -1);
    // Tuesday's midnight computes again, once.
    EXPECT_EQ(weekTimerTick(date(2026, 12, 8, 0), state), 50);
    EXPECT_EQ(state.previousWeek, 49);
    EXPECT_EQ(state.dueWeek, 47);
    EXPECT_EQ(weekTimerTick(date(2026, 12, 8, 0), state), -1);
    EXPECT_EQ(weekTimerTick(date(2026, 12, 8, 1), state), -1);
    EXPECT_EQ(weekTimerTick(date(2026, 12, 9, 0), state), 50);
}

}  // namespace
}  // namespace qx
