#include "WeekCalendar.h"

#include <chrono>

namespace {

std::chrono::days inDays(int weeks) {
    return std::chrono::days{7 * weeks};
}

}  // namespace

namespace qx {

WeekNumber weekNumber(const LocalTime& date) {
    // Weekday of 1 January from the calendar alone, so that neither the time zone nor a DST change can
    // move it to another day.
    const std::chrono::weekday jan1{std::chrono::sys_days{std::chrono::year{date.year} / 1 / 1}};
    const int j = static_cast<int>(jan1.iso_encoding());

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

int previousWeek(const WeekNumber& current) {
    int p = current.week - 1;
    if (current.lateNewYear ? p < 0 : p == 0)
        p = 52;
    return p;
}

std::chrono::sys_days mondayOf(const LocalTime& date) {
    using namespace std::chrono;
    const sys_days day{year{date.year} / month{static_cast<unsigned>(date.month)} /
                       std::chrono::day{static_cast<unsigned>(date.day)}};
    return day - days{date.isoWeekday() - 1};
}

WeekNumber weekNumberOf(std::chrono::sys_days day) {
    using namespace std::chrono;
    const year_month_day ymd{day};
    LocalTime date;
    date.year = static_cast<int>(ymd.year());
    date.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    date.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    date.weekday = static_cast<int>(weekday{day}.c_encoding());
    date.yearDay = static_cast<int>((day - sys_days{ymd.year() / January / 1}).count()) + 1;
    return weekNumber(date);
}

DueWeeks computeDueWeeks(const LocalTime& today, int waitWeeks) {
    using namespace std::chrono;
    DueWeeks weeks;
    weeks.previous = previousWeek(weekNumber(today));
    weeks.dueFilled = mondayOf(today) - inDays(waitWeeks);
    weeks.due = previousWeek(weekNumberOf(weeks.dueFilled));
    return weeks;
}

int dueMonth(int rememberedMonth, int waitMonths) {
    int due = rememberedMonth - waitMonths;
    if (waitMonths >= rememberedMonth)
        due += 12;
    return due;
}

}  // namespace qx
