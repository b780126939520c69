#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
#include "JobSettings.h"
#include "Result.h"
#include "Services.h"
#include "SettingRecords.h"

namespace qx {

// The user's timed tasks of qxmover.ini [StartMore], numbered 1 to 49 (TimedTask, SettingRecords.h):
// programs, script-engine modules and alarms started at a weekday and hour.

// The tasks in order, up to the first empty Prog<n>. A day, hour or type that matches nothing keeps its
// task from starting, told in `report`.
std::vector<TimedTask> readTimedTasks(const Profile& profile,
                                      std::optional<SettingReport> report = std::nullopt);

// Whether a task of `day` runs on `weekday` (0 = Sunday .. 6 = Saturday).
bool dayMatches(int day, int weekday);

// The parameter text of a module task from [QxeTaskParameter<n>]: " -s<k>value" for each non-empty
// s1..s9, then " -i<k>value" for each i1..i9 above 0.
std::string moduleParameters(const SettingReader& settings, int number);

// The command line that starts `task`; nullopt for an unknown type.
std::optional<std::string> timedTaskCommand(const SettingReader& settings, const TimedTask& task,
                                            const MoverCalendar& calendar);

// Starts every task due at the hour of `now`, or at `hour` of the day of `now` (an hour that daylight
// saving time skipped, run once in the first minute after it), shown, and logs each: "Start ..." when
// it started, "Cannot start ..." when not. A failed start only loses that start. Fails when a task could
// not be started: "cannot start task N: COMMAND", and how many failed when more than one.
Result<> runTimedTasks(Services& services, SysTime now, const MoverCalendar& calendar,
                       std::optional<int> hour = std::nullopt);

}  // namespace qx
