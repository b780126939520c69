#include <windows.h>

#include <sstream>

#include "Launcher.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

bool isBatchName(std::string_view name) {
    return endsWithIgnoreCase(name, ".bat") || endsWithIgnoreCase(name, ".cmd");
}

bool isFile(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The spellings a name is looked for in: as written, without a final ".exe", and, when it has no
// extension, with the extensions the command shell tries.
std::vector<std::string> spellings(std::string_view name) {
    std::vector<std::string> out{std::string(name)};
    if (endsWithIgnoreCase(name, ".exe"))
        out.emplace_back(name.substr(0, name.size() - 4));
    const std::size_t slash = name.find_last_of("\\/:");
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    if (base.find('.') == std::string_view::npos)
        for (const char* extension : {".exe", ".com", ".bat", ".cmd"})
            out.push_back(std::string(name) + extension);
    return out;
}

fs::path systemProgram(const wchar_t* name) {
    wchar_t directory[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return fs::path(L"C:\\windows\\system32") / name;
    return fs::path(directory) / name;
}

// An argument for a program's own command-line parser (the C runtime's rules): quoted when it holds a
// blank or a quote, with the backslashes before a quote doubled.
std::wstring quoteForProgram(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

// An argument for the command shell: nullopt when the shell would interpret it even in quotes.
std::optional<std::string> quoteForShell(std::string_view argument) {
    if (argument.find_first_of("\"%\r\n") != std::string_view::npos)
        return std::nullopt;
    if (!argument.empty() && argument.find_first_of(" \t&|<>^(),;=") == std::string_view::npos)
        return std::string(argument);
    return "\"" + std::string(argument) + "\"";
}

}  // namespace

fs::path findProgram(const PathMap& paths, std::string_view name) {
    if (name.empty())
        return {};
    const bool hasDirectory =
        name.find_first_of("\\/") != std::string_view::npos || (name.size() >= 2 && name[1] == ':');
    if (hasDirectory) {
        for (const auto& spelling : spellings(name)) {
            const fs::path candidate = paths.native(spelling);
            if (isFile(candidate))
                return candidate;
        }
        return {};
    }
    std::vector<fs::path> directories{paths.native(".")};
    if (const wchar_t* search = _wgetenv(L"PATH")) {
        std::wstringstream list(search);
        std::wstring directory;
        while (std::getline(list, directory, L';'))
            if (!directory.empty())
                directories.emplace_back(directory);
    }
    for (const auto& directory : directories)
        for (const auto& spelling : spellings(name))
            if (fs::path candidate = directory / widen(spelling); isFile(candidate))
                return candidate;
    return {};
}

Win32Launcher::Win32Launcher(PathMap paths, LauncherCommands commands, Log log, ChildPolicy policy)
    : m_paths(std::move(paths)),
      m_commands(std::move(commands)),
      m_log(std::move(log)),
      m_policy(std::move(policy)) {}

std::vector<std::string> Win32Launcher::translate(std::string_view commandLine) const {
    std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty() || equalsIgnoreCase(args[0], "md") || equalsIgnoreCase(args[0], "mkdir"))
        return args;
    const std::size_t slash = args[0].find_last_of("\\/");
    const std::string program = slash == std::string::npos ? args[0] : args[0].substr(slash + 1);
    auto replace = [&](const std::string& configured, std::size_t keep) {
        std::vector<std::string> out = splitCommandLine(configured);
        out.insert(out.end(), args.begin() + static_cast<std::ptrdiff_t>(keep), args.end());
        args = std::move(out);
    };
    if ((equalsIgnoreCase(program, "notepad") || equalsIgnoreCase(program, "notepad.exe"))) {
        const bool print = args.size() > 1 && equalsIgnoreCase(args[1], "/p");
        // The file as this installation maps it, whole: a name such as "\qxt\log.\qxareport.prt" would
        // otherwise lie on the drive of the child's working directory, not below --root.
        for (std::size_t i = print ? 2 : 1; i < args.size(); ++i)
            args[i] = pathBytes(m_paths.native(args[i])).value_or(args[i]);
        if (print && !m_commands.print.empty())
            replace(m_commands.print, 2);
        else if (!print && !m_commands.editor.empty())
            replace(m_commands.editor, 1);
    } else if ((equalsIgnoreCase(program, "shutdown") || equalsIgnoreCase(program, "shutdown.exe")) &&
               !m_commands.restart.empty()) {
        args = splitCommandLine(m_commands.restart);
    }
    return args;
}

std::optional<Win32Launcher::Process> Win32Launcher::prepare(std::string_view commandLine,
                                                             std::string* refusal) const {
    auto refuse = [&](std::string why) -> std::optional<Process> {
        if (refusal)
            *refusal = std::move(why);
        return std::nullopt;
    };
    std::vector<std::string> args = translate(commandLine);
    if (args.empty())
        return refuse("empty command line");
    if (equalsIgnoreCase(args[0], "md") || equalsIgnoreCase(args[0], "mkdir")) {
        if (args.size() < 2)
            return refuse("md without a directory");
        return Process{L"md", m_paths.native(args[1]).wstring()};
    }
    const fs::path resolved = findProgram(m_paths, args[0]);
    if (resolved.empty())
        return refuse("program not found");
    if (!isBatchName(resolved.filename().string())) {
        std::wstring line = quoteForProgram(resolved.wstring());
        for (std::size_t i = 1; i < args.size(); ++i)
            line += L" " + quoteForProgram(widen(args[i]));
        return Process{resolved.wstring(), line};
    }
    // "/s /c "...": the shell takes the text between the first and the last quote as the command, as
    // it stands; "/d" keeps AutoRun commands out, "/v:off" the delayed expansion of !name!.
    const std::optional<std::string> batch = narrow(resolved.wstring());
    if (!batch || !quoteForShell(*batch))
        return refuse("the batch file's path holds a character the command shell would interpret");
    std::wstring inner = L"\"" + resolved.wstring() + L"\"";
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::optional<std::string> quoted = quoteForShell(args[i]);
        if (!quoted)
            return refuse("argument " + std::to_string(i) + " (" + args[i] +
                          ") holds a character the command shell would interpret (\", % or a line break)");
        inner += L" " + widen(*quoted);
    }
    const fs::path shell = systemProgram(L"cmd.exe");
    return Process{shell.wstring(),
                   quoteForProgram(shell.wstring()) + L" /d /v:off /s /c \"" + inner + L"\""};
}

