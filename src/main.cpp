// qxmover: the housekeeping and monitoring service of the voice-alarm server, and its tools.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <tuple>

#include "ActivityLog.h"
#include "Clock.h"
#include "DisplayProbe.h"
#include "Environment.h"
#include "HeadlessRunner.h"
#include "OpenWindow.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileCommand.h"
#include "ProfileNames.h"
#include "Prompts.h"
#include "ReportCommand.h"
#include "RunCommand.h"
#include "ServiceStart.h"
#include "SignalWatcher.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "StatusCommand.h"
#include "StringTable.h"
#include "TableCommandLine.h"
#include "TableCommands.h"
#include "WeekCalendar.h"

namespace {

constexpr int kUsage = 2;

int usageError(const std::string& message) {
    std::cerr << "qxmover: " << message << std::endl;
    return kUsage;
}

// The clock counts nanoseconds since 1970, which run out on 2262-04-11: a later date would be held at
// that end without a word, so it is refused like any other date that cannot be.
constexpr const char* kDateRange = " (dates from 1970-01-01 to 2262-04-11)";

std::optional<qx::SysTime> parseCommandTime(const std::string& text) {
    std::optional<qx::SysTime> time = qx::parseLocalTime(text);
    if (!time || *time == qx::SysTime::max())
        return std::nullopt;
    // A day after the last whole day of the range is refused even where its first hours still fit.
    qx::LocalTime local = qx::toLocal(*time);
    if (std::tuple(local.year, local.month, local.day) > std::tuple(2262, 4, 11))
        return std::nullopt;
    return time;
}

// An option or environment variable given an empty text: a mistake (an unset shell variable, say), not
// "the default".
bool emptyEnvironment(const CLI::Option* option, const char* variable) {
    const char* value = std::getenv(variable);
    return option->count() == 0 && value != nullptr && *value == '\0';
}

// The service, with its window when `window` is set.
int runService(const qx::GlobalOptions& options, std::optional<qx::SysTime> until, bool window, int& argc,
               char** argv, const std::string& screenshots) {
    // Before any thread starts (the window's toolkit starts some of its own), so that every thread
    // inherits the blocked signals.
    qx::SignalWatcher signals;
    std::unique_ptr<qx::WindowHost> gui;
    if (window)
        gui = qx::openWindow(argc, argv);
    // Pictures are taken by scripts: without the window the service would run on the real clock for
    // ever instead.
    if (!screenshots.empty() && !gui) {
        std::cerr << "qxmover: --screenshots needs the window program qxmover-window" << std::endl;
        return 1;
    }
    qx::Environment env(options, gui ? gui->makePrompts(!screenshots.empty()) : nullptr);
    qx::Services& s = env.services();
    if (auto problem = qx::missingServiceDirectory(s.paths, s.log, s.clock.now())) {
        std::cerr << "qxmover: " << *problem << std::endl;
        return 1;
    }
    qx::loadLanguage(s.profile, s.paths, const_cast<qx::StringTable&>(s.strings), s.prompts);
    qx::SingleInstance instance(s.paths.windir().string());
    switch (instance.acquire()) {
        case qx::SingleInstance::Result::AnotherRuns:
            if (gui)
                gui->showRunning(s);
            std::cerr << "qxmover: another instance is running for " << s.paths.windir().string()
                      << "; it was asked to show itself" << std::endl;
            return 0;
        case qx::SingleInstance::Result::Failed:
            std::cerr << "qxmover: cannot take the single-instance lock (" << instance.problem()
                      << "); running anyway" << std::endl;
            break;
        case qx::SingleInstance::Result::First:
            break;
    }
    std::cerr << qx::serviceStartLine(s.paths, s.log, s.clock.now(), until) << std::endl;
    // Without a window the watcher answers show requests of later starts; the window takes them itself
    // and shows the dialog.
    if (gui) {
        signals.watch(s.threads->source());
    } else {
        signals.watch(s.threads->source(), &instance, [&s] { qx::answerShowRequest(s); });
    }
    // The watch ends before `instance`, whose show requests it takes, goes.
    struct EndWatch {
        qx::SignalWatcher& watcher;
        ~EndWatch() { watcher.stopWatching(); }
    } endWatch{signals};
    env.recordJobs();
    qx::ClockMember self(s.clock);
    qx::Startup startup(s);
    startup.run();
    if (gui)
        return gui->run(s, &instance, std::move(self), screenshots);
    qx::HeadlessRunner runner(s, &instance);
    return runner.run(until, std::move(self));
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "qxmover: keeps the voice-alarm server's directories from filling up and watches that the "
        "server stays healthy.\nWithout a command it runs the service: with its settings dialog and tray "
        "icon when there is a display, else headless."};
    app.set_version_flag("--version", "qxmover 0.1.0");
    qx::GlobalOptions options;
    std::string root = "/", windir, workdir;
    std::vector<std::string> drives;
    bool headless = false;
    std::string clockStart, clockUntil;
    std::string screenshots;
    auto* rootOption = app.add_option("--root", root, "installation root, the \"current drive\" of \\ paths")
                           ->envname("QXMOVER_ROOT")
                           ->capture_default_str();
    auto* windirOption = app.add_option("--windir", windir,
                                        "profile (INI) directory (default ROOT/windows; on Windows without "
                                        "--root, the Windows directory)")
                             ->envname("QXMOVER_WINDIR");
    app.add_option("--workdir", workdir,
                   "working directory: relative paths such as log\\ (default: current)");
    app.add_option("--drive", drives, "maps a drive letter: X=DIR (repeatable; C: is the root)");
    app.add_flag("--headless", headless, "run the service without any window");
    std::string metricsDir;
    auto* metricsDirOption = app.add_option(
        "--metrics-dir", metricsDir,
        "write the Prometheus metrics file qxmover.prom into DIR after every job (default: [Platform] "
        "MetricsDir of qxmover.ini; none when neither is set)");
    auto* clockStartOption =
        app.add_option("--clock-start", clockStart,
                       "run on a virtual clock from this local time, \"YYYY-MM-DD HH:MM[:SS]\"");
    auto* clockUntilOption = app.add_option("--clock-until", clockUntil,
                                            "stop cleanly when the virtual clock reaches this local time");

