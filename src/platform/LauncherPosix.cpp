#include "Launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ChildReaper.h"

extern char** environ;

namespace fs = std::filesystem;

namespace qx {

namespace {

bool isExecutableFile(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool isRegularFile(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isScriptName(std::string_view name) {
    return endsWithIgnoreCase(name, ".bat") || endsWithIgnoreCase(name, ".cmd");
}

// A candidate is usable when it can be executed, or is a batch file that /bin/sh will run.
bool usable(const fs::path& path) {
    return isExecutableFile(path) || (isScriptName(path.filename().string()) && isRegularFile(path));
}

std::string baseName(std::string_view name) {
    std::size_t slash = name.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

// The text of a batch file as /bin/sh should see it: its comment lines and echo switches dropped.
std::string scriptText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line, out;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::size_t start = line.find_first_not_of(" \t");
        std::string_view body =
            start == std::string::npos ? std::string_view() : std::string_view(line).substr(start);
        bool comment = (body.size() >= 3 && equalsIgnoreCase(body.substr(0, 3), "rem") &&
                        (body.size() == 3 || body[3] == ' ' || body[3] == '\t')) ||
                       body.rfind("::", 0) == 0 || equalsIgnoreCase(body, "@echo off");
        out += comment ? std::string() : line;
        out += '\n';
    }
    return out;
}

}  // namespace

fs::path findProgram(const PathMap& paths, std::string_view name) {
    if (name.empty())
        return {};
    std::vector<std::string> spellings{std::string(name)};
    if (endsWithIgnoreCase(name, ".exe"))
        spellings.emplace_back(name.substr(0, name.size() - 4));
    bool hasDirectory =
        name.find_first_of("\\/") != std::string_view::npos || (name.size() >= 2 && name[1] == ':');
    for (const auto& spelling : spellings) {
        if (hasDirectory) {
            fs::path candidate = paths.native(spelling);
            if (usable(candidate))
                return candidate;
            continue;
        }
        fs::path local = resolveCaseInsensitive(fs::path(".") / spelling);
        if (usable(local))
            return fs::absolute(local).lexically_normal();
    }
    if (hasDirectory)
        return {};
    const char* pathVar = std::getenv("PATH");
    std::string search = pathVar ? pathVar : "/usr/local/bin:/usr/bin:/bin";
    std::stringstream dirs(search);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty())
            dir = ".";
        for (const auto& spelling : spellings) {
            fs::path candidate = fs::path(dir) / spelling;
            if (usable(candidate))
                return candidate;
        }
    }
    return {};
}

PosixLauncher::PosixLauncher(PathMap paths, LauncherCommands commands, Log log, ChildPolicy policy)
    : m_paths(std::move(paths)),
      m_commands(std::move(commands)),
      m_log(std::move(log)),
      m_policy(std::move(policy)),
      m_reaper(std::make_shared<ChildReaper>(m_policy.usePidfd)) {}

std::vector<std::string> PosixLauncher::resolve(std::string_view commandLine) const {
    std::vector<std::string> args = translate(commandLine);
    if (args.empty() || args[0] == "md")
        return args;
    fs::path resolved = findProgram(m_paths, args[0]);
    if (resolved.empty())
        return {};
    if (isScriptName(resolved.filename().string())) {
        std::vector<std::string> out{"/bin/sh", "-c", scriptText(resolved), resolved.string()};
        out.insert(out.end(), args.begin() + 1, args.end());
        return out;
    }
    args[0] = resolved.string();
    return args;
}

std::optional<Launcher::Resolved> PosixLauncher::wouldRun(std::string_view commandLine) const {
    std::vector<std::string> args = resolve(commandLine);
    // A script runs as {"/bin/sh", "-c", TEXT, FILE, ARGUMENTS...}: what starts is the file.
    const std::size_t program = args.size() >= 4 && args[0] == "/bin/sh" && args[1] == "-c" ? 3 : 0;
    if (args.size() <= program)
        return std::nullopt;
    Resolved out{args[program], {}};
    out.arguments.assign(args.begin() + static_cast<std::ptrdiff_t>(program) + 1, args.end());
    return out;
}

