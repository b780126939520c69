#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "Clock.h"
#include "Services.h"
#include "qxclass/CDatabase.h"

namespace qx {

// Passes without a received test call after which the single counter fails: DeltaHours × 6 + 1 for
// the hourly schedules, else the MinuteInterval (1, 2 or 3) plus 1 unless StartAlarmImmediately is 1.
int singleCounterLimit(int deltaHours, int minuteInterval, int startAlarmImmediately);

// "%08X" of the seconds since 1970: the form of LastAlarm.
std::string hexTime(SysTime time);

// Records a failed line check in `section` of `file`: Status "1", LastAlarm the time, CheckCounter the
// negative limit, so that without a call the next failure comes 2 × limit + 1 passes later.
void recordLineFailure(Profile& profile, const ActivityLog& log, std::string_view file,
                       std::string_view section, SysTime now, int limit);

// The per-server counters of the line watchdog: every alarm key Key1.. of [Settings] in qxawdog.ini
// (up to 99, ending at the first below 10) whose alarm definition is a call-back check (T02 92, T30 6)
// has its counter CheckCounter in [WDog<key>] of qxawdog.ini, with the limit from the alarm's minutes
// (T65 / 10, plus 1 unless StartAlarmImmediately is 1) and its alarm T69.
class ServerCallbackCheck {
public:
    // `table` is the native path of the alarm table; it is opened at every check.
    ServerCallbackCheck(Services& services, std::filesystem::path table);

    // One pass over the servers at `now`: raises each counter below its limit, records the failure
    // (and starts the alarm above 9) of each counter that has reached it. An alarm table that cannot
    // be opened skips the pass. Returns the number of failures.
    int check(int startAlarmImmediately, SysTime now);

private:
    Services& m_services;
    std::filesystem::path m_tablePath;
    std::unique_ptr<CDatabase> m_table;  // made on first use, kept for the thread's life
};

}  // namespace qx
