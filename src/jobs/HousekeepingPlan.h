#pragma once

#include <string>
#include <vector>

#include "Clock.h"
#include "MoverSettings.h"
#include "SchedulerState.h"

namespace qx {

// The housekeeping that the scheduler owes once per period: the two halves of the weekly move on
// Monday at 00:00 and 01:00, the backup on Monday at 00:00 (each period a week from Monday 00:00),
// and the monthly move at 00:00 of the first of the month (each period a calendar month). The Monday
// 00:00 work is owed in every move mode when housekeeping jobs are switched on: the conference
// recordings, the alarm recordings and the extra deletion run each Monday, not only with the weekly
// move (see mondayMidnight()).
enum class Housework { WeekMidnight, WeekOne, Month, Backup };

struct DueWork {
    Housework work;
    SysTime hour;  // the hour it belongs to: its weeks and month are those of this time
};

// "YYYY-MM-DD" of the Monday that begins the week of `time`; "YYYY-MM" of its month.
std::string mondayKey(SysTime time);
std::string monthKey(SysTime time);

// The record of a first start at `now`: the work of the current periods whose hour passed before the
// current minute counts as done, so nothing is caught up; work of this very minute runs as scheduled.
SchedulerRecord firstStartRecord(SysTime now);

// Records as done what the settings do not ask for in the current period, so that turning them on
// later does not catch it up: the weekly move's 01:00 half outside weekly mode (`moveMode` 1), its
// 00:00 work outside weekly mode unless `mondayHousekeeping` (see wantsMondayHousekeeping()), the
// monthly move outside monthly mode (2), the backup while it is off.
void markNotWanted(SchedulerRecord& record, SysTime now, int moveMode, bool backupActive,
                   bool mondayHousekeeping = false);
// The same for the settings as read for a pass.
void markNotWanted(SchedulerRecord& record, SysTime now, const MoverSettings& settings);

// The work of the current periods that is due at `now` and not recorded as done, in the order in
// which it runs. Work of an earlier period is never owed.
std::vector<DueWork> dueWork(const SchedulerRecord& record, SysTime now);

// Records `work` of the period of `hour` as done.
void markDone(SchedulerRecord& record, Housework work, SysTime hour);

// How the activity log names `work` of `hour` when it runs late: "the weekly 01:00 work of Monday
// 07.12" and the like.
std::string describe(Housework work, SysTime hour);

}  // namespace qx
