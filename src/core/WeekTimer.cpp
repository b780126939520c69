#include "WeekTimer.h"

#include "StringTable.h"
#include "TextFormat.h"
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
    return formatText(strings.get(kStrDateTime),
                      {now.day, now.month, now.year, now.hour, now.minute, now.second});
}

std::string weekText(const StringTable& strings, int week) {
    return formatText(strings.get(kStrWeek), {week});
}

}  // namespace qx
