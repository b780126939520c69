#include "DialogJobs.h"

#include "AlarmReport.h"
#include "HousekeepingHooks.h"

namespace qx {

DialogJobs dialogJobs() {
    DialogJobs jobs;
    jobs.conferenceRecordings = [](Services& services, SysTime now) {
        HousekeepingHooks(services).conferenceRecordings(now);
    };
    jobs.printReport = [](Services& services, int reportType, SysTime now) {
        PosixFileOperations files;
        produceAlarmReport(services, files, reportType, now, true);
    };
    return jobs;
}

}  // namespace qx
