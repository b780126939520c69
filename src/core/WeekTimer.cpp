#include "WeekTimer.h"

#include <cstdio>

#include "StringTable.h"
#include "WeekCalendar.h"

namespace qx {

int weekTimerTick(const LocalTime& now, SharedState& state) {
    int day = state.dayState.load();
    if (now.hour == 0 && day == 0)
        day = 1;
    if (now.hour == 1 && day == -1) {
        state.dayState = 0;
        return -1;
    }
    if (day < 1) {
        state.dayState = day;
        return -1;
    }
    WeekNumber current = weekNumber(now);
    DueWeeks weeks = computeDueWeeks(now, state.waitBeforeDel.load());
    state.lateNewYear = current.lateNewYear;
    state.previousWeek = weeks.previous;
    state.dueWeek = weeks.due;
    state.dayState = -1;
    return current.week;
}

std::string clockText(const StringTable& strings, const LocalTime& now) {
    const std::string format = strings.get(kStrDateTime);
    char text[128];
    std::snprintf(text, sizeof text, format.c_str(), now.day, now.month, now.year, now.hour, now.minute,
                  now.second);
    return text;
}

std::string weekText(const StringTable& strings, int week) {
    const std::string format = strings.get(kStrWeek);
    char text[128];
    std::snprintf(text, sizeof text, format.c_str(), week);
    return text;
}

}  // namespace qx
