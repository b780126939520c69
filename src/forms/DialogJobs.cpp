#include "DialogJobs.h"

#include "AlarmReport.h"
#include "Clock.h"
#include "HousekeepingHooks.h"

namespace qx {

DialogJobs dialogJobs() {
    DialogJobs jobs;
    jobs.conferenceRecordings = [](Services& services, SysTime now) {
        HousekeepingHooks(services).conferenceRecordings(now);
    };
    jobs.printReport = [](Services& services, int reportType, SysTime now) {
        PosixFileOperations files;
        // Not the interactive flag: a button press wants to hear that there is no alarm index to print.
        // What fails is in the activity log, and a missing index was shown.
        static_cast<void>(produceAlarmReport(services, files, reportType, now, false));
    };
    return jobs;
}

}  // namespace qx
