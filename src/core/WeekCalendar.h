#pragma once

#include "Clock.h"

namespace qx {

// The installation's own week count (0 to 54), which names the weekly activity-log file and the week
// directories. It is not ISO 8601: the days before the year's first Monday are week 0 in a year that
// begins on a Friday to Sunday (the "late new year") and week 1 otherwise, and the count runs on
// past 52 at the end of December.
struct WeekNumber {
    int week = 0;
    bool lateNewYear = false;  // 1 January falls on a Friday, Saturday or Sunday
};

WeekNumber weekNumber(const LocalTime& date);

// The week before the current one and the week whose files have waited `waitWeeks`, counting 52
// weeks to a year.
struct DueWeeks {
    int previous = 0;
    int due = 0;
};

DueWeeks computeDueWeeks(const WeekNumber& current, int waitWeeks);

// The due month of the monthly mode: the remembered month less the wait, wrapped into 1..12.
int dueMonth(int rememberedMonth, int waitMonths);

}  // namespace qx
