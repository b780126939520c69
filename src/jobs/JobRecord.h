#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "Clock.h"
#include "SchedulerState.h"

namespace qx {

class ActivityLog;
struct Services;

// Every job and monitor whose outcome the service keeps.
enum class Job {
    WeeklyWork,
    MonthlyWork,
    Backup,
    ConferenceRecordings,
    AlarmRecordings,
    ExtraDeletion,
    Report,
    TimedTasks,
    DiskCheck,
    JobWatcher,
    LineWatchdog,
    EventWatchdog,
    WebTrigger
};

inline constexpr std::array<Job, 13> kAllJobs = {
    Job::WeeklyWork,      Job::MonthlyWork,   Job::Backup,       Job::ConferenceRecordings,
    Job::AlarmRecordings, Job::ExtraDeletion, Job::Report,       Job::TimedTasks,
    Job::DiskCheck,       Job::JobWatcher,    Job::LineWatchdog, Job::EventWatchdog,
    Job::WebTrigger};

// The name under which the state file, `qxmover status` and the metrics file know `job`: "weekly",
// "monthly", "backup", "conference-recordings", "alarm-recordings", "extra-deletion" (the three
// housekeeping jobs), "report", "timed-tasks", "disk-check", "job-watcher", "line-watchdog",
// "event-watchdog", "web-trigger".
std::string_view jobName(Job job);

// What the monitors measured last, for the metrics file; kept only while the service runs.
struct MonitorFigures {
    std::map<std::string, std::uint64_t> driveFreeBytes;  // by drive, "C:"
    std::optional<std::int64_t> eventSilenceSeconds;      // the longest an event watchdog alarm waits
};

// The one home of how every job last ended: each thread reports here (through reportJob()), the
// outcome goes into the state file beside the scheduler's record, and the listener (the metrics file)
// hears of it. Safe to use from every thread.
class JobRecord {
public:
    static constexpr std::chrono::seconds kSaveEvery{600};

    // Called after every report with the record as it is then; runs on the reporting thread, one at a
    // time.
    using Listener = std::function<void(const JobRecord&)>;

    // Takes up the outcomes already in `stateFile`. `started` is the service's start; lines about a
    // state file that cannot be written go to `log` (once until a write succeeds again).
    JobRecord(std::filesystem::path stateFile, SysTime started, const ActivityLog& log);

    void setListener(Listener listener);

    // `job` ran at `when` and ended `ok`, or failed for `reason`. `moved` and `deleted` count the
    // files of the run (-1: the job handles no files). A failure keeps its time and reason until the
    // next failure; a success keeps them too. The state file takes a run that ends as the one before
    // it did (ok, or failed for the same reason) only when that one was saved kSaveEvery ago or more:
    // the monitors that pass every minute would otherwise write and sync it every minute.
    void report(Job job, SysTime when, bool ok, std::string_view reason = {}, int moved = -1,
                int deleted = -1);

    // The free bytes of `drive` as the disk check found them.
    void driveFree(std::string_view drive, std::uint64_t bytes);
    // The longest time an event watchdog alarm has waited for its event, at its last pass.
    void eventSilence(std::chrono::seconds silence);

    JobOutcomes outcomes() const;
    MonitorFigures figures() const;
    SysTime started() const { return m_started; }

private:
    SchedulerState m_state;
    const SysTime m_started;
    const ActivityLog& m_log;
    mutable std::mutex m_mutex;  // guards the values below
    JobOutcomes m_outcomes;
    std::map<std::string, std::int64_t, std::less<>> m_savedAt;  // when each job's outcome was last saved
    MonitorFigures m_figures;
    std::mutex m_writeMutex;  // one report at a time writes the file and tells the listener
    Listener m_listener;
    bool m_stateFailing = false;
};

// Reports to the service's job record; does nothing where there is none (one-shot commands, tests).
void reportJob(const Services& services, Job job, SysTime when, bool ok, std::string_view reason = {},
               int moved = -1, int deleted = -1);

}  // namespace qx
