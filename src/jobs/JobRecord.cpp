#include "JobRecord.h"

#include "ActivityLog.h"
#include "Clock.h"
#include "Services.h"

namespace qx {

std::string_view jobName(Job job) {
    switch (job) {
        case Job::WeeklyWork:
            return "weekly";
        case Job::MonthlyWork:
            return "monthly";
        case Job::Backup:
            return "backup";
        case Job::ConferenceRecordings:
            return "conference-recordings";
        case Job::AlarmRecordings:
            return "alarm-recordings";
        case Job::ExtraDeletion:
            return "extra-deletion";
        case Job::Report:
            return "report";
        case Job::TimedTasks:
            return "timed-tasks";
        case Job::DiskCheck:
            return "disk-check";
        case Job::JobWatcher:
            return "job-watcher";
        case Job::LineWatchdog:
            return "line-watchdog";
        case Job::EventWatchdog:
            return "event-watchdog";
        case Job::WebTrigger:
            return "web-trigger";
    }
    return "unknown";
}

JobRecord::JobRecord(std::filesystem::path stateFile, SysTime started, const ActivityLog& log)
    : m_state(std::move(stateFile)), m_started(started), m_log(log), m_outcomes(m_state.loadJobs()) {}

void JobRecord::setListener(Listener listener) {
    std::lock_guard lock(m_writeMutex);
    m_listener = std::move(listener);
}

void JobRecord::report(Job job, SysTime when, bool ok, std::string_view reason, int moved, int deleted) {
    const std::int64_t seconds =
        std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    const std::string name(jobName(job));
    JobOutcome outcome;
    bool worthSaving = true;
    {
        std::lock_guard lock(m_mutex);
        JobOutcome& kept = m_outcomes[name];
        const JobOutcome before = kept;
        kept.lastRun = seconds;
        kept.ok = ok;
        if (!ok) {
            kept.lastFailure = seconds;
            kept.reason = reason.empty() ? std::string("no reason given") : std::string(reason);
        }
        kept.filesMoved = moved;
        kept.filesDeleted = deleted;
        outcome = kept;
        // A failure that goes on for the same reason is no news either.
        JobOutcome unchanged = kept;
        unchanged.lastRun = before.lastRun;
        unchanged.lastFailure = before.lastFailure;
        std::int64_t& savedAt = m_savedAt[name];
        worthSaving = unchanged != before || seconds - savedAt >= kSaveEvery.count() || seconds < savedAt;
        if (worthSaving)
            savedAt = seconds;
    }
    std::lock_guard lock(m_writeMutex);
    if (worthSaving || m_stateFailing) {
        const bool saved = m_state.saveJob(name, outcome);
        if (!saved && !m_stateFailing)
            m_log.write("Cannot write the outcome of " + name + " into " + m_state.file().string());
        m_stateFailing = !saved;
    }
    if (m_listener)
        m_listener(*this);
}

void JobRecord::driveFree(std::string_view drive, std::uint64_t bytes) {
    std::lock_guard lock(m_mutex);
    m_figures.driveFreeBytes[std::string(drive)] = bytes;
}

void JobRecord::eventSilence(std::chrono::seconds silence) {
    std::lock_guard lock(m_mutex);
    m_figures.eventSilenceSeconds = silence.count();
}

JobOutcomes JobRecord::outcomes() const {
    std::lock_guard lock(m_mutex);
    return m_outcomes;
}

MonitorFigures JobRecord::figures() const {
    std::lock_guard lock(m_mutex);
    return m_figures;
}

void reportJob(const Services& services, Job job, SysTime when, bool ok, std::string_view reason, int moved,
               int deleted) {
    if (services.jobs)
        services.jobs->report(job, when, ok, reason, moved, deleted);
}

}  // namespace qx
