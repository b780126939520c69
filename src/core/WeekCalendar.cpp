#include "WeekCalendar.h"

#include <ctime>

namespace qx {

WeekNumber weekNumber(const LocalTime& date) {
    // Weekday of 1 January from the calendar alone, at noon and without daylight saving time, so that
    // neither the time zone nor a DST change can move it to another day.
    std::tm jan1{};
    jan1.tm_year = date.year - 1900;
    jan1.tm_mon = 0;
    jan1.tm_mday = 1;
    jan1.tm_hour = 12;
    jan1.tm_isdst = 0;
    std::time_t t = timegm(&jan1);
    std::tm normalised{};
    gmtime_r(&t, &normalised);
    int j = normalised.tm_wday == 0 ? 7 : normalised.tm_wday;

    WeekNumber result;
    result.lateNewYear = j >= 5;
    int d = date.yearDay;
    int w = date.isoWeekday();
    int firstMonday = j == 1 ? 1 : 9 - j;
    if (d < firstMonday) {
        result.week = result.lateNewYear ? 0 : 1;
        return result;
    }
    int k = (d - firstMonday - w + 1) / 7;
    result.week = result.lateNewYear ? k + 1 : k + 2;
    return result;
}

DueWeeks computeDueWeeks(const WeekNumber& current, int waitWeeks) {
    DueWeeks weeks;
    int p = current.week - 1;
    if (current.lateNewYear) {
        if (p < 0)
            p = 52;
        weeks.due = waitWeeks > p ? p - waitWeeks + 52 : p - waitWeeks;
    } else {
        if (p == 0)
            p = 52;
        weeks.due = waitWeeks >= p ? p - waitWeeks + 52 : p - waitWeeks;
    }
    weeks.previous = p;
    return weeks;
}

int dueMonth(int rememberedMonth, int waitMonths) {
    int due = rememberedMonth - waitMonths;
    if (waitMonths >= rememberedMonth)
        due += 12;
    return due;
}

}  // namespace qx
