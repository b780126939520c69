// The week directories over fifty years: which directory each Monday fills, which one its due week
// empties, and what the cycle records keep, for every wait the settings allow.

#include <gtest/gtest.h>

#include <map>

#include "CycleStamp.h"
#include "WeekCalendar.h"

namespace qx::test {
namespace {

using namespace std::chrono;

// The calendar fields of a civil date, as the clock gives them.
LocalTime civil(sys_days day) {
    const year_month_day ymd{day};
    LocalTime date;
    date.year = static_cast<int>(ymd.year());
    date.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    date.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    date.hour = 1;
    date.weekday = static_cast<int>(weekday{day}.c_encoding());
    date.yearDay = static_cast<int>((day - sys_days{ymd.year() / January / 1}).count()) + 1;
    return date;
}

TEST(WeekCycleTest, EveryMondayOf1995To2045KeepsEachWeekForItsWaitAndAtMostAWeekMore) {
    const sys_days first{1995y / January / 2};  // a Monday
    const sys_days last{2045y / December / 25};
    for (int wait = 1; wait <= 52; ++wait) {
        const days least{7 * wait};
        const days most{7 * (wait + 1)};
        std::map<int, CycleStamp> directories;
        int emptied = 0;
        auto expectWaited = [&](sys_days filled, sys_days now, const char* by) {
            ++emptied;
            EXPECT_GE(now - filled, least) << "wait " << wait << ": filled " << formatDay(filled)
                                           << ", emptied " << by << " on " << formatDay(now);
            EXPECT_LE(now - filled, most) << "wait " << wait << ": filled " << formatDay(filled)
                                          << ", emptied " << by << " on " << formatDay(now);
        };
        for (sys_days monday = first; monday <= last; monday += days{7}) {
            const DueWeeks weeks = computeDueWeeks(civil(monday), wait);
            ASSERT_EQ(weeks.dueFilled, monday - least);
            // 01:00: the previous week's directory is claimed and filled ...
            CycleStamp& filling = directories[weeks.previous];
            const ClaimDecision claim = decideClaim(filling, monday, wait);
            ASSERT_FALSE(claim.alreadyClaimed);
            if (claim.emptyAll)
                for (sys_days earlier : claim.earlier)
                    expectWaited(earlier, monday, "before filling");
            filling = claim.after;
            // ... then the due week's directory is emptied of what has waited.
            CycleStamp& due = directories[weeks.due];
            const DueDecision decision = decideDue(due, weeks.dueFilled);
            for (sys_days expired : decision.expired)
                expectWaited(expired, monday, "as the due week");
            due = decision.after;
            if (HasFailure())
                return;
        }
        // What a directory still holds at the end has not waited longer than the wait and a week.
        for (const auto& [number, stamp] : directories)
            for (sys_days filled : stamp.cycles)
                EXPECT_LE(last - filled, most) << "wait " << wait << ": log" << number << " filled "
                                               << formatDay(filled) << " was never emptied";
        EXPECT_GT(emptied, 2600) << "wait " << wait;
    }
}

TEST(WeekCycleTest, TheSameCycleFilingAgainDeletesNothing) {
    CycleStamp stamp;
    stamp.cycles = {sys_days{2025y / December / 8}, sys_days{2026y / November / 30}};
    EXPECT_EQ(formatCycleStamp(stamp), "2025-12-08\n2026-11-30\n");
    const ClaimDecision again = decideClaim(stamp, sys_days{2026y / November / 30}, 2);
    EXPECT_TRUE(again.alreadyClaimed);
    EXPECT_EQ(again.after.cycles, stamp.cycles);
}

}  // namespace
}  // namespace qx::test
