#include "Environment.h"

#include <stdexcept>

#include "ActivityLog.h"
#include "Clock.h"
#include "CodePage.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "Prompts.h"
#include "SettingKeys.h"
#include "WideText.h"

namespace qx {

LauncherCommands launcherCommands(Profile& profile) {
    const SettingReader settings(profile);
    LauncherCommands commands;
    commands.editor = settings.text(keys::kEditorCommand);
    commands.print = settings.text(keys::kPrintCommand);
    commands.restart = settings.text(keys::kRestartCommand);
    return commands;
}

std::filesystem::path profileDirectory(const GlobalOptions& o) {
    if (!o.windir.empty())
        return std::filesystem::absolute(o.windir);
    if (o.root == std::filesystem::path("/")) {
        if (std::filesystem::path system = systemWindowsDirectory(); !system.empty())
            return system;
    }
    return std::filesystem::absolute(o.root) / "windows";
}

namespace {

PathMap makePaths(const GlobalOptions& o) {
    // Paths given on the command line are taken from where the command was given, before the
    // change to the working directory.
    std::filesystem::path root = std::filesystem::absolute(o.root);
    std::filesystem::path windir = profileDirectory(o);
    std::map<char, std::filesystem::path> drives;
    for (const auto& [letter, dir] : o.drives)
        drives[letter] = std::filesystem::absolute(dir);
    std::error_code ec;
    if (!o.workdir.empty() && (std::filesystem::current_path(o.workdir, ec), ec))
        throw std::runtime_error("cannot change to the working directory " + o.workdir.string() + ": " +
                                 ec.message());
    return PathMap(root, windir, drives);
}

}  // namespace

Environment::Environment(const GlobalOptions& options, std::unique_ptr<Prompts> prompts)
    : m_paths(makePaths(options)),
      // Profile finds other letter cases itself; resolving bare names here without a stat keeps a
      // read of an unchanged file at one stat.
      m_profile(std::make_unique<Profile>([this](std::string_view file) {
          return isBareProfileName(file) ? m_paths.windir() / std::string(file) : m_paths.native(file);
      })),
      m_clock(options.clockStart ? std::unique_ptr<Clock>(std::make_unique<VirtualClock>(*options.clockStart))
                                 : std::unique_ptr<Clock>(std::make_unique<SystemClock>())),
      m_log(std::make_unique<ActivityLog>(*m_clock, m_state)),
      m_threads(
          std::make_unique<ThreadSet>(*m_clock, [this](const std::string& line) { m_log->write(line); })),
      m_launcher(makeSystemLauncher(
          m_paths, launcherCommands(*m_profile), [this](const std::string& line) { m_log->note(line); },
          ChildPolicy{m_threads->token()})),
      m_prompts(
          prompts ? std::move(prompts)
                  : std::make_unique<ConsolePrompts>([this](const std::string& line) { m_log->note(line); })),
      m_tableErrors(*m_prompts),
      m_services{m_paths,    *m_profile, *m_clock, m_state,         *m_launcher,
                 *m_prompts, m_strings,  *m_log,   m_threads.get(), m_threads->token()},
      m_metricsDir(options.metricsDir) {
    // File names taken from profile values and tables cross into the system's wide API in the
    // installation's code page. Read without keeping the file, which a `profile get` must not.
    m_profile->setSingleReads(true);
    setAnsiCodePage(static_cast<unsigned>(codePageSetting(*m_profile)));
    m_profile->setSingleReads(false);
}

void Environment::recordJobs() {
    const SysTime now = m_clock->now();
    m_jobs = std::make_unique<JobRecord>(schedulerStateFile(m_log->fileFor(now).parent_path()), now, *m_log);
    m_services.jobs = m_jobs.get();
    std::filesystem::path directory = m_metricsDir;
    if (directory.empty()) {
        const std::string configured = settingsOf(m_services).text(keys::kMetricsDir);
        if (!configured.empty())
            directory = m_paths.native(configured);
    }
    if (directory.empty())
        return;
    m_metrics = std::make_unique<MetricsFile>(directory, *m_profile, *m_log);
    m_jobs->setListener([metrics = m_metrics.get()](const JobRecord& record) { metrics->write(record); });
    // The start time and what the state file holds, before the first job ends.
    m_metrics->write(*m_jobs);
}

Environment::~Environment() {
    m_threads->stop();
    m_services.jobs = nullptr;
}

}  // namespace qx
