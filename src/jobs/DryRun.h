#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <ostream>

#include "FileOperations.h"
#include "Launcher.h"
#include "Prompts.h"

namespace qx {

// The dry run: the jobs run their real code, but these objects print what would change, one line each,
// and change nothing. Directories are read for real, so the listing is what a real run would find.
//
// Lines: "create-directory DIR", "delete FILE", "move FROM TO", "copy FROM TO", "create-file FILE".
// The file work prints through the dry-run switch of the directory handles and transfers it opens; the
// cycle record of a week directory is bookkeeping, not a change a dry run shows: not written.
class DryRunFileOperations : public FileOperations {
public:
    explicit DryRunFileOperations(std::ostream& out) : FileOperations(&m_output), m_output(out) {}

    // Prints one line "VERB A [B]".
    void print(std::string_view verb, const std::filesystem::path& a,
               const std::filesystem::path* b = nullptr) {
        m_output.print(verb, a, b);
    }

private:
    DryRunOutput m_output;
};

// Lines: "run COMMAND LINE" (through the command shell) and "start COMMAND LINE" (direct start). A start
// succeeds when `canStart` says the program would be found (always, without it), so that a dry run
// takes the same fallbacks as a real one; a line whose program would not be found ends in
// "   [program not found]". A line that the platform starts as another program (the editor, print and
// restart commands) ends in "   [as PROGRAM ARGUMENTS]" when `startedAs` names it.
class DryRunLauncher : public Launcher {
public:
    using CanStart = std::function<bool(std::string_view commandLine)>;
    // What the line really starts when that is another program than the one it names; empty otherwise.
    using StartedAs = std::function<std::string(std::string_view commandLine)>;
    explicit DryRunLauncher(std::ostream& out, CanStart canStart = {}, StartedAs startedAs = {})
        : m_out(out), m_canStart(std::move(canStart)), m_startedAs(std::move(startedAs)) {}

    Result<> run(std::string_view commandLine, std::chrono::seconds limit = kDefaultLimit) override;
    Result<> start(std::string_view commandLine, Show show) override;

    // Whether a line of this dry run named a program that would not be found.
    bool anyNotFound() const { return m_anyNotFound.load(); }

private:
    Result<> report(std::string_view verb, std::string_view commandLine);

    std::ostream& m_out;
    CanStart m_canStart;
    StartedAs m_startedAs;
    std::mutex m_mutex;
    std::atomic<bool> m_anyNotFound{false};
};

// The questions of a dry run: each is printed on `out` as "ask CAPTION TEXT" and answered Yes, so that
// the dry run shows what a confirmed run would do without waiting for an answer. Warnings go to standard
// error as on the terminal.
class DryRunPrompts : public Prompts {
public:
    explicit DryRunPrompts(std::ostream& out) : m_out(out) {}

    void warn(std::string_view text, std::string_view caption) override;
    bool ask(std::string_view text, std::string_view caption) override;

private:
    std::ostream& m_out;
    std::mutex m_mutex;
};

// Whether `launcher` would find the program of `commandLine` (a leading "start [/MIN]" skipped): the
// check a dry run makes instead of starting.
bool wouldStart(const Launcher& launcher, std::string_view commandLine);

// The program and arguments that `launcher` starts for `commandLine` (a leading "start [/MIN]"
// skipped) when it is another program than the line names, as the editor, print and restart commands
// of the installation are here; empty when it is the named one or none would be found.
std::string startedAs(const Launcher& launcher, std::string_view commandLine);

}  // namespace qx
