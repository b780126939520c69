#include "AlarmWavs.h"

#include <algorithm>
#include <cstdio>

#include "CodePage.h"
#include "FileAge.h"
#include "ProfileNames.h"

namespace qx {

void deleteOldAlarmWavs(Services& services, Deleter& deleter, SysTime now) {
    // Zero (and a hand-edited negative value, which would put the limit in the future) means one week.
    const int weeks =
        std::max(1, services.profile.getInt(ini::kMover, ini::kConfig, "DelAlarmWavAfterWeeks", 4));
    std::unique_ptr<DeletionDirectory> directory =
        openForDeletion(services, services.paths.native(kAlarmWavDirectory));
    if (!directory)
        return;
    const SysTime threshold = ageThreshold(now, weeks);
    for (const FoundFile& entry : directory->find("*.*")) {
        // The 8.3 names of the alarm recordings; the server's own voice files begin with a lower-case v.
        if (characterCount(entry.name) != 12 || entry.name[0] == 'v' || entry.isDirectory)
            continue;
        if (isOlder(entry.lastWrite, threshold))
            (void)deleter.remove(*directory, entry.name);
    }
    char line[80];
    std::snprintf(line, sizeof line, "Delete alarmwavfiles which are older then %d weeks", weeks);
    services.log.note(line);
}

}  // namespace qx
