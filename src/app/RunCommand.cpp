#include "RunCommand.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string_view>

#include "ActivityLog.h"
#include "AdditionalDeletion.h"
#include "AlarmReport.h"
#include "AlarmWavs.h"
#include "Clock.h"
#include "ConferenceRecordings.h"
#include "DeletionDirectory.h"
#include "DryRun.h"
#include "FileOperations.h"
#include "JobSettings.h"
#include "JobWatcherThread.h"
#include "Launcher.h"
#include "LineTestCall.h"
#include "LineWatchdogThread.h"
#include "ManualOperations.h"
#include "MonthlyMove.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "Prompts.h"
#include "ServiceHooks.h"
#include "ServiceStart.h"
#include "SettingKeys.h"
#include "SharedState.h"
#include "Startup.h"
#include "StatisticMover.h"
#include "StringTable.h"
#include "TimedTasks.h"
#include "WebTriggerThread.h"
#include "WeeklyBackup.h"
#include "WeeklyMove.h"

namespace qx {

namespace {

// The month the scheduler would remember when `job` runs at `now`: the month that has just ended for
// the monthly job (which runs at a month change), the current month for everything else.
int rememberedMonthFor(const std::string& job, SysTime now) {
    int month = toLocal(now).month;
    if (job != "monthly")
        return month;
    return month == 1 ? 12 : month - 1;
}

// What a job runs with: the services (with the dry-run stand-ins where asked), the file work, the
// mover and the settings of the moment.
struct JobRun {
    const std::string& name;
    Services& services;
    FileOperations& files;
    Deleter& deleter;
    ServiceHooks& hooks;
    StatisticMover& mover;
    const MoverContext& context;
    SysTime now;
    bool dryRun;
    std::ostream& err;
};

Result<> diskCheck(JobRun& run) {
    const MoverSettings settings = readSettings(run.services.profile, {}, reportOf(run.services));
    const std::string drives = asciiUpper(settings.checkDrives);
    DiskMonitor& monitor = run.hooks.diskMonitor();
    Result<> outcome;
    for (const char* drive : {"C:", "D:", "E:", "F:"}) {
        if (drives.find(drive) == std::string::npos)
            continue;
        if (!monitor.rootOf(drive))
            run.err << "qxmover: drive " << drive << " is not mapped (--drive " << drive[0]
                    << "=DIR); skipped" << std::endl;
        const Result<bool> checked = monitor.checkDrive(drive, diskMonitorOf(settings));
        if (!checked)
            outcome.join(*checked.failure());
    }
    return outcome;
}

Result<> watchdogCall(JobRun& run) {
    Services& s = run.services;
    auto pause = [&] { return run.dryRun || s.clock.sleepFor(LineWatchdogThread::kPauseAfterCall, {}); };
    return placeLineTestCall(s, pause, !run.dryRun);
}

Result<> webTrigger(JobRun& run) {
    const std::string batch = settingsOf(run.services, !run.dryRun).text(keys::kWebTriggerBat);
    return WebTriggerThread(run.services, batch.empty() ? kDefaultWebTriggerBatch : batch, !run.dryRun)
        .fire(run.now);
}

// The jobs of `qxmover run`, in the order --help lists them: name, help line, whether it deletes files,
// and what runs it. Help, the name check and the dispatch all come from here.
struct JobVerb {
    const char* name;
    const char* help;
    bool deletes;
    Result<> (*run)(JobRun&);
};

constexpr JobVerb kJobVerbs[] = {
    {"weekly-0", "Monday 00:00, weekly: viewer files and recordings into last week; deletes as set", true,
     [](JobRun& r) { return weeklyAtMidnight(r.mover, r.context); }},
    {"weekly-1",
     "Monday 01:00, weekly: statistic files into last week; deletes last year's there, the due week", true,
     [](JobRun& r) { return weeklyAtOne(r.mover, r.context); }},
    {"monthly", "first hour of a month, monthly: qxmover.bat files last month; deletes the due month", true,
     [](JobRun& r) { return monthlyMove(r.mover, r.context); }},
    {"move-now", "the dialog's move: core files into last week's directory; deletes their namesakes there",
     true, [](JobRun& r) { return moveNow(r.mover, r.context); }},
    {"delete-now", "the dialog's delete: deletes the statistic files of the due week's directory", true,
     [](JobRun& r) { return deleteNow(r.mover, r.context); }},
    {"second-batch", "starts the second batch (qxmove2.bat) with the weeks, month and year", false,
     [](JobRun& r) { return startSecondBatchNow(r.mover, r.context); }},
    {"edit-second-batch", "opens the second batch in the editor, made from the template when missing", false,
     [](JobRun& r) { return editSecondBatch(r.mover); }},
    {"timed-tasks", "starts the timed tasks of [StartMore] due at this hour", false,
     [](JobRun& r) { return runTimedTasks(r.services, r.now, r.context.calendar); }},
    {"backup", "starts the backup tool for the backup path", false,
     [](JobRun& r) { return startBackup(r.services, r.context.settings); }},
    {"conference", "files the conference recordings; deletes those past their weeks", true,
     [](JobRun& r) { return processConferenceWavs(r.services, r.files, r.deleter, r.now).outcome(); }},
    {"alarm-wavs", "deletes alarm sound files older than DelAlarmWavAfterWeeks", true,
     [](JobRun& r) { return deleteOldAlarmWavs(r.services, r.deleter, r.now).outcome(); }},
    {"extra-delete", "deletes the files of the extra deletion rules older than their weeks", true,
     [](JobRun& r) { return deleteAdditionalFiles(r.services, r.deleter, r.now).outcome(); }},
    {"report", "writes the alarm report and starts printing it", false,
     [](JobRun& r) { return produceAlarmReport(r.services, r.files, r.context.settings.reportType, r.now); }},
    {"disk-check", "checks the free space of the chosen drives, alarm when low", false, diskCheck},
    {"extra-drives", "checks the used share of the further drives", false,
     [](JobRun& r) {
         r.hooks.diskMonitor().checkAdditionalDrives();
         return r.hooks.diskMonitor().reactions();
     }},
    {"job-check", "checks the job directories once", false,
     [](JobRun& r) { return JobWatcherThread(r.services, r.files).checkAll(r.now).failed.outcome(); }},
    {"watchdog-call", "places the line watchdog's test call", false, watchdogCall},
    {"web-trigger", "starts the web trigger batch for this hour", false, webTrigger},
};

const JobVerb* findJob(std::string_view name) {
    for (const JobVerb& verb : kJobVerbs)
        if (name == verb.name)
            return &verb;
    return nullptr;
}

}  // namespace

const std::vector<std::string>& runnableJobs() {
    static const std::vector<std::string> jobs = [] {
        std::vector<std::string> names;
        for (const JobVerb& verb : kJobVerbs)
            names.emplace_back(verb.name);
        return names;
    }();
    return jobs;
}

std::string jobListHelp() {
    std::string text = "Jobs (* deletes files):\n";
    for (const JobVerb& verb : kJobVerbs) {
        std::string name = verb.name;
        name.resize(std::max<std::size_t>(name.size(), 18), ' ');
        text += std::string(verb.deletes ? "* " : "  ") + name + " " + verb.help + "\n";
    }
    return text;
}

namespace {

std::uintmax_t sizeOf(const std::filesystem::path& file) {
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(file, ec);
    return ec ? 0 : size;
}

// The activity log a job run at `time` writes to (the one the Environment's log picks, with the working
// directory taken before the run changes to it).
std::filesystem::path activityLogOf(const GlobalOptions& global, SysTime time) {
    std::error_code ec;
    std::filesystem::path workdir =
        std::filesystem::absolute(global.workdir.empty() ? "." : global.workdir, ec);
    SystemClock clock;
    SharedState state;
    return ActivityLog(clock, state, workdir / "log").fileFor(time);
}

// Runs the job `verb` names once; `notFound` is set when a dry run met a program that would not be
// found.
Result<> runJobOnce(const JobVerb& verb, const GlobalOptions& global, const RunOptions& options,
                    std::ostream& out, std::ostream& err, bool& notFound);

}  // namespace

int runJobCommand(const GlobalOptions& global, const RunOptions& options, std::ostream& out,
                  std::ostream& err) {
    const JobVerb* verb = findJob(options.job);
    if (!verb) {
        std::string known;
        for (const JobVerb& each : kJobVerbs)
            known += (known.empty() ? "" : ", ") + std::string(each.name);
        err << "qxmover: unknown job \"" << options.job << "\" (jobs: " << known << ")" << std::endl;
        return 2;
    }
    const std::filesystem::path logFile =
        activityLogOf(global, options.at.value_or(std::chrono::system_clock::now()));
    const std::uintmax_t logSizeBefore = sizeOf(logFile);
    bool notFound = false;
    const Result<> result = runJobOnce(*verb, global, options, out, err, notFound);
    // A program that would not be found fails the real run; its dry run says so the same way for every
    // job, whatever the job makes of the failed start.
    if (notFound) {
        err << "qxmover: " << options.job << " would fail: a program it starts would not be found"
            << std::endl;
        return 1;
    }
    if (result)
        return 0;
    err << "qxmover: " << options.job << " failed: " << result.reason() << std::endl;
    // A dry run writes no log; what it would do is on standard output already.
    if (!options.dryRun && sizeOf(logFile) > logSizeBefore)
        err << "qxmover: the activity log " << logFile.string() << " has what it did" << std::endl;
    return 1;
}

namespace {

Result<> runJobOnce(const JobVerb& verb, const GlobalOptions& global, const RunOptions& options,
                    std::ostream& out, std::ostream& err, bool& notFound) {
    GlobalOptions environmentOptions = global;
    if (options.at)
        environmentOptions.clockStart = options.at;
    // A dry run asks nothing: it shows the question and what the confirmed run would do.
    Environment environment(environmentOptions,
                            options.dryRun ? std::unique_ptr<Prompts>(std::make_unique<DryRunPrompts>(out))
                                           : std::make_unique<TerminalPrompts>(options.yes));
    Services& s = environment.services();
    if (auto problem = settingsProblem(s.paths, true))
        return Failure(*problem + "; nothing done");
    const SysTime now = s.clock.now();
    const MoverContext context = readMoverContext(s.profile, now, rememberedMonthFor(options.job, now));
    // A dry run writes nothing, the activity log included.
    s.state.writeLogFile = context.settings.writeLogFile && !options.dryRun;

    DryRunLauncher dryLauncher(
        out, [&s](std::string_view line) { return wouldStart(s.launcher, line); },
        [&s](std::string_view line) { return startedAs(s.launcher, line); });
    struct NoteNotFound {
        const DryRunLauncher& launcher;
        bool& notFound;
        ~NoteNotFound() { notFound = launcher.anyNotFound(); }
    } noteNotFound{dryLauncher, notFound};
    DryRunFileOperations dryFiles(out);
    PosixFileOperations realFiles;
    Services job{s.paths,   s.profile, s.clock, s.state, options.dryRun ? dryLauncher : s.launcher,
                 s.prompts, s.strings, s.log,   nullptr};
    FileOperations& files = options.dryRun ? static_cast<FileOperations&>(dryFiles) : realFiles;
    // One switch for both: the deletion jobs print through the same output as the mover.
    Deleter dryDeleter(dryFiles.dryRun());
    Deleter realDeleter;
    Deleter& deleter = options.dryRun ? static_cast<Deleter&>(dryDeleter) : realDeleter;
    ServiceHooks hooks(job, files, deleter, {}, !options.dryRun);
    StatisticMover mover(job, files, hooks);

    JobRun run{options.job, job, files, deleter, hooks, mover, context, now, options.dryRun, err};
    return verb.run(run);
}

}  // namespace

}  // namespace qx
