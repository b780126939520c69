#include "RunCommand.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <streambuf>

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
#include "ServiceStart.h"
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
        const MoverSettings settings = readSettings(s.profile, {}, reportOf(s));
        const std::string drives = asciiUpper(settings.checkDrives);
        for (const char* drive : {"C:", "D:", "E:", "F:"}) {
            if (drives.find(drive) == std::string::npos)
                continue;
            if (!hooks.diskMonitor().rootOf(drive))
                err << "qxmover: drive " << drive << " is not mapped (--drive " << drive[0]
                    << "=DIR); skipped" << std::endl;
            hooks.diskMonitor().checkDrive(drive, diskMonitorOf(settings));
        }
        return exitCodeOf(hooks.diskMonitor().failedReactions() == 0);
    }
    if (name == "extra-drives") {
        hooks.diskMonitor().checkAdditionalDrives();
        return exitCodeOf(hooks.diskMonitor().failedReactions() == 0);
    }
    if (name == "job-check")
        return exitCodeOf(JobWatcherThread(s, files).checkAll(now).failed == 0);
    if (name == "watchdog-call") {
        auto pause = [&] { return dryRun || s.clock.sleepFor(LineWatchdogThread::kPauseAfterCall, {}); };
        const LineCallOutcome outcome = placeLineTestCall(s, pause, !dryRun);
        if (outcome.haveNumber)
            return exitCodeOf(outcome.failed == 0);
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

std::string jobListHelp() {
    static const std::map<std::string, std::string> what{
        {"weekly-0", "Monday 00:00, weekly: viewer files and recordings into last week; deletes as set"},
        {"weekly-1",
         "Monday 01:00, weekly: statistic files into last week; deletes last year's there, the due week"},
        {"monthly", "first hour of a month, monthly: qxmover.bat files last month; deletes the due month"},
        {"move-now",
         "the dialog's move: core files into last week's directory; deletes their namesakes there"},
        {"delete-now", "the dialog's delete: deletes the statistic files of the due week's directory"},
        {"second-batch", "starts the second batch (qxmove2.bat) with the weeks, month and year"},
        {"edit-second-batch", "opens the second batch in the editor, made from the template when missing"},
        {"timed-tasks", "starts the timed tasks of [StartMore] due at this hour"},
        {"backup", "starts the backup tool for the backup path"},
        {"conference", "files the conference recordings; deletes those past their weeks"},
        {"alarm-wavs", "deletes alarm sound files older than DelAlarmWavAfterWeeks"},
        {"extra-delete", "deletes the files of the extra deletion rules older than their weeks"},
        {"report", "writes the alarm report and starts printing it"},
        {"disk-check", "checks the free space of the chosen drives, alarm when low"},
        {"extra-drives", "checks the used share of the further drives"},
        {"job-check", "checks the job directories once"},
        {"watchdog-call", "places the line watchdog's test call"},
        {"web-trigger", "starts the web trigger batch for this hour"},
    };
    std::string text = "Jobs:\n";
    for (const auto& job : runnableJobs()) {
        auto it = what.find(job);
        std::string name = job;
        name.resize(std::max<std::size_t>(name.size(), 18), ' ');
        text += "  " + name + (it == what.end() ? std::string() : " " + it->second) + "\n";
    }
    return text;
}

namespace {

std::uintmax_t sizeOf(const std::filesystem::path& file) {
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(file, ec);
    return ec ? 0 : size;
}

// Passes everything on to `target` and counts it, so that we know whether a job said anything.
class CountingBuffer : public std::streambuf {
public:
    explicit CountingBuffer(std::streambuf* target) : m_target(target) {}
    std::size_t written() const { return m_written; }

protected:
    int overflow(int c) override {
        if (c == traits_type::eof())
            return traits_type::not_eof(c);
        ++m_written;
        return m_target->sputc(static_cast<char>(c));
    }
    std::streamsize xsputn(const char* text, std::streamsize n) override {
        m_written += static_cast<std::size_t>(n);
        return m_target->sputn(text, n);
    }
    int sync() override { return m_target->pubsync(); }

private:
    std::streambuf* m_target;
    std::size_t m_written = 0;
};

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

// A job that failed without a word on the terminal: what it wrote to the activity log says why.
void reportFailure(const std::string& job, const std::filesystem::path& logFile, std::uintmax_t from,
                   std::ostream& err) {
    std::ifstream in(logFile, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::string line;
    bool any = false;
    while (in && std::getline(in, line)) {
        if (line.empty())
            continue;
        if (!any)
            err << "qxmover: " << job << " failed:\n";
        err << "  " << line << '\n';
        any = true;
    }
    if (!any)
        err << "qxmover: " << job << " failed; its activity log " << logFile.string()
            << " has no reason (WriteLogFile=0 keeps them out)\n";
    err << std::flush;
}

// `notFound` is set when a dry run met a program that would not be found.
int runJobOnce(const GlobalOptions& global, const RunOptions& options, std::ostream& out, std::ostream& err,
               bool& notFound);

}  // namespace

int runJobCommand(const GlobalOptions& global, const RunOptions& options, std::ostream& out,
                  std::ostream& err) {
    const std::filesystem::path logFile =
        activityLogOf(global, options.at.value_or(std::chrono::system_clock::now()));
    const std::uintmax_t logSizeBefore = sizeOf(logFile);
    CountingBuffer counted(err.rdbuf());
    std::ostream countedErr(&counted);
    bool notFound = false;
    int code = runJobOnce(global, options, out, countedErr, notFound);
    // A program that would not be found fails the real run; its dry run says so the same way for every
    // job, whatever the job makes of the failed start.
    if (notFound) {
        err << "qxmover: " << options.job << " would fail: a program it starts would not be found"
            << std::endl;
        code = 1;
    }
    // A dry run writes no log; what it would do is on standard output already.
    if (code == 1 && counted.written() == 0 && !options.dryRun)
        reportFailure(options.job, logFile, logSizeBefore, err);
    return code;
}

namespace {

int runJobOnce(const GlobalOptions& global, const RunOptions& options, std::ostream& out, std::ostream& err,
               bool& notFound) {
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
    // A dry run asks nothing: it shows the question and what the confirmed run would do.
    Environment environment(environmentOptions,
                            options.dryRun ? std::unique_ptr<Prompts>(std::make_unique<DryRunPrompts>(out))
                                           : std::make_unique<TerminalPrompts>(options.yes));
    Services& s = environment.services();
    if (auto problem = settingsProblem(s.paths, true)) {
        err << "qxmover: " << *problem << "; nothing done" << std::endl;
        return 1;
    }
    const SysTime now = s.clock.now();
    const MoverContext context = readMoverContext(s.profile, now, rememberedMonthFor(options.job, now));
    // A dry run writes nothing, the activity log included.
    s.state.writeLogFile = context.settings.writeLogFile && !options.dryRun;

    const auto* posix = dynamic_cast<const PosixLauncher*>(&s.launcher);
    DryRunLauncher dryLauncher(
        out, [posix](std::string_view line) { return !posix || wouldStart(*posix, line); },
        [posix](std::string_view line) { return posix ? startedAs(*posix, line) : std::string(); });
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
    // A housekeeping job that could not do its work says why here too: WriteLogFile=0 keeps its lines
    // out of the activity log.
    auto housekept = [&err, &name](const HousekeepingResult& result) {
        if (result.ok())
            return 0;
        err << "qxmover: " << name << ": " << result.reason() << std::endl;
        return 1;
    };
    if (name == "conference")
        return housekept(processConferenceWavs(job, files, deleter, now));
    if (name == "alarm-wavs")
        return housekept(deleteOldAlarmWavs(job, deleter, now));
    if (name == "extra-delete")
        return housekept(deleteAdditionalFiles(job, deleter, now));
    if (name == "report") {
        const ReportOutcome report = produceAlarmReport(job, files, context.settings.reportType, now);
        if (report.ok())
            return 0;
        err << "qxmover: report: " << report.failure << std::endl;
        return 1;
    }
    if (name == "disk-check" || name == "extra-drives" || name == "job-check" || name == "watchdog-call" ||
        name == "web-trigger")
        return runMonitor(name, job, files, hooks, options.dryRun, err);
    if (name == "timed-tasks")
        return exitCodeOf(runTimedTasks(job, now, context.calendar) == 0);
    return exitCodeOf(startBackup(job, context.settings));
}

}  // namespace

}  // namespace qx
