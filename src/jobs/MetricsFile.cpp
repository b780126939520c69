#include "MetricsFile.h"

#include <sstream>

#include "ActivityLog.h"
#include "AtomicFile.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "SettingKeys.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

// A label value with the escapes of the text format.
std::string label(std::string_view value) {
    std::string escaped;
    for (char c : value) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return escaped;
}

class Writer {
public:
    void family(std::string_view name, std::string_view help) {
        m_name = name;
        m_out << "# HELP qxmover_" << name << ' ' << help << "\n# TYPE qxmover_" << name << " gauge\n";
    }
    template <typename Value>
    void sample(Value value, std::string_view labelName = {}, std::string_view labelValue = {}) {
        m_out << "qxmover_" << m_name;
        if (!labelName.empty())
            m_out << '{' << labelName << "=\"" << label(labelValue) << "\"}";
        m_out << ' ' << value << '\n';
    }
    std::string text() const { return m_out.str(); }

private:
    std::ostringstream m_out;
    std::string m_name;
};

}  // namespace

std::string metricsText(const JobRecord& record, const Profile& profile) {
    const JobOutcomes outcomes = record.outcomes();
    const MonitorFigures figures = record.figures();
    Writer w;
    w.family("start_time_seconds", "When the service started, in unix seconds.");
    w.sample(std::chrono::duration_cast<std::chrono::seconds>(record.started().time_since_epoch()).count());
    // Only what the file holds: a job that never ran has no last run to show.
    auto perJob = [&](std::string_view name, std::string_view help, auto value, auto wanted) {
        bool any = false;
        for (const auto& [job, outcome] : outcomes)
            any = any || wanted(outcome);
        if (!any)
            return;
        w.family(name, help);
        for (const auto& [job, outcome] : outcomes)
            if (wanted(outcome))
                w.sample(value(outcome), "job", job);
    };
    auto ran = [](const JobOutcome& o) { return o.lastRun > 0; };
    perJob(
        "job_last_run_timestamp_seconds", "When the job last ran, in unix seconds.",
        [](const JobOutcome& o) { return o.lastRun; }, ran);
    perJob(
        "job_last_result", "How the job's last run ended: 1 ok, 0 failed.",
        [](const JobOutcome& o) { return o.ok ? 1 : 0; }, ran);
    perJob(
        "job_last_failure_timestamp_seconds", "When the job last failed, in unix seconds.",
        [](const JobOutcome& o) { return o.lastFailure; },
        [](const JobOutcome& o) { return o.lastFailure > 0; });
    perJob(
        "job_files_moved", "Files the job's last run moved (conference recordings: moved or deleted).",
        [](const JobOutcome& o) { return o.filesMoved; },
        [](const JobOutcome& o) { return o.lastRun > 0 && o.filesMoved >= 0; });
    perJob(
        "job_files_deleted", "Files the job's last run deleted.",
        [](const JobOutcome& o) { return o.filesDeleted; },
        [](const JobOutcome& o) { return o.lastRun > 0 && o.filesDeleted >= 0; });
    if (!figures.driveFreeBytes.empty()) {
        w.family("drive_free_bytes", "Free bytes of the drive at its last disk check.");
        for (const auto& [drive, bytes] : figures.driveFreeBytes)
            w.sample(bytes, "drive", drive);
    }
    w.family("line_watchdog_check_passes",
             "The line watchdog's passes without a received test call (qxalarm.ini CheckCounter).");
    w.sample(SettingReader(profile).integer(keys::kLineCheckCounter));
    w.family("line_watchdog_status", "The line watchdog's status: 1 after a failed test call.");
    w.sample(SettingReader(profile).integer(keys::kLineStatus));
    if (figures.eventSilenceSeconds) {
        w.family("event_watchdog_oldest_silence_seconds",
                 "The longest time a watched alarm has gone without its event, at the last pass.");
        w.sample(*figures.eventSilenceSeconds);
    }
    return w.text();
}

MetricsFile::MetricsFile(fs::path directory, const Profile& profile, const ActivityLog& log)
    : m_directory(std::move(directory)), m_profile(profile), m_log(log) {}

bool MetricsFile::write(const JobRecord& record) {
    const std::string text = metricsText(record, m_profile);
    std::lock_guard lock(m_mutex);
    AtomicWriteOptions options;
    // Not ending in .prom: the collector reads only the finished file.
    options.temporaryName = std::string(".") + kFileName + ".new";
    // The mode the collector needs, whatever the umask.
    options.mode = 0644;
    options.exactMode = true;
    const FileResult result = writeFileAtomically(m_directory / kFileName, text, options);
    const bool ok = result.ok();
    if (!ok && !m_failing)
        m_log.write("Cannot write the metrics file " + (m_directory / kFileName).string() + " (" +
                    result.reason() + "); the jobs go on");
    m_failing = !ok;
    return ok;
}

}  // namespace qx
