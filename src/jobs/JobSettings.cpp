#include "JobSettings.h"

#include "ProfileNames.h"
#include "WeekCalendar.h"

namespace qx {

namespace {

constexpr int kMissing = -9;

int readMarked(const Profile& profile, const char* section, const char* key, int defaultValue) {
    int value = profile.getInt(ini::kMover, section, key, kMissing);
    return value == kMissing ? defaultValue : value;
}

}  // namespace

MoverSettings readJobSettings(const Profile& profile) {
    MoverSettings s;
    const char* cfg = ini::kConfig;
    s.delLogFiles = profile.getInt(ini::kMover, cfg, "DelLogFiles", 0) != 0;
    std::string range = profile.getString(ini::kAview, cfg, "AlarmSelectionRange", "week", 40);
    s.moveMode = range == "week" ? 1 : range == "month" ? 2 : 0;
    if (s.moveMode == 0) {
        s.delLogFiles = false;
    } else {
        int wait = profile.getInt(ini::kMover, cfg, "WaitBeforeDel", 10);
        int upper = s.moveMode == 1 ? 53 : 12;
        int clampTo = s.moveMode == 1 ? 52 : 12;
        s.waitBeforeDel = wait < 1 ? 1 : wait > upper ? clampTo : wait;
    }
    s.start2ndBatch = readMarked(profile, cfg, "Start2ndBatch", 0) != 0;
    s.deleteMoreFiles = readMarked(profile, cfg, "DeleteMoreFiles", 0) != 0;
    s.moveConferWav = readMarked(profile, cfg, "MoveConferWav", 0) != 0;
    s.moveConferWavDaily = readMarked(profile, cfg, "MoveConferWavDaily", 0) != 0;
    s.delAlarmWav = readMarked(profile, cfg, "DelAlarmWav", 0) != 0;
    s.delAlarmWavAfterWeeks = readMarked(profile, cfg, "DelAlarmWavAfterWeeks", 4);
    s.moveConferWavToSubDir = readMarked(profile, cfg, "MoveConferWavToSubDir", 0) != 0;
    if (profile.getInt(ini::kMover, cfg, "MoveToConferWav", 0) == 0 &&
        profile.getInt(ini::kMover, cfg, "DelConferWav", 0) == 0)
        s.moveConferWavToSubDir = true;
    s.printReport = readMarked(profile, cfg, "PrintReport", 0) != 0;
    s.reportType = profile.getInt(ini::kMover, ini::kAlarmReport, "ReportType", 0);

    const char* hd = ini::kHDCheck;
    s.hdActive = profile.getInt(ini::kMover, hd, "Active", 0) != 0;
    s.checkTime = profile.getInt(ini::kMover, hd, "CheckTime", 7);
    s.checkDrives = profile.getString(ini::kMover, hd, "CheckDrives", "", 256);

    s.autoBackupActive = profile.getInt(ini::kMover, ini::kAutoBackup, "Active", 0) != 0;
    s.autoBackupPath = profile.getString(ini::kMover, ini::kAutoBackup, "Path", "\\qxsavebase\\", 128);
    s.writeLogFile = profile.getInt(ini::kMover, cfg, "WriteLogFile", 1) != 0;
    s.startSaveBaseAsPostjob = profile.getInt(ini::kMover, cfg, "StartSaveBaseAsPostjob", 0) != 0;
    return s;
}

std::string readLogDirectory(const Profile& profile) {
    return profile.getString(ini::kAview, ini::kConfig, "AlarmDBPath", "\\qxt\\log", 80);
}

std::string readWaveDirectory(const Profile& profile) {
    return profile.getString(ini::kAlarm, ini::kQxaconf, "ResultWavePath", "\\qxt\\log\\confwav", 80);
}

MoverCalendar calendarAt(SysTime now, int waitBeforeDel, int rememberedMonth) {
    LocalTime local = toLocal(now);
    WeekNumber week = weekNumber(local);
    DueWeeks weeks = computeDueWeeks(week, waitBeforeDel);
    MoverCalendar c;
    c.currentWeek = week.week;
    c.previousWeek = weeks.previous;
    c.dueWeek = weeks.due;
    c.month = local.month;
    c.year = local.year;
    c.rememberedMonth = rememberedMonth;
    c.dueMonth = dueMonth(rememberedMonth, waitBeforeDel);
    return c;
}

MoverContext readMoverContext(const Profile& profile, SysTime now, int rememberedMonth) {
    MoverContext context;
    context.settings = readJobSettings(profile);
    context.logDirectory = readLogDirectory(profile);
    context.waveDirectory = readWaveDirectory(profile);
    context.delLogFiles = profile.getInt(ini::kMover, ini::kConfig, "DelLogFiles", 0) == 1;
    context.calendar = calendarAt(now, context.settings.waitBeforeDel, rememberedMonth);
    context.now = now;
    return context;
}

}  // namespace qx
