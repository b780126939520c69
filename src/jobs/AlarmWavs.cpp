#include "AlarmWavs.h"

#include <algorithm>
#include <cstdio>

#include "ActivityLog.h"
#include "Clock.h"
#include "CodePage.h"
#include "FileAge.h"
#include "MoverSettings.h"
#include "Profile.h"

namespace qx {

HousekeepingResult deleteOldAlarmWavs(Services& services, Deleter& deleter, SysTime now) {
    HousekeepingResult result;
    // Through the settings record, so that the marker -9 (missing) gives the default, 4 weeks; zero
    // (and a hand-edited negative value, which would put the limit in the future) means one week.
    const int weeks = std::max(1, readSettings(services.profile).delAlarmWavAfterWeeks);
    std::unique_ptr<DirectoryHandle> directory =
        openForDeletion(services, kAlarmWavDirectory, result, deleter.dryRun());
    if (!directory)
        return result;
    const SysTime threshold = ageThreshold(now, weeks);
    const std::vector<FoundFile> entries = directory->find("*.*", services.stop);
    for (const FoundFile& entry : entries) {
        // The 8.3 names of the alarm recordings; the server's own voice files begin with a lower-case v.
        if (characterCount(entry.name) != 12 || entry.name[0] == 'v' || entry.isDirectory ||
            !isOlder(entry.lastWrite, threshold))
            continue;
        if (services.stop.stop_requested())
            break;
        deleteCounted(services, deleter, *directory, entry.name, "Failed to delete alarmwavfile ",
                      std::string(kAlarmWavDirectory) + entry.name, result);
    }
    // Between two files, or in the scan (which then found only part of the directory).
    if (services.stop.stop_requested()) {
        services.log.note("Delete of alarmwavfiles stopped");
        result.stoppedBefore("the rest of " + std::string(kAlarmWavDirectory));
        return result;
    }
    char line[80];
    std::snprintf(line, sizeof line, "Delete alarmwavfiles which are older then %d weeks", weeks);
    services.log.note(line);
    if (result.failedFiles > 1)
        services.log.note(std::to_string(result.failedFiles) + " alarmwavfiles could not be deleted");
    return result;
}

}  // namespace qx
