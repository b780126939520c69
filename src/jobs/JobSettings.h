#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "Clock.h"
#include "MoverSettings.h"
#include "Profile.h"

namespace qx {

// qxaview.ini [Config] AlarmDBPath, the installation path of the statistic files ("\qxt\log").
std::string readLogDirectory(const SettingReader& settings);

// qxalarm.ini [qxaconf] ResultWavePath, the base of the wave directories ("\qxt\log\confwav").
std::string readWaveDirectory(const SettingReader& settings);

// The calendar values that a mover job acts on.
struct MoverCalendar {
    int currentWeek = 0;
    int previousWeek = 0;
    int dueWeek = 0;
    std::chrono::sys_days dueFilled{};  // the Monday on which the due week's directory was filled
    int month = 1;                      // of the moment the job runs
    int year = 1970;
    int rememberedMonth = 1;  // the month of the monthly mode whose files are handed on
    int dueMonth = 1;
};

// The values at `now` by the clock timer's formula, with `waitBeforeDel` weeks (counted in calendar
// weeks) or months of waiting.
MoverCalendar calendarAt(SysTime now, int waitBeforeDel, int rememberedMonth);

// Monday 00:00 (local time) of the week that holds `time`: where the installation's weeks begin.
SysTime weekStart(SysTime time);

// Everything a mover job reads, taken once when it starts.
struct MoverContext {
    MoverSettings settings;
    std::string logDirectory;   // installation path, as configured
    std::string waveDirectory;  // installation path, as configured
    bool delLogFiles = false;   // [Config] DelLogFiles = 1 exactly
    MoverCalendar calendar;
    SysTime now;
};

// The wait that protects an earlier cycle's files when a week directory is filed again: WaitBeforeDel
// when the due weeks are emptied (DelLogFiles = 1), else none.
int claimWait(const MoverContext& context);

// The context of a job at `now`, settings read afresh; bad values of the key table are told in `report`.
MoverContext readMoverContext(const Profile& profile, SysTime now, int rememberedMonth,
                              std::optional<SettingReport> report = std::nullopt);

}  // namespace qx