std::optional<Launcher::Resolved> Win32Launcher::wouldRun(std::string_view commandLine) const {
    if (!prepare(commandLine))
        return std::nullopt;
    std::vector<std::string> args = translate(commandLine);
    if (equalsIgnoreCase(args[0], "md") || equalsIgnoreCase(args[0], "mkdir"))
        return Resolved{"md", {pathBytes(m_paths.native(args[1])).value_or(args[1])}};
    Resolved out{pathBytes(findProgram(m_paths, args[0])).value_or(args[0]), {}};
    out.arguments.assign(args.begin() + 1, args.end());
    return out;
}

Result<> Win32Launcher::launch(std::string_view commandLine, bool wait, std::chrono::seconds limit,
                               int show) {
    std::string why;
    std::optional<Process> process = prepare(commandLine, &why);
    if (!process) {
        if (m_log)
            m_log("Cannot start \"" + std::string(commandLine) + "\": " + why);
        return Failure(why);
    }
    if (process->program == L"md") {
        std::error_code ec;
        fs::create_directories(process->commandLine, ec);
        if (ec)
            return Failure("cannot make the directory: " + ec.message(), ec.value());
        return {};
    }
    if (wait && m_policy.stop.stop_requested()) {
        if (m_log)
            m_log("Not started \"" + std::string(commandLine) + "\": the service stops");
        return Failure("the service stops");
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION info{};
    std::wstring line = process->commandLine;
    // A group of its own, so that a console break reaches it and what it started, and no break meant
    // for us reaches it.
    DWORD flags = CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT | (wait ? CREATE_SUSPENDED : 0);
    if (!CreateProcessW(process->program.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &info)) {
        const DWORD error = GetLastError();
        if (m_log)
            m_log("Cannot start \"" + std::string(commandLine) + "\": error " + std::to_string(error));
        return Failure("error " + std::to_string(error));
    }
    if (!wait) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return {};
    }
    // The job holds everything the program starts, so that ending it at its limit leaves nothing behind.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    const bool inJob = job && AssignProcessToJobObject(job, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);

    HANDLE stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::stop_callback onStop(m_policy.stop, [stopped] { SetEvent(stopped); });
    HANDLE waits[2] = {info.hProcess, stopped};
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
    const DWORD result = WaitForMultipleObjects(stopped ? 2 : 1, waits, FALSE,
                                                static_cast<DWORD>(std::min<long long>(ms, INFINITE - 1)));
    if (result != WAIT_OBJECT_0) {
        GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, info.dwProcessId);
        const auto grace = static_cast<DWORD>(std::min<long long>(m_policy.grace.count(), INFINITE - 1));
        if (WaitForSingleObject(info.hProcess, grace) != WAIT_OBJECT_0) {
            if (inJob)
                TerminateJobObject(job, 1);
            else
                TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 5000);
        } else if (inJob) {
            TerminateJobObject(job, 1);  // what it started goes with it
        }
        if (m_log)
            m_log(result == WAIT_OBJECT_0 + 1
                      ? "Ended \"" + std::string(commandLine) + "\" because the service stops"
                      : "Killed \"" + std::string(commandLine) + "\" after " + std::to_string(limit.count()) +
                            " s");
    }
    if (stopped)
        CloseHandle(stopped);
    if (job)
        CloseHandle(job);
    CloseHandle(info.hProcess);
    return {};
}

Result<> Win32Launcher::run(std::string_view commandLine, std::chrono::seconds limit) {
    std::vector<std::string> args = splitCommandLine(commandLine);
    if (!args.empty() && equalsIgnoreCase(args[0], "start")) {
        // "start [/MIN] program args": the shell returns at once; the rest of the line as written.
        std::size_t skip = 1;
        int show = SW_SHOWNORMAL;
        while (skip < args.size() &&
               (equalsIgnoreCase(args[skip], "/MIN") || equalsIgnoreCase(args[skip], "/MAX") ||
                equalsIgnoreCase(args[skip], "/B"))) {
            if (equalsIgnoreCase(args[skip], "/MIN"))
                show = SW_SHOWMINNOACTIVE;
            ++skip;
        }
        std::string_view rest = commandLine;
        for (std::size_t i = 0; i < skip; ++i) {
            rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
            std::size_t end = rest.find_first_of(" \t");
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        }
        return launch(rest, false, limit, show);
    }
    return launch(commandLine, true, limit, SW_SHOWNORMAL);
}

Result<> Win32Launcher::start(std::string_view commandLine, Show show) {
    return launch(commandLine, false, kDefaultLimit, show == Show::Hidden ? SW_HIDE : SW_SHOWNORMAL);
}

std::unique_ptr<Launcher> makeSystemLauncher(PathMap paths, LauncherCommands commands,
                                             std::function<void(const std::string& line)> log,
                                             ChildPolicy policy) {
    return std::make_unique<Win32Launcher>(std::move(paths), std::move(commands), std::move(log),
                                           std::move(policy));
}

}  // namespace qx
