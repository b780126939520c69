#include "DryRun.h"

#include <optional>

#include "SiblingCommands.h"

namespace qx {

void DryRunPrompts::warn(std::string_view text, std::string_view caption) {
    TerminalPrompts(false).warn(text, caption);
}

bool DryRunPrompts::ask(std::string_view text, std::string_view caption) {
    std::lock_guard lock(m_mutex);
    m_out << "ask " << caption << ' ' << text << '\n';
    return true;
}

Result<> DryRunLauncher::run(std::string_view commandLine, std::chrono::seconds) {
    return report("run", commandLine);
}

Result<> DryRunLauncher::start(std::string_view commandLine, Show) {
    return report("start", commandLine);
}

Result<> DryRunLauncher::report(std::string_view verb, std::string_view commandLine) {
    bool found = !m_canStart || m_canStart(commandLine);
    std::string as = found && m_startedAs ? m_startedAs(commandLine) : std::string();
    std::lock_guard lock(m_mutex);
    m_out << verb << ' ' << commandLine << (found ? "" : "   [program not found]")
          << (as.empty() ? "" : "   [as " + as + "]") << '\n';
    if (!found) {
        m_anyNotFound = true;
        return Failure("program not found", ENOENT);
    }
    return {};
}

namespace {

// The command line without its leading "start [/MIN] [/B]"; nullopt when nothing is left.
std::optional<std::string> withoutStart(std::string_view commandLine, std::string* program = nullptr) {
    std::vector<std::string> args = splitCommandLine(commandLine);
    std::size_t skip = 0;
    if (!args.empty() && equalsIgnoreCase(args[0], "start")) {
        skip = 1;
        while (skip < args.size() &&
               (equalsIgnoreCase(args[skip], "/MIN") || equalsIgnoreCase(args[skip], "/B")))
            ++skip;
    }
    if (skip >= args.size())
        return std::nullopt;
    if (program)
        *program = args[skip];
    std::string rest;
    for (std::size_t i = skip; i < args.size(); ++i)
        rest += (i > skip ? " " : "") + sibling::word(args[i]);
    return rest;
}

// A program's name without directory and ".exe", in lower case: "\\qxt\\QXE.EXE" and "/x/qxe" are both
// "qxe".
std::string programName(std::string_view path) {
    std::size_t slash = path.find_last_of("\\/");
    std::string name = asciiLower(slash == std::string_view::npos ? path : path.substr(slash + 1));
    if (name.size() > 4 && name.ends_with(".exe"))
        name.resize(name.size() - 4);
    return name;
}

}  // namespace

bool wouldStart(const Launcher& launcher, std::string_view commandLine) {
    std::optional<std::string> rest = withoutStart(commandLine);
    return rest && launcher.wouldRun(*rest);
}

std::string startedAs(const Launcher& launcher, std::string_view commandLine) {
    std::string written;
    std::optional<std::string> rest = withoutStart(commandLine, &written);
    if (!rest)
        return {};
    std::optional<Launcher::Resolved> started = launcher.wouldRun(*rest);
    if (!started || programName(started->program) == programName(written))
        return {};
    std::string text = started->program;
    for (const auto& argument : started->arguments)
        text += " " + argument;
    return text;
}

}  // namespace qx
