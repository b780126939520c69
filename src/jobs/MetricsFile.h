#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "JobRecord.h"

namespace qx {

class ActivityLog;
class Profile;

// The service's figures in the Prometheus text format, for the node exporter's textfile collector:
// every job's last run (unix seconds), result (1 ok, 0 failed), last failure and the files its last
// run moved and deleted (label job); the free bytes of every checked drive (label drive); the line
// watchdog's CheckCounter (line_watchdog_check_passes) and Status as qxalarm.ini holds them; the event
// watchdog's longest silence; the service's start time. Names begin with "qxmover_"; each has its HELP and
// TYPE lines.
std::string metricsText(const JobRecord& record, const Profile& profile);

// Writes "qxmover.prom" into a directory after every job (JobRecord's listener).
class MetricsFile {
public:
    static constexpr const char* kFileName = "qxmover.prom";

    // `directory` must exist; it is not created. Lines about failed writes go to `log`.
    MetricsFile(std::filesystem::path directory, const Profile& profile, const ActivityLog& log);

    // Replaces the file atomically: a temporary file in the same directory (never through a link
    // planted there), mode 0644, synced, renamed over it. The collector thus reads the old figures or
    // the new ones, never half. False when it could not be written; the first failure after a
    // success is logged, later ones are not, so that a lost directory does not fill the activity log.
    bool write(const JobRecord& record);

    const std::filesystem::path& directory() const { return m_directory; }

private:
    std::filesystem::path m_directory;
    const Profile& m_profile;
    const ActivityLog& m_log;
    std::mutex m_mutex;
    bool m_failing = false;
};

}  // namespace qx
