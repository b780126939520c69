#include "StatusCommand.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "ActivityLog.h"
#include "AdditionalDeletion.h"
#include "CheckJobDir.h"
#include "Clock.h"
#include "CodePage.h"
#include "JobRecord.h"
#include "JobSettings.h"
#include "OnDemandThreads.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "SchedulerState.h"
#include "ServiceStart.h"
#include "SettingKeys.h"
#include "SharedState.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "TimedTasks.h"
#include "WeekCalendar.h"

namespace qx {

namespace {

constexpr int kWeeklyMode = 1;
constexpr int kMonthlyMode = 2;
constexpr int kMonday = 1;
constexpr std::size_t kRecentLines = 5;
constexpr std::streamoff kRecentBytes = 16 * 1024;

struct JobStatus {
    Job job;
    bool on = false;
    std::string rhythm;
    std::optional<SysTime> next;
    std::optional<JobOutcome> outcome;
};

// The first time after `now` at `hour`:`minute` on a day that `wanted` (weekday 0 = Sunday, day of
// the month) accepts, within two months.
std::optional<SysTime> nextAt(SysTime now, int hour, int minute, auto wanted) {
    const LocalTime today = toLocal(now);
    for (int days = 0; days <= 62; ++days) {
        const SysTime at = fromLocal(today.year, today.month, today.day + days, hour, minute);
        const LocalTime local = toLocal(at);
        if (at > now && local.hour == hour && wanted(local.weekday, local.day))
            return at;
    }
    return std::nullopt;
}

std::optional<SysTime> earliest(std::optional<SysTime> a, std::optional<SysTime> b) {
    if (!a || !b)
        return a ? a : b;
    return std::min(*a, *b);
}

const auto kEveryDay = [](int, int) { return true; };
const auto kMondays = [](int weekday, int) { return weekday == kMonday; };

// The rows of every job: on or off by the settings as the service reads them, with their next run.
std::vector<JobStatus> jobRows(const Services& s, const MoverSettings& settings, const SettingReader& reader,
                               const std::optional<SettingReport>& report, SysTime now) {
    const Profile& p = s.profile;
    const std::optional<SysTime> monday = nextAt(now, 0, 0, kMondays);
    std::vector<JobStatus> rows;
    auto row = [&](Job job, bool on, std::string rhythm, std::optional<SysTime> next) {
        rows.push_back({job, on, std::move(rhythm), on ? next : std::nullopt, std::nullopt});
    };
    row(Job::WeeklyWork, settings.moveMode == kWeeklyMode, "Mondays 00:00 and 01:00",
        earliest(monday, nextAt(now, 1, 0, kMondays)));
    row(Job::MonthlyWork, settings.moveMode == kMonthlyMode, "the 1st of every month 00:00",
        nextAt(now, 0, 0, [](int, int day) { return day == 1; }));
    row(Job::Backup, settings.autoBackupActive, "Mondays 00:00", monday);
    if (settings.moveConferWavDaily)
        row(Job::ConferenceRecordings, settings.moveConferWav, "daily 00:00 and 01:00",
            earliest(nextAt(now, 0, 0, kEveryDay), nextAt(now, 1, 0, kEveryDay)));
    else
        row(Job::ConferenceRecordings, settings.moveConferWav, "Mondays 00:00", monday);
    row(Job::AlarmRecordings, settings.delAlarmWav, "Mondays 00:00", monday);
    row(Job::ExtraDeletion, settings.deleteMoreFiles, "Mondays 00:00", monday);
    const bool daily = settings.reportType != 0;
    row(Job::Report, settings.printReport, daily ? "daily 00:00" : "Mondays 00:00",
        daily ? nextAt(now, 0, 0, kEveryDay) : monday);

    std::optional<SysTime> nextTask;
    const std::vector<TimedTask> tasks = readTimedTasks(p, report);
    for (const TimedTask& task : tasks)
        if (task.hour >= 0 && task.hour <= 23 && task.type >= 0 && task.type <= 2)
            nextTask = earliest(nextTask, nextAt(now, task.hour, 0, [&](int weekday, int) {
                                    return dayMatches(task.day, weekday);
                                }));
    row(Job::TimedTasks, !tasks.empty(), std::to_string(tasks.size()) + " task(s) at their hours", nextTask);

    char checkHour[32];
    std::snprintf(checkHour, sizeof checkHour, "daily %02d:00", settings.checkTime);
    row(Job::DiskCheck, settings.hdActive, checkHour, nextAt(now, settings.checkTime, 0, kEveryDay));
    const int interval = reader.integer(keys::kCheckJobIntervalMin);
    row(Job::JobWatcher, jobWatcherWanted(reader), "every " + std::to_string(interval) + " minutes",
        std::nullopt);
    row(Job::LineWatchdog,
        reader.integer(keys::kLineChecksActive) == 1 || reader.integer(keys::kBoxCallsActive) == 1,
        "every 10 minutes", std::nullopt);
    row(Job::EventWatchdog, !reader.text(keys::kActiveWdogAlarms).empty(), "every minute", std::nullopt);
    // As the start-up decides, without writing what it would write.
    const int active = reader.integer(keys::kActivateWebTrigger);
    const std::string batch = reader.text(keys::kWebTriggerBat);
    std::error_code ec;
    const bool web =
        (active == 1 || active < 0) &&
        std::filesystem::exists(s.paths.native(batch.empty() ? kDefaultWebTriggerBatch : batch), ec);
    const int minute = reader.integer(keys::kStartOnMin);
    std::optional<SysTime> nextWeb;
    for (int hours = 0; hours <= 2 && !nextWeb; ++hours) {
        const LocalTime t = toLocal(now);
        const SysTime at = fromLocal(t.year, t.month, t.day, t.hour + hours, minute);
        if (at > now)
            nextWeb = at;
    }
    row(Job::WebTrigger, web, "hourly at minute " + std::to_string(minute), nextWeb);
    return rows;
}

// Every bad value of the key table that the service would tell, gathered instead of logged: the keys
// of the monitors that are switched on (the service reads no others).
void readEveryKey(const Profile& profile, const SettingReader& reader,
                  const std::optional<SettingReport>& report, const std::vector<JobStatus>& rows) {
    auto on = [&](Job job) {
        return std::any_of(rows.begin(), rows.end(),
                           [&](const JobStatus& row) { return row.job == job && row.on; });
    };
    std::vector<const SettingKey*> read;
    if (on(Job::DiskCheck))
        read.insert(read.end(), {&keys::kDialPhoneRetry});
    if (on(Job::JobWatcher))
        read.insert(read.end(),
                    {&keys::kCheckJobIntervalMin, &keys::kStartOnErrorType, &keys::kStartOnErrorAlarm});
    if (on(Job::WebTrigger))
        read.insert(read.end(), {&keys::kStartOnMin});
    if (on(Job::LineWatchdog))
        read.insert(read.end(), {&keys::kLineStartAlarm, &keys::kRestartSystem, &keys::kDeltaHours,
                                 &keys::kMinuteInterval, &keys::kStartAlarmImmediately, &keys::kBoxInterval,
                                 &keys::kPostType});
    for (const SettingKey* key : read)
        reader.integer(*key);
    for (int n = 1; n <= kJobSlots && on(Job::JobWatcher); ++n)
        (void)readJobSlot(reader, n);
    // The further drives as the disk monitor walks them: up to 50, ending at the first short name.
    for (int n = 1; n <= 50 && on(Job::DiskCheck); ++n) {
        if (reader.text(keys::kDrive, n).size() < 2)
            break;
        (void)readMonitoredDrive(reader, n);
    }
    if (on(Job::ExtraDeletion))
        (void)readDeletionRules(profile, report);
    if (on(Job::ConferenceRecordings))
        (void)readConferenceSettings(reader);
}

std::vector<std::string> recentLines(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(std::max<std::streamoff>(0, size - kRecentBytes));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    // The first line of a cut read is a piece.
    if (size > kRecentBytes && !lines.empty())
        lines.erase(lines.begin());
    if (lines.size() > kRecentLines)
        lines.erase(lines.begin(), lines.end() - kRecentLines);
    return lines;
}

// Whether the service of the installation `key` runs, and the lock that says so (the first place looked
// at when none is held). The service started by hand keeps its lock in the runtime directory of its
// user, the packaged one in its unit's: an administrator asking as another user looks in every place.
std::pair<std::optional<bool>, std::filesystem::path> serviceLock(const std::string& key,
                                                                  const std::filesystem::path& runtimeDir) {
    const std::vector<std::filesystem::path> places =
        runtimeDir.empty() ? SingleInstance::placesToLook() : std::vector<std::filesystem::path>{runtimeDir};
    std::pair<std::optional<bool>, std::filesystem::path> found{std::nullopt, {}};
    for (const std::filesystem::path& place : places) {
        const SingleInstance instance(key, place);
        const std::optional<bool> held = instance.heldElsewhere();
        if (held == true)
            return {true, instance.lockPath()};
        if (held == false && !found.first)
            found = {false, instance.lockPath()};
        if (found.second.empty())
            found.second = instance.lockPath();
    }
    return found;
}

std::string timeText(std::int64_t seconds) {
    return seconds > 0 ? formatLocalTime(fromUnixTime(seconds)) : std::string("-");
}

std::string moveModeName(int mode) {
    return mode == kWeeklyMode ? "weekly" : mode == kMonthlyMode ? "monthly" : "no move";
}

}  // namespace

int runStatusCommand(const GlobalOptions& global, const StatusOptions& options, std::ostream& out,
                     std::ostream& err) {
    GlobalOptions environmentOptions = global;
    if (options.at)
        environmentOptions.clockStart = options.at;
    Environment environment(environmentOptions, std::make_unique<TerminalPrompts>(false));
    Services& s = environment.services();
    if (auto problem = settingsProblem(s.paths, true)) {
        err << "qxmover: " << *problem << std::endl;
        return 1;
    }
    const SysTime now = s.clock.now();
    const SchedulerState stateFile(schedulerStateFile(s.log.fileFor(now).parent_path()));
    bool unreadable = false;
    const std::optional<SchedulerRecord> record = stateFile.load(&unreadable);
    if (unreadable) {
        err << "qxmover: cannot read the state file " << std::filesystem::absolute(stateFile.file()).string()
            << " (no file of this service, or damaged)" << std::endl;
        return 1;
    }
    const JobOutcomes outcomes = stateFile.loadJobs();

    std::vector<std::string> badSettings;
    SettingNotices notices;
    const std::optional<SettingReport> report = SettingReport{s.log, notices, &badSettings};
    const SettingReader reader(s.profile, report);
    const MoverSettings settings = readSettings(s.profile, {}, report);
    const LocalTime local = toLocal(now);
    const MoverCalendar calendar = calendarAt(now, settings.waitBeforeDel, local.month);
    std::vector<JobStatus> rows = jobRows(s, settings, reader, report, now);
    readEveryKey(s.profile, reader, report, rows);
    for (JobStatus& row : rows) {
        auto found = outcomes.find(jobName(row.job));
        if (found != outcomes.end())
            row.outcome = found->second;
        // The monitors that pass at intervals are due again one interval after their last pass.
        if (row.on && !row.next && row.outcome && row.outcome->lastRun > 0) {
            const int minutes = row.job == Job::JobWatcher     ? reader.integer(keys::kCheckJobIntervalMin)
                                : row.job == Job::LineWatchdog ? 10
                                                               : 1;
            const SysTime due = fromUnixTime(row.outcome->lastRun) + std::chrono::minutes(minutes);
            if (due > now)
                row.next = due;
        }
    }

    const auto [running, lockFile] = serviceLock(s.paths.windir().string(), options.runtimeDir);
    const std::filesystem::path logFile = s.log.fileFor(now);
    const std::vector<std::string> recent = recentLines(logFile);
    const CodePage codePage = codePageSetting(s.profile);

    if (options.json) {
        using nlohmann::json;
        auto text = [&](std::string_view bytes) { return displayUtf8(bytes, codePage); };
        auto when = [](std::int64_t seconds) -> json {
            return seconds > 0 ? json(formatLocalTime(fromUnixTime(seconds))) : json(nullptr);
        };
        json jobs = json::array();
        for (const JobStatus& row : rows) {
            json j = {{"job", jobName(row.job)},
                      {"on", row.on},
                      {"rhythm", row.rhythm},
                      {"next_run", row.next ? json(formatLocalTime(*row.next)) : json(nullptr)},
                      {"last_run", nullptr},
                      {"result", nullptr},
                      {"last_failure", nullptr},
                      {"reason", nullptr},
                      {"files_moved", nullptr},
                      {"files_deleted", nullptr}};
            if (const auto& o = row.outcome) {
                j["last_run"] = when(o->lastRun);
                j["result"] = o->lastRun > 0 ? json(o->ok ? "ok" : "failed") : json(nullptr);
                j["last_failure"] = when(o->lastFailure);
                j["reason"] = o->lastFailure > 0 ? json(text(o->reason)) : json(nullptr);
                j["files_moved"] = o->filesMoved >= 0 ? json(o->filesMoved) : json(nullptr);
                j["files_deleted"] = o->filesDeleted >= 0 ? json(o->filesDeleted) : json(nullptr);
            }
            jobs.push_back(std::move(j));
        }
        json bad = json::array(), lines = json::array();
        for (const std::string& line : badSettings)
            bad.push_back(text(line));
        for (const std::string& line : recent)
            lines.push_back(text(line));
        json status = {{"time", formatLocalTime(now)},
                       {"week", calendar.currentWeek},
                       {"previous_week", calendar.previousWeek},
                       {"due_week", calendar.dueWeek},
                       {"month", local.month},
                       {"due_month", calendar.dueMonth},
                       {"move_mode", moveModeName(settings.moveMode)},
                       {"wait_before_delete", settings.waitBeforeDel},
                       {"service_running", running ? json(*running) : json(nullptr)},
                       {"lock_file", text(lockFile.string())},
                       {"state_file", text(std::filesystem::absolute(stateFile.file()).string())},
                       {"state_file_present", record.has_value() || !outcomes.empty()},
                       {"jobs", std::move(jobs)},
                       {"settings_out_of_range", std::move(bad)},
                       {"activity_log", text(std::filesystem::absolute(logFile).string())},
                       {"recent_activity", std::move(lines)}};
        out << status.dump(2) << std::endl;
        return 0;
    }

    out << "qxmover status at " << formatLocalTime(now) << "\n"
        << "week " << calendar.currentWeek << " (previous " << calendar.previousWeek << ", due "
        << calendar.dueWeek << "), month " << local.month << " (due " << calendar.dueMonth << "), move mode "
        << moveModeName(settings.moveMode) << ", wait " << settings.waitBeforeDel << "\n"
        << "service: "
        << (!running   ? "cannot tell whether it runs"
            : *running ? "running"
                       : "not running: nothing below runs until it is started")
        << " (lock " << lockFile.string() << ")\n"
        << "state file: " << std::filesystem::absolute(stateFile.file()).string()
        << (record || !outcomes.empty() ? "" : " (none yet: the service has not run here)") << "\n\n";
    out << std::left << std::setw(23) << "job" << std::setw(5) << "on" << std::setw(21) << "last run"
        << std::setw(8) << "result" << std::setw(21) << "next run"
        << "rhythm\n";
    for (const JobStatus& row : rows) {
        const JobOutcome none;
        const JobOutcome& o = row.outcome ? *row.outcome : none;
        out << std::setw(23) << jobName(row.job) << std::setw(5) << (row.on ? "on" : "off") << std::setw(21)
            << timeText(o.lastRun) << std::setw(8) << (o.lastRun > 0 ? (o.ok ? "ok" : "FAILED") : "-")
            << std::setw(21) << (row.next ? formatLocalTime(*row.next) : std::string("-")) << row.rhythm;
        if (o.lastRun > 0 && o.filesMoved >= 0)
            out << "; last run moved " << o.filesMoved;
        if (o.lastRun > 0 && o.filesDeleted >= 0)
            out << (o.filesMoved >= 0 ? ", deleted " : "; last run deleted ") << o.filesDeleted;
        out << "\n";
        if (o.lastFailure > 0)
            out << "    last failure " << timeText(o.lastFailure) << ": " << o.reason << "\n";
    }
    out << "\nsettings out of range:" << (badSettings.empty() ? " none" : "") << "\n";
    for (const std::string& line : badSettings)
        out << "  " << line << "\n";
    out << "\nlast lines of " << std::filesystem::absolute(logFile).string() << ":"
        << (recent.empty() ? " none" : "") << "\n";
    for (const std::string& line : recent)
        out << "  " << line << "\n";
    out << std::flush;
    return 0;
}

}  // namespace qx
