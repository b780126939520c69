#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChildWait.h"
#include "PathMap.h"
#include "Result.h"

namespace qx {

class ChildReaper;  // ChildReaper.h: only the POSIX launcher's source uses it

// How a directly started program shows itself; kept for the command lines that name it, but a
// program on this platform has no window to show.
enum class Show { Hidden = 0, Shown = 5 };

// Starts programs the way the installation's command lines expect, without ever using a shell.
class Launcher {
public:
    static constexpr std::chrono::seconds kDefaultLimit{600};

    virtual ~Launcher() = default;

    // "Through the command shell": splits `commandLine` by Windows rules, resolves the program and
    // starts it. Waits for its end (at most `limit`, then kills it) unless the line begins with
    // "start" (optionally "start /MIN"). Fails, saying why ("program not found", "the service
    // stops", the system's refusal), when the program cannot be found or executed; the program's own
    // exit code is not judged.
    virtual Result<> run(std::string_view commandLine, std::chrono::seconds limit = kDefaultLimit) = 0;

    // The direct start with a show value: starts and does not wait. Same failure rule as run().
    virtual Result<> start(std::string_view commandLine, Show show) = 0;

    // What starting `commandLine` (without a leading "start") would run, without running it: the
    // program found, after the translations of the installation's commands (for a batch file, the
    // file, not the shell that reads it), and its arguments. nullopt when the program would not be
    // found or the start would be refused. A launcher that looks nothing up (a dry run's, a test's)
    // answers with the line's own words.
    struct Resolved {
        std::string program;
        std::vector<std::string> arguments;
    };
    virtual std::optional<Resolved> wouldRun(std::string_view commandLine) const;
};

// Splits a command line by the Windows rules: blanks and tabs separate, double quotes group (and
// are removed), a backslash before a quote makes the quote literal.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// The installation's programs that have other names here. Empty texts keep the defaults:
// the editor is $VISUAL, $EDITOR or xdg-open; printing is `lp FILE`; the restart is
// `systemctl reboot`.
struct LauncherCommands {
    std::string editor;
    std::string print;
    std::string restart;
};

class PosixLauncher : public Launcher {
public:
    // `log` receives one line for each child killed after its limit or at a stop, and each start that
    // failed. `policy` says how waits end: its stop token ends every wait at once.
    using Log = std::function<void(const std::string& line)>;

    PosixLauncher(PathMap paths, LauncherCommands commands = {}, Log log = {}, ChildPolicy policy = {});

    Result<> run(std::string_view commandLine, std::chrono::seconds limit = kDefaultLimit) override;
    Result<> start(std::string_view commandLine, Show show) override;
    std::optional<Resolved> wouldRun(std::string_view commandLine) const override;

    // The argument vector that `commandLine` starts, after the translations of the installation's
    // commands (md, notepad, shutdown) and program resolution; empty when the program is not found.
    // `md` has no program: it yields {"md", DIR} with DIR mapped.
    std::vector<std::string> resolve(std::string_view commandLine) const;

private:
    Result<> launch(std::string_view commandLine, bool wait, std::chrono::seconds limit);
    // The argument vector after the translations of the installation's commands, before the program
    // is looked for.
    std::vector<std::string> translate(std::string_view commandLine) const;

    PathMap m_paths;
    LauncherCommands m_commands;
    Log m_log;
    ChildPolicy m_policy;
    // Shared by copies of this launcher, so that one thread reaps every detached child.
    std::shared_ptr<ChildReaper> m_reaper;
};

// Starts programs with CreateProcessW (Windows). The installation's names are the system's own here
// (notepad, shutdown; the LauncherCommands still replace them when set); `md DIR` makes the directory.
// A batch file (.bat, .cmd) runs through "cmd.exe /c", which would read its arguments as commands:
// each argument that holds a blank or one of & | < > ^ ( ) , ; = is put in double quotes, where the
// shell takes them as text, and an argument that holds what the shell interprets even there (a double
// quote, '%', a line break) refuses the start, with the reason logged. Other programs get their
// arguments quoted by the runtime's rules and never pass through the shell. A waited-for program runs
// in a job object of its own: at its limit or a stop request it and everything it started get a
// console break, then, after the policy's grace, the job is terminated.
class Win32Launcher : public Launcher {
public:
    using Log = std::function<void(const std::string& line)>;

    Win32Launcher(PathMap paths, LauncherCommands commands = {}, Log log = {}, ChildPolicy policy = {});

    Result<> run(std::string_view commandLine, std::chrono::seconds limit = kDefaultLimit) override;
    Result<> start(std::string_view commandLine, Show show) override;
    std::optional<Resolved> wouldRun(std::string_view commandLine) const override;

    // What CreateProcessW gets for `commandLine` (without a leading "start"): the program and its
    // command line. nullopt, with `refusal` saying why, when the program is not found or an argument
    // cannot be handed on safely. `md` gives the program "md" and the directory as the command line.
    struct Process {
        std::wstring program;
        std::wstring commandLine;
    };
    std::optional<Process> prepare(std::string_view commandLine, std::string* refusal = nullptr) const;

private:
    Result<> launch(std::string_view commandLine, bool wait, std::chrono::seconds limit, int show);
    // The words of `commandLine` after the replacements of the configured commands.
    std::vector<std::string> translate(std::string_view commandLine) const;

    PathMap m_paths;
    LauncherCommands m_commands;
    Log m_log;
    ChildPolicy m_policy;
};

// The launcher of the system built for: a PosixLauncher on Linux, a Win32Launcher on Windows.
// `log` receives the lines the launcher logs (kills after a limit, failed starts).
std::unique_ptr<Launcher> makeSystemLauncher(PathMap paths, LauncherCommands commands = {},
                                             std::function<void(const std::string& line)> log = {},
                                             ChildPolicy policy = {});

// Finds a program the way the launcher does: names with `\` or a drive through the path mapping;
// otherwise the working directory, then PATH; a name ending in ".exe" is also found without it (on
// Windows, a name without an extension is also found with .exe, .com, .bat or .cmd, as the command
// shell finds it). Empty when not found or not executable.
std::filesystem::path findProgram(const PathMap& paths, std::string_view name);

}  // namespace qx
