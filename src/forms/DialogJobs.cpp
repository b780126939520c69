#include "DialogJobs.h"

#include "ActivityLog.h"
#include "AlarmReport.h"
#include "Clock.h"
#include "HousekeepingHooks.h"
#include "MainDialogRules.h"
#include "ManualOperations.h"

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

void runDialogOperation(Services& s, const DialogJobs& jobs, int buttonId, int moveMode, int reportType) {
    PosixFileOperations files;
    JobHooks hooks;
    StatisticMover mover(s, files, hooks);
    SysTime now = s.clock.now();
    // Each operation shows its own failure; the dialog goes on.
    switch (buttonId) {
        case ctl::kTestMove:
            (void)moveNow(mover, buttonContext(s, now, moveMode));
            break;
        case ctl::kTestDelete:
            (void)deleteNow(mover, buttonContext(s, now, moveMode));
            break;
        case ctl::kTestBatch:
            (void)startSecondBatchNow(mover, buttonContext(s, now, moveMode));
            break;
        case ctl::kEditBatch:
            (void)editSecondBatch(mover);
            break;
        case ctl::kPrintNow:
            if (jobs.printReport)
                jobs.printReport(s, reportType, now);
            else
                s.log.note("Print now: the alarm report is not part of this build");
            break;
    }
}

}  // namespace qx
