#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ActivityLog.h"
#include "Clock.h"
#include "ErrorBoxBridge.h"
#include "JobRecord.h"
#include "Launcher.h"
#include "MetricsFile.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "Services.h"
#include "SharedState.h"
#include "StringTable.h"
#include "ThreadSet.h"

namespace qx {

// The global options of every command.
struct GlobalOptions {
    std::filesystem::path root = "/";
    std::filesystem::path windir;   // empty: ROOT/windows
    std::filesystem::path workdir;  // empty: the current directory
    std::map<char, std::filesystem::path> drives;
    std::optional<SysTime> clockStart;  // a virtual clock from this local time
    std::filesystem::path metricsDir;   // absolute; empty: [Platform] MetricsDir of qxmover.ini, if any
};

// The profile (INI) directory of `options`: the one given, else ROOT/windows; where the system has a
// Windows directory (Windows) and no root is given, the installation is the system's own and its
// profile files are those of the system's Windows directory, whatever drive the service runs from.
std::filesystem::path profileDirectory(const GlobalOptions& options);

// Owns the objects behind Services for one process: path mapping, profiles, clock, shared state,
// texts, activity log, launcher, prompts and the thread set.
class Environment {
public:
    // `prompts` decides how boxes are shown; null gives the headless prompts (standard error and
    // the activity log).
    explicit Environment(const GlobalOptions& options, std::unique_ptr<Prompts> prompts = nullptr);
    ~Environment();

    Services& services() { return m_services; }
    Clock& clock() { return *m_clock; }

    // For the running service: keeps how every job ends (JobRecord, in the state file beside the activity
    // logs) and, when a metrics directory is given by the options or by [Platform] MetricsDir, writes
    // the metrics file there now and after every job. Call once, before the threads start.
    void recordJobs();

private:
    PathMap m_paths;
    std::unique_ptr<Profile> m_profile;
    std::unique_ptr<Clock> m_clock;
    SharedState m_state;
    StringTable m_strings;
    std::unique_ptr<ActivityLog> m_log;
    // Before the launcher, whose waits for children end with the set's stop.
    std::unique_ptr<ThreadSet> m_threads;
    std::unique_ptr<Launcher> m_launcher;
    std::unique_ptr<Prompts> m_prompts;
    ErrorBoxesToPrompts m_tableErrors;
    Services m_services;
    std::filesystem::path m_metricsDir;
    // Last, so that they go after the threads that report to them have stopped.
    std::unique_ptr<MetricsFile> m_metrics;
    std::unique_ptr<JobRecord> m_jobs;
};

// Reads the replacements of the installation's editor, print and restart commands from [Platform]
// of qxmover.ini (keys Editor, Print, Restart).
LauncherCommands launcherCommands(Profile& profile);

}  // namespace qx
