#include "RunCommand.h"

#include <algorithm>
#include <ostream>

#include "AdditionalDeletion.h"
#include "AlarmReport.h"
#include "AlarmWavs.h"
#include "ConferenceRecordings.h"
#include "DeletionDirectory.h"
#include "DryRun.h"
#include "FileOperations.h"
#include "JobSettings.h"
#include "JobWatcherThread.h"
#include "LineTestCall.h"
#include "LineWatchdogThread.h"
#include "ManualOperations.h"
#include "MonthlyMove.h"
#include "ProfileNames.h"
#include "ServiceHooks.h"
#include "Startup.h"
#include "StatisticMover.h"
#include "TimedTasks.h"
#include "WebTriggerThread.h"
#include "WeeklyBackup.h"
#include "WeeklyMove.h"

namespace qx {

namespace {

int exitCodeOf(bool ok) {
    return ok ? 0 : 1;
}

int exitCodeOf(OperationResult result, std::ostream& err) {
    if (result == OperationResult::Declined)
        err << "qxmover: not confirmed; nothing done" << std::endl;
    return result == OperationResult::Done ? 0 : 1;
}

// The month the scheduler would remember when `job` runs at `now`: the month that has just ended for
// the monthly job (which runs at a month change), the current month for everything else.
int rememberedMonthFor(const std::string& job, SysTime now) {
    int month = toLocal(now).month;
    if (job != "monthly")
        return month;
    return month == 1 ? 12 : month - 1;
}

// One check or test call of the monitors, now.
int runMonitor(const std::string& name, Services& s, FileOperations& files, ServiceHooks& hooks, bool dryRun,
               std::ostream& err) {
    const SysTime now = s.clock.now();
    if (name == "disk-check") {
        const MoverSettings settings = readSettings(s.profile);
        const std::string drives = asciiUpper(settings.checkDrives);
        for (const char* drive : {"C:", "D:", "E:", "F:"}) {
            if (drives.find(drive) == std::string::npos)
                continue;
            if (!hooks.diskMonitor().rootOf(drive))
                err << "qxmover: drive " << drive << " is not mapped (--drive " << drive[0]
                    << "=DIR); skipped" << std::endl;
            hooks.diskMonitor().checkDrive(drive, diskMonitorOf(settings));
        }
        return 0;
    }
    if (name == "extra-drives") {
        hooks.diskMonitor().checkAdditionalDrives();
        return 0;
    }
    if (name == "job-check") {
        JobWatcherThread(s, files).checkAll(now);
        return 0;
    }
    if (name == "watchdog-call") {
        auto pause = [&] { return dryRun || s.clock.sleepFor(LineWatchdogThread::kPauseAfterCall, {}); };
        if (placeLineTestCall(s, pause, !dryRun).haveNumber)
            return 0;
        err << "qxmover: no NumberToDial in [LineWatchDog] of qxalarm.ini; no call placed" << std::endl;
        return 1;
    }
    std::string batch = s.profile.getString(ini::kMover, ini::kWebTrigger, "WebTriggerBat", "", 128);
    return exitCodeOf(
        WebTriggerThread(s, batch.empty() ? kDefaultWebTriggerBatch : batch, !dryRun).fire(now));
}

}  // namespace

const std::vector<std::string>& runnableJobs() {
    static const std::vector<std::string> jobs{
        "weekly-0",     "weekly-1",          "monthly",     "move-now",   "delete-now",
        "second-batch", "edit-second-batch", "timed-tasks", "backup",     "conference",
        "alarm-wavs",   "extra-delete",      "report",      "disk-check", "extra-drives",
        "job-check",    "watchdog-call",     "web-trigger"};
    return jobs;
}

int runJobCommand(const GlobalOptions& global, const RunOptions& options, std::ostream& out,
                  std::ostream& err) {
    const auto& jobs = runnableJobs();
    if (std::find(jobs.begin(), jobs.end(), options.job) == jobs.end()) {
        std::string known;
        for (const auto& job : jobs)
            known += (known.empty() ? "" : ", ") + job;
        err << "qxmover: unknown job \"" << options.job << "\" (jobs: " << known << ")" << std::endl;
        return 2;
    }

    GlobalOptions environmentOptions = global;
    if (options.at)
        environmentOptions.clockStart = options.at;
    Environment environment(environmentOptions, std::make_unique<TerminalPrompts>(options.yes));
    Services& s = environment.services();
    const SysTime now = s.clock.now();
    const MoverContext context = readMoverContext(s.profile, now, rememberedMonthFor(options.job, now));
    // A dry run writes nothing, the activity log included.
    s.state.writeLogFile = context.settings.writeLogFile && !options.dryRun;

    const auto* posix = dynamic_cast<const PosixLauncher*>(&s.launcher);
    DryRunLauncher dryLauncher(out,
                               [posix](std::string_view line) { return !posix || wouldStart(*posix, line); });
    DryRunFileOperations dryFiles(out);
    PosixFileOperations realFiles;
    Services job{s.paths,   s.profile, s.clock, s.state, options.dryRun ? dryLauncher : s.launcher,
                 s.prompts, s.strings, s.log,   nullptr};
    FileOperations& files = options.dryRun ? static_cast<FileOperations&>(dryFiles) : realFiles;
    DryRunDeleter dryDeleter(out);
    Deleter realDeleter;
    Deleter& deleter = options.dryRun ? static_cast<Deleter&>(dryDeleter) : realDeleter;
    ServiceHooks hooks(job, files, deleter, {}, !options.dryRun);
    StatisticMover mover(job, files, hooks);

    const std::string& name = options.job;
    if (name == "weekly-0")
        return exitCodeOf(weeklyAtMidnight(mover, context));
    if (name == "weekly-1")
        return exitCodeOf(weeklyAtOne(mover, context));
    if (name == "monthly")
        return exitCodeOf(monthlyMove(mover, context));
    if (name == "move-now")
        return exitCodeOf(moveNow(mover, context), err);
    if (name == "delete-now")
        return exitCodeOf(deleteNow(mover, context), err);
    if (name == "second-batch")
        return exitCodeOf(startSecondBatchNow(mover, context), err);
    if (name == "edit-second-batch")
        return exitCodeOf(editSecondBatch(mover), err);
    if (name == "conference") {
        processConferenceWavs(job, files, deleter, now);
        return 0;
    }
    if (name == "alarm-wavs") {
        deleteOldAlarmWavs(job, deleter, now);
        return 0;
    }
    if (name == "extra-delete") {
        deleteAdditionalFiles(job, deleter, now);
        return 0;
    }
    if (name == "report")
        return exitCodeOf(produceAlarmReport(job, files, context.settings.reportType, now));
    if (name == "disk-check" || name == "extra-drives" || name == "job-check" || name == "watchdog-call" ||
        name == "web-trigger")
        return runMonitor(name, job, files, hooks, options.dryRun, err);
    if (name == "timed-tasks") {
        runTimedTasks(job, now, context.calendar);
        return 0;
    }
    return exitCodeOf(startBackup(job, context.settings));
}

}  // namespace qx
