#include "JobSettings.h"

#include "SettingKeys.h"
#include "WeekCalendar.h"

namespace qx {

std::string readLogDirectory(const SettingReader& settings) {
    return settings.text(keys::kAlarmDbPath);
}

std::string readWaveDirectory(const SettingReader& settings) {
    return settings.text(keys::kResultWavePath);
}

MoverCalendar calendarAt(SysTime now, int waitBeforeDel, int rememberedMonth) {
    LocalTime local = toLocal(now);
    WeekNumber week = weekNumber(local);
    DueWeeks weeks = computeDueWeeks(local, waitBeforeDel);
    MoverCalendar c;
    c.currentWeek = week.week;
    c.previousWeek = weeks.previous;
    c.dueWeek = weeks.due;
    c.dueFilled = weeks.dueFilled;
    c.month = local.month;
    c.year = local.year;
    c.rememberedMonth = rememberedMonth;
    c.dueMonth = dueMonth(rememberedMonth, waitBeforeDel);
    return c;
}

SysTime weekStart(SysTime time) {
    LocalTime local = toLocal(time);
    // Through the calendar, so that a change of daylight saving time in between costs nothing.
    return fromLocal(local.year, local.month, local.day - (local.isoWeekday() - 1));
}

int claimWait(const MoverContext& context) {
    return context.delLogFiles ? context.settings.waitBeforeDel : 0;
}

MoverContext readMoverContext(const Profile& profile, SysTime now, int rememberedMonth,
                              std::optional<SettingReport> report) {
    MoverContext context;
    const SettingReader settings(profile, report);
    context.settings = readSettings(profile, {}, report);
    context.logDirectory = readLogDirectory(settings);
    context.waveDirectory = readWaveDirectory(settings);
    context.delLogFiles = settings.integer(keys::kDelLogFiles) == 1;
    context.calendar = calendarAt(now, context.settings.waitBeforeDel, rememberedMonth);
    context.now = now;
    return context;
}

}  // namespace qx
