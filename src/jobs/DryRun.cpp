#include "DryRun.h"

#include <optional>

#include "SiblingCommands.h"

namespace qx {

namespace {

class DryRunTransfer : public FileTransfer {
public:
    DryRunTransfer(DryRunFileOperations& owner, std::filesystem::path from, std::filesystem::path to)
        : m_owner(owner),
          m_real(PosixFileOperations().transfer(from, to)),
          m_from(std::move(from)),
          m_to(std::move(to)) {}

    std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override {
        return m_real->lastWrite(name, error);
    }
    std::error_code move(std::string_view name) override { return print("move", name); }
    std::error_code copy(std::string_view name) override { return print("copy", name); }
    std::vector<std::string> clearPartialCopies() override {
        std::vector<std::string> dead = abandonedPartialCopies(m_to);
        for (const std::string& name : dead)
            m_owner.print("delete", m_to / name);
        return dead;
    }

private:
    std::error_code print(std::string_view verb, std::string_view name) {
        std::filesystem::path to = m_to / name;
        m_owner.print(verb, m_from / name, &to);
        return {};
    }

    DryRunFileOperations& m_owner;
    std::unique_ptr<FileTransfer> m_real;
    std::filesystem::path m_from;
    std::filesystem::path m_to;
};

class DryRunCleaner : public DirectoryCleaner {
public:
    DryRunCleaner(DryRunFileOperations& owner, std::filesystem::path directory)
        : m_owner(owner),
          m_real(owner.FileOperations::openForDeletion(directory)),
          m_directory(std::move(directory)) {}

    std::error_code openError() const override { return m_real->openError(); }
    std::vector<DirectoryEntry> list() override { return m_real->list(); }
    std::optional<SysTime> lastWrite(std::string_view name) override { return m_real->lastWrite(name); }
    std::optional<SysTime> changed(std::string_view name) override { return m_real->changed(name); }
    std::error_code remove(std::string_view name) override {
        if (std::error_code ec = m_real->openError())
            return ec;
        m_owner.print("delete", m_directory / name);
        return {};
    }

private:
    DryRunFileOperations& m_owner;
    std::unique_ptr<DirectoryCleaner> m_real;
    std::filesystem::path m_directory;
};

}  // namespace

std::unique_ptr<DirectoryCleaner> DryRunFileOperations::openForDeletion(
    const std::filesystem::path& directory) {
    return std::make_unique<DryRunCleaner>(*this, directory);
}

std::unique_ptr<FileTransfer> DryRunFileOperations::transfer(const std::filesystem::path& from,
                                                             const std::filesystem::path& to) {
    return std::make_unique<DryRunTransfer>(*this, from, to);
}

void DryRunFileOperations::print(std::string_view verb, const std::filesystem::path& a,
                                 const std::filesystem::path* b) {
    std::lock_guard lock(m_mutex);
    m_out << verb << ' ' << a.string();
    if (b)
        m_out << ' ' << b->string();
    m_out << '\n';
}

std::error_code DryRunFileOperations::createDirectory(const std::filesystem::path& directory) {
    std::error_code ec;
    if (!std::filesystem::is_directory(directory, ec))
        print("create-directory", directory);
    return {};
}

std::error_code DryRunFileOperations::remove(const std::filesystem::path& file) {
    print("delete", file);
    return {};
}

std::error_code DryRunFileOperations::createFile(const std::filesystem::path& file, std::string_view) {
    print("create-file", file);
    return {};
}

void DryRunPrompts::warn(std::string_view text, std::string_view caption) {
    TerminalPrompts(false).warn(text, caption);
}

bool DryRunPrompts::ask(std::string_view text, std::string_view caption) {
    std::lock_guard lock(m_mutex);
    m_out << "ask " << caption << ' ' << text << '\n';
    return true;
}

bool DryRunLauncher::run(std::string_view commandLine, std::chrono::seconds) {
    return report("run", commandLine);
}

bool DryRunLauncher::start(std::string_view commandLine, Show) {
    return report("start", commandLine);
}

bool DryRunLauncher::report(std::string_view verb, std::string_view commandLine) {
    bool found = !m_canStart || m_canStart(commandLine);
    std::string as = found && m_startedAs ? m_startedAs(commandLine) : std::string();
    std::lock_guard lock(m_mutex);
    m_out << verb << ' ' << commandLine << (found ? "" : "   [program not found]")
          << (as.empty() ? "" : "   [as " + as + "]") << '\n';
    if (!found)
        m_anyNotFound = true;
    return found;
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

bool wouldStart(const PosixLauncher& launcher, std::string_view commandLine) {
    std::optional<std::string> rest = withoutStart(commandLine);
    return rest && !launcher.resolve(*rest).empty();
}

std::string startedAs(const PosixLauncher& launcher, std::string_view commandLine) {
    std::string written;
    std::optional<std::string> rest = withoutStart(commandLine, &written);
    if (!rest)
        return {};
    std::vector<std::string> args = launcher.resolve(*rest);
    // A batch file runs through the shell with its text; what starts is the file.
    std::size_t program = args.size() >= 4 && args[0] == "/bin/sh" && args[1] == "-c" ? 3 : 0;
    if (args.size() <= program || programName(args[program]) == programName(written))
        return {};
    std::string text = args[program];
    for (std::size_t i = program + 1; i < args.size(); ++i)
        text += " " + args[i];
    return text;
}

}  // namespace qx

namespace qx {

std::error_code DryRunFileOperations::replaceFile(const std::filesystem::path&, std::string_view) {
    return {};
}

}  // namespace qx