    // For reviewing the windows: saves a picture of every dialog into DIR and ends.
    app.add_option("--screenshots", screenshots, "save PNG pictures of every dialog into DIR")->group("");

    auto* week = app.add_subcommand("week", "print the week number of a date (default: today)");
    std::string weekDate;
    auto* weekDateOption = week->add_option("date", weekDate, "YYYY-MM-DD");

    auto* profile =
        app.add_subcommand("profile",
                           "read or write profile files: get [--strict] FILE SECTION KEY [DEFAULT [SIZE]] | "
                           "get-int [--strict] FILE SECTION KEY DEFAULT | "
                           "set FILE SECTION KEY VALUE | delete FILE SECTION [KEY]");
    profile->prefix_command();

    auto* alarms = app.add_subcommand("alarms", "print the alarm key list, one \"%d  %s\" line per alarm");

    qx::TableCommandOptions dbfOptions;
    auto* dbf = qx::addTableCommand(app, dbfOptions);

    auto* run = app.add_subcommand("run", "run one job or one of the dialog's operations once");
    qx::RunOptions runOptions;
    std::string runAt;
    std::string jobNames;
    for (const auto& job : qx::runnableJobs())
        jobNames += (jobNames.empty() ? "" : ", ") + job;
    run->add_option("job", runOptions.job, "the job: " + jobNames)->required();
    run->footer(qx::jobListHelp());
    auto* runAtOption =
        run->add_option("--at", runAt, "the time the job believes it is, \"YYYY-MM-DD HH:MM\"");
    run->add_flag("--dry-run", runOptions.dryRun,
                  "print what would be moved, deleted or started; change nothing");
    run->add_flag("--yes", runOptions.yes, "answer the operation's question with Yes");

    auto* status = app.add_subcommand(
        "status",
        "show the week and month in force, every job and monitor (on or off, last run and result, last "
        "failure and why, next run), whether the service runs and the settings out of range; changes "
        "nothing");
    qx::StatusOptions statusOptions;
    status->add_flag("--json", statusOptions.json, "one JSON object for scripts instead of the text");
    std::string statusAt;
    auto* statusAtOption =
        status->add_option("--at", statusAt, "the time the overview believes it is, \"YYYY-MM-DD HH:MM\"");

    auto* report = app.add_subcommand("report", "write the alarm report without printing it");
    qx::ReportOptions reportOptions;
    std::string reportAt, reportOutput;
    report->add_option("--at", reportAt, "the time the report believes it is, \"YYYY-MM-DD HH:MM\"");
    report->add_option("-o,--output", reportOutput, "write it to this file (default: standard output)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usageError(std::string(e.what()) + " (see qxmover --help)");
    }

