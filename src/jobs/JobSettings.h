#pragma once

#include <optional>
#include <string>

#include "Clock.h"
#include "MoverSettings.h"
#include "Profile.h"

namespace qx {

// qxaview.ini [Config] AlarmDBPath, the installation path of the statistic files ("\qxt\log").
std::string readLogDirectory(const Profile& profile);

// qxalarm.ini [qxaconf] ResultWavePath, the base of the wave directories ("\qxt\log\confwav").
std::string readWaveDirectory(const Profile& profile);

// The calendar values that a mover job acts on.
struct MoverCalendar {
    int currentWeek = 0;
    int previousWeek = 0;
    int dueWeek = 0;
    int month = 1;  // of the moment the job runs
    int year = 1970;
    int rememberedMonth = 1;  // the month of the monthly mode whose files are handed on
    int dueMonth = 1;
};

// The values at `now` by the clock timer's formula (52 weeks to a year), with `waitBeforeDel` weeks or
// months of waiting.
MoverCalendar calendarAt(SysTime now, int waitBeforeDel, int rememberedMonth);

// Monday 00:00 (local time) of the week that holds `time`: where the installation's weeks begin.
SysTime weekStart(SysTime time);

// The time before which a file in the week directory being filed at `now` is left from an earlier
// cycle of that week number: 50 weeks before the start of the week being filed (the week before the
// week of `now`). The same number comes round again after 52 or 53 weeks, and what was filed then
// was written before that week ended, 51 weeks or more ago. Whatever this cycle filed, however often
// the filing runs, is younger and stays.
SysTime earlierCycleBefore(SysTime now);

// Everything a mover job reads, taken once when it starts.
struct MoverContext {
    MoverSettings settings;
    std::string logDirectory;   // installation path, as configured
    std::string waveDirectory;  // installation path, as configured
    bool delLogFiles = false;   // [Config] DelLogFiles = 1 exactly
    MoverCalendar calendar;
    SysTime now;
};

// Whether the wait reaches a whole cycle of the move mode (52 weeks or more, 12 months or more), so
// that the scheduled deletion deletes nothing: any due week or month would be one still kept.
bool keepsWholeCycle(const MoverContext& context);

// The context of a job at `now`, settings read afresh; bad values of the key table are told in `report`.
MoverContext readMoverContext(const Profile& profile, SysTime now, int rememberedMonth,
                              std::optional<SettingReport> report = std::nullopt);

}  // namespace qx
