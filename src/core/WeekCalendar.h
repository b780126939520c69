#pragma once

#include <chrono>

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

// The week before the current one, whose directory the weekly move of `date`'s week fills: the
// current week less one, 52 where that gives 0 (in a year that begins on a Monday to Thursday, whose
// first days are week 1) or less than 0.
int previousWeek(const WeekNumber& current);

// The date of the Monday that begins the week of `date` (a civil date, no time zone).
std::chrono::sys_days mondayOf(const LocalTime& date);

// The week before the current one and the week whose files have waited `waitWeeks` whole calendar
// weeks: the week directory that the weekly move filled `waitWeeks` Mondays before the Monday of
// `today`, wherever the year turned in between (week numbers jump at the turn of some years, so no
// count of weeks to a year can say it). `dueFilled` is that Monday.
struct DueWeeks {
    int previous = 0;
    int due = 0;
    std::chrono::sys_days dueFilled{};
};

DueWeeks computeDueWeeks(const LocalTime& today, int waitWeeks);

// The week number of the civil date `day`.
WeekNumber weekNumberOf(std::chrono::sys_days day);

// The due month of the monthly mode: the remembered month less the wait, wrapped into 1..12.
int dueMonth(int rememberedMonth, int waitMonths);

}  // namespace qx