    // An empty text given for a time or a directory is a mistake (an unset shell variable, say), not
    // "now" or "here": the service would otherwise run on the real clock or the wrong root.
    const std::pair<const CLI::Option*, const char*> mustNotBeEmpty[] = {
        {rootOption, "--root wants a directory, not an empty text"},
        {windirOption, "--windir wants a directory, not an empty text"},
        {clockStartOption, "--clock-start wants \"YYYY-MM-DD HH:MM[:SS]\", not an empty text"},
        {clockUntilOption, "--clock-until wants \"YYYY-MM-DD HH:MM[:SS]\", not an empty text"},
        {metricsDirOption, "--metrics-dir wants a directory, not an empty text"},
        {statusAtOption, "--at wants \"YYYY-MM-DD HH:MM\", not an empty text"},
        {weekDateOption, "week wants a date YYYY-MM-DD, not an empty text"},
        {runAtOption, "--at wants \"YYYY-MM-DD HH:MM\", not an empty text"}};
    for (const auto& [option, problem] : mustNotBeEmpty) {
        if (option->count() > 0 && option->as<std::string>().empty())
            return usageError(problem);
    }
    if (emptyEnvironment(rootOption, "QXMOVER_ROOT"))
        return usageError("QXMOVER_ROOT wants a directory, not an empty text (unset it for the default)");
    if (emptyEnvironment(windirOption, "QXMOVER_WINDIR"))
        return usageError("QXMOVER_WINDIR wants a directory, not an empty text (unset it for the default)");

    options.root = root;
    options.windir = windir;
    options.workdir = workdir;
    // Taken from where the command is given, before the service changes to its working directory.
    if (!metricsDir.empty())
        options.metricsDir = std::filesystem::absolute(metricsDir);
    for (const auto& d : drives) {
        if (d.size() < 3 || d[1] != '=' || !std::isalpha(static_cast<unsigned char>(d[0])))
            return usageError("--drive wants X=DIR, not \"" + d + "\"");
        options.drives[d[0]] = d.substr(2);
    }

    try {
        if (*week) {
            qx::LocalTime date = qx::toLocal(std::chrono::system_clock::now());
            if (!weekDate.empty()) {
                auto parsed = parseCommandTime(weekDate);
                if (!parsed || weekDate.size() != 10)
                    return usageError("week wants a date YYYY-MM-DD, not \"" + weekDate + "\"" + kDateRange);
                date = qx::toLocal(*parsed);
            }
            std::cout << qx::weekNumber(date).week << std::endl;
            return 0;
        }
        if (*profile) {
            qx::Environment env(options);
            // One value and the process ends: nothing of the file is kept, whatever its size.
            env.services().profile.setSingleReads(true);
            return qx::runProfileCommand(env.services().profile, profile->remaining(), std::cout, std::cerr);
        }
        if (*alarms) {
            qx::Environment env(options);
            qx::Services& s = env.services();
            if (auto problem = qx::settingsProblem(s.paths, true)) {
                std::cerr << "qxmover: " << *problem << std::endl;
                return 1;
            }
            return qx::printAlarmList(s.profile, s.paths, s.prompts, std::cout, std::cerr);
        }
        if (*dbf)
            return qx::printTable(dbfOptions.file, std::cout, std::cerr, dbfOptions.format());
        if (*run) {
            if (!runAt.empty()) {
                runOptions.at = parseCommandTime(runAt);
                if (!runOptions.at)
                    return usageError("--at wants \"YYYY-MM-DD HH:MM\", not \"" + runAt + "\"" + kDateRange);
            }
            return qx::runJobCommand(options, runOptions, std::cout, std::cerr);
        }
        if (*status) {
            if (!statusAt.empty()) {
                statusOptions.at = parseCommandTime(statusAt);
                if (!statusOptions.at)
                    return usageError("--at wants \"YYYY-MM-DD HH:MM\", not \"" + statusAt + "\"" +
                                      kDateRange);
            }
            return qx::runStatusCommand(options, statusOptions, std::cout, std::cerr);
        }
        if (*report) {
            if (!reportAt.empty()) {
                reportOptions.at = parseCommandTime(reportAt);
                if (!reportOptions.at)
                    return usageError("--at wants \"YYYY-MM-DD HH:MM\", not \"" + reportAt + "\"" +
                                      kDateRange);
            }
            reportOptions.output = reportOutput;
            return qx::runReportCommand(options, reportOptions, std::cout, std::cerr);
        }

        std::optional<qx::SysTime> until;
        if (!clockStart.empty() || !clockUntil.empty()) {
            if (clockStart.empty() || clockUntil.empty())
                return usageError("--clock-start and --clock-until go together");
            options.clockStart = parseCommandTime(clockStart);
            if (!options.clockStart)
                return usageError("--clock-start wants \"YYYY-MM-DD HH:MM[:SS]\", not \"" + clockStart +
                                  "\"" + kDateRange);
            until = parseCommandTime(clockUntil);
            if (!until)
                return usageError("--clock-until wants \"YYYY-MM-DD HH:MM[:SS]\", not \"" + clockUntil +
                                  "\"" + kDateRange);
            if (*until < *options.clockStart)
                return usageError("--clock-until lies before --clock-start");
        }
        bool window = !headless && !until && (!screenshots.empty() || qx::displayAvailable());
        return runService(options, until, window, argc, argv, screenshots);
    } catch (const std::exception& e) {
        std::cerr << "qxmover: " << e.what() << std::endl;
        return 1;
    }
}
