#include "JobSettings.h"

#include "ProfileNames.h"
#include "WeekCalendar.h"

namespace qx {

std::string readLogDirectory(const Profile& profile) {
    return profile.getString(ini::kAview, ini::kConfig, "AlarmDBPath", "\\qxt\\log", 80);
}

std::string readWaveDirectory(const Profile& profile) {
    return profile.getString(ini::kAlarm, ini::kQxaconf, "ResultWavePath", "\\qxt\\log\\confwav", 80);
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
    context.settings = readSettings(profile, {}, report);
    context.logDirectory = readLogDirectory(profile);
    context.waveDirectory = readWaveDirectory(profile);
    context.delLogFiles = SettingReader(profile, report).integer(keys::kDelLogFiles) == 1;
    context.calendar = calendarAt(now, context.settings.waitBeforeDel, rememberedMonth);
    context.now = now;
    return context;
}

}  // namespace qx
