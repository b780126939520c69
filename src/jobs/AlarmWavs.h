#pragma once

#include "DeletionDirectory.h"
#include "Services.h"

namespace qx {

// The alarm server's sound directory "\dbv1\" on the installation's drive.
inline constexpr const char* kAlarmWavDirectory = "\\dbv1\\";

// Deletes the recorded and generated alarm sound files of "\dbv1\" older than [Config]
// DelAlarmWavAfterWeeks weeks (default 4; less than 1 counts as 1). Only names exactly 12 characters
// long (the server's 8.3 names; characters, not bytes: see characterCount) are considered, and a name
// beginning with a lower-case "v" is always kept; directories stay. Failed deletions are ignored. Logs
// "Delete alarmwavfiles which are older then N weeks" when the directory could be read; nothing when it is
// missing.
void deleteOldAlarmWavs(Services& services, Deleter& deleter, SysTime now);

}  // namespace qx