std::vector<std::string> PosixLauncher::translate(std::string_view commandLine) const {
    std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty())
        return {};
    std::string program = baseName(args[0]);
    auto replaced = [&](const std::string& configured, std::vector<std::string> fallback,
                        std::vector<std::string> rest) {
        std::vector<std::string> out =
            configured.empty() ? std::move(fallback) : splitCommandLine(configured);
        for (auto& r : rest)
            out.push_back(std::move(r));
        return out;
    };
    if (equalsIgnoreCase(args[0], "md") || equalsIgnoreCase(args[0], "mkdir")) {
        if (args.size() < 2)
            return {};
        return {"md", m_paths.native(args[1]).string()};
    }
    if (equalsIgnoreCase(program, "notepad") || equalsIgnoreCase(program, "notepad.exe")) {
        std::vector<std::string> files;
        bool print = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (equalsIgnoreCase(args[i], "/p"))
                print = true;
            else
                files.push_back(m_paths.native(args[i]).string());
        }
        if (print) {
            args = replaced(m_commands.print, {"lp"}, files);
        } else {
            std::string editor = m_commands.editor;
            if (editor.empty()) {
                const char* visual = std::getenv("VISUAL");
                const char* env = std::getenv("EDITOR");
                editor = visual && *visual ? visual : env && *env ? env : "xdg-open";
            }
            args = splitCommandLine(editor);
            for (auto& f : files)
                args.push_back(f);
        }
    } else if (equalsIgnoreCase(program, "shutdown") || equalsIgnoreCase(program, "shutdown.exe")) {
        args = replaced(m_commands.restart, {"systemctl", "reboot"}, {});
    }
    return args;
}

Result<> PosixLauncher::launch(std::string_view commandLine, bool wait, std::chrono::seconds limit) {
    std::vector<std::string> args = resolve(commandLine);
    if (args.empty()) {
        // Name the program looked for when it is not the one written (the editor for notepad).
        std::vector<std::string> written = splitCommandLine(commandLine);
        std::vector<std::string> wanted = translate(commandLine);
        std::string program = wanted.empty() || (!written.empty() && written[0] == wanted[0])
                                  ? std::string()
                                  : " \"" + wanted[0] + "\"";
        const std::string why = "program" + program + " not found";
        if (m_log)
            m_log("Cannot start \"" + std::string(commandLine) + "\": " + why);
        return Failure(why, ENOENT);
    }
    if (args[0] == "md") {
        std::error_code ec;
        fs::create_directories(args[1], ec);
        if (ec)
            return Failure("cannot make " + args[1] + ": " + ec.message(), ec.value());
        return {};
    }
    if (wait && m_policy.stop.stop_requested()) {
        if (m_log)
            m_log("Not started \"" + std::string(commandLine) + "\": the service stops");
        return Failure("the service stops");
    }
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own, so that a child that runs past its limit dies with everything it started,
    // and a detached one is not hit by signals meant for us.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        if (m_log)
            m_log("Cannot start \"" + std::string(commandLine) + "\": " + std::strerror(rc));
        return Failure(std::strerror(rc), rc);
    }
    if (wait) {
        ChildEnd end = waitForChild(pid, limit, m_policy);
        if (end == ChildEnd::TimedOut && m_log)
            m_log("Killed \"" + std::string(commandLine) + "\" after " + std::to_string(limit.count()) +
                  " s");
        if (end == ChildEnd::Stopped && m_log)
            m_log("Ended \"" + std::string(commandLine) + "\" because the service stops");
        return {};
    }
    // Nobody waits for a detached program, but it must not stay a zombie.
    m_reaper->adopt(pid);
    return {};
}

Result<> PosixLauncher::run(std::string_view commandLine, std::chrono::seconds limit) {
    std::vector<std::string> args = splitCommandLine(commandLine);
    if (!args.empty() && equalsIgnoreCase(args[0], "start")) {
        // "start [/MIN] program args": the shell returns at once; rebuild the rest of the line.
        std::size_t skip = 1;
        while (skip < args.size() &&
               (equalsIgnoreCase(args[skip], "/MIN") || equalsIgnoreCase(args[skip], "/MAX") ||
                equalsIgnoreCase(args[skip], "/B")))
            ++skip;
        std::string_view rest = commandLine;
        for (std::size_t i = 0; i < skip; ++i) {
            rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
            std::size_t end = rest.find_first_of(" \t");
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        }
        return launch(rest, false, limit);
    }
    return launch(commandLine, true, limit);
}

Result<> PosixLauncher::start(std::string_view commandLine, Show) {
    return launch(commandLine, false, kDefaultLimit);
}

std::unique_ptr<Launcher> makeSystemLauncher(PathMap paths, LauncherCommands commands,
                                             std::function<void(const std::string& line)> log,
                                             ChildPolicy policy) {
    return std::make_unique<PosixLauncher>(std::move(paths), std::move(commands), std::move(log),
                                           std::move(policy));
}

}  // namespace qx
