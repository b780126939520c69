#pragma once

#include "Clock.h"
#include "DeletionDirectory.h"
#include "HousekeepingResult.h"
#include "Services.h"

namespace qx {

// The alarm server's sound directory "\dbv1\" on the installation's drive.
inline constexpr const char* kAlarmWavDirectory = "\\dbv1\\";

// Deletes the recorded and generated alarm sound files of "\dbv1\" older than [Config]
// DelAlarmWavAfterWeeks weeks (missing or the marker -9: 4; less than 1 counts as 1). Only names
// exactly 12 characters long (the server's 8.3 names; characters, not bytes: see characterCount) are
// considered, and a name beginning with a
// lower-case "v" is always kept; directories stay. Logs "Delete alarmwavfiles which are older then N
// weeks" when the directory could be read; nothing when it is missing. The first file that could not
// be deleted is logged with its reason, and how many failed in all. A stop requested through
// services.stop ends the job between two files. Returns what was deleted and what failed.
HousekeepingResult deleteOldAlarmWavs(Services& services, Deleter& deleter, SysTime now);

}  // namespace qx
