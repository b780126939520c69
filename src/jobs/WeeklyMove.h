#pragma once

#include "JobSettings.h"
#include "StatisticMover.h"

namespace qx {

// The weekly housekeeping of Monday's first two hours in weekly mode. Both halves work on the week
// directory of the previous week, which they create when it is missing.

// 00:00: the viewer's .inf files into the week directory; then the conference recordings (or the .wav
// files into the wave directory of the previous week), the alarm recordings and the extra deletion as
// their settings ask. Fails, with the first reason, when a file could not be moved. `filed` (when given)
// says whether the week directory got every file it should (see refileWeek()).
Result<> weeklyAtMidnight(StatisticMover& mover, const MoverContext& context, bool* filed = nullptr);

// 01:00: the statistic files into the week directory (with the age check, after the files of an
// earlier year are deleted there); with DelLogFiles = 1 the due week's directory is emptied; then the
// second batch and its deletion batch when Start2ndBatch is on. Fails, with the first reason, when a
// file could not be moved or the second batch could not be started (which is shown in a box that does
// not hold the caller).
Result<> weeklyAtOne(StatisticMover& mover, const MoverContext& context, bool* filed = nullptr);

// Files again what one half (`atMidnight`: the .inf files; else the statistic files) could not file
// into the week directory (a full or read-only target): the filing alone, not the rest of the work.
// Succeeds when it is all filed now. What it notes goes through the mover's log: a caller that tries at
// every pass gives it a quiet one, so that a failure is logged once.
Result<> refileWeek(StatisticMover& mover, const MoverContext& context, bool atMidnight);

}  // namespace qx
