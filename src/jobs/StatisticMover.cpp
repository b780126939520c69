#include "StatisticMover.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "ActivityLog.h"
#include "Clock.h"
#include "FileSearch.h"
#include "Launcher.h"
#include "PathMap.h"
#include "Prompts.h"
#include "SiblingCommands.h"
#include "StringTable.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

std::string numbered(std::string_view base, const char* name, int number) {
    char directory[32];
    std::snprintf(directory, sizeof directory, "%s%02d", name, number);
    return configuredJoin(base, directory);
}

// A file of a directory with the first of the patterns that it matches, which decides how it is handled.
struct MatchedFile {
    std::string name;
    std::string_view pattern;
};

// The files of one directory that match any of `patterns`, read once, in name order: the order in which
// the installation's own file system lists them, and kinder to the blocks of a large ext4 directory than
// its hash order. Subdirectories never take part.
std::vector<MatchedFile> matchingFiles(FileOperations& files, const fs::path& directory,
                                       std::span<const std::string_view> patterns) {
    std::vector<MatchedFile> matched;
    for (DirectoryEntry& entry : files.list(directory)) {
        if (entry.isDirectory)
            continue;
        for (std::string_view pattern : patterns) {
            if (matchesWildcard(entry.name, pattern)) {
                matched.push_back({std::move(entry.name), pattern});
                break;
            }
        }
    }
    std::sort(matched.begin(), matched.end(), [](const auto& x, const auto& y) { return x.name < y.name; });
    return matched;
}

// A file that another program took away while we worked is no failure of ours; a missing target
// directory is.
bool vanished(std::error_code ec, const fs::path& source) {
    std::error_code ignored;
    return ec == std::errc::no_such_file_or_directory && !fs::exists(fs::symlink_status(source, ignored));
}

}  // namespace

Failure notStarted(std::string_view commandLine, const Result<>& start) {
    return Failure("\"" + std::string(commandLine) + "\" could not be started" +
                       (start ? std::string() : ": " + start.reason()),
                   start.number());
}

bool ageChecked(std::string_view pattern, std::string_view name) {
    if (!equalsIgnoreCase(pattern, "*.log"))
        return true;
    return name.size() == 12 && !containsIgnoreCase(name, "qx");
}

namespace {

// The entries of an opened directory that match `patterns`, in name order, that `filter` picks.
std::vector<std::string> deletable(DirectoryHandle& directory, std::span<const std::string_view> patterns,
                                   const StatisticMover::FileFilter& filter) {
    std::vector<std::string> names;
    for (DirectoryEntry& entry : directory.list()) {
        if (entry.isDirectory)
            continue;
        bool matches = false;
        for (std::string_view pattern : patterns)
            matches = matches || matchesWildcard(entry.name, pattern);
        if (!matches)
            continue;
        if (filter && !filter(directory, entry.name))
            continue;
        names.push_back(std::move(entry.name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

StatisticMover::FileFilter writtenBeforeFilter(std::optional<SysTime> writtenBefore) {
    if (!writtenBefore)
        return {};
    return [before = *writtenBefore](DirectoryHandle& directory, const std::string& name) {
        std::optional<EntryStatus> entry = directory.status(name);
        // A time that cannot be read keeps the file.
        return entry && entry->lastWrite < before;
    };
}

// The files of a week directory without a cycle record that an earlier cycle left: written and moved
// in (the change time) before `before`. A file filed now keeps its old last-write time, but its move
// set its change time.
StatisticMover::FileFilter leftBefore(SysTime before) {
    return [before](DirectoryHandle& directory, const std::string& name) {
        std::optional<EntryStatus> entry = directory.status(name);
        return entry && entry->lastWrite < before && entry->changed < before;
    };
}

std::string plural(int count, std::string_view what) {
    return std::to_string(count) + " " + std::string(what) + (count == 1 ? "" : "s");
}

SysTime startOfDay(std::chrono::sys_days day) {
    const std::chrono::year_month_day date{day};
    return fromLocal(static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
                     static_cast<int>(static_cast<unsigned>(date.day())));
}

// The failures of one move, for the log: the first of each reason with its file, the rest as a count.
class FailureNotes {
public:
    FailureNotes(const ActivityLog& log, std::string target) : m_log(log), m_target(std::move(target)) {}
    ~FailureNotes() {
        for (const auto& [reason, count] : m_more)
            if (count > 0)
                m_log.note(plural(count, "more file") + " could not be moved to " + m_target + ": " + reason);
    }
    void failed(const std::string& line, const std::error_code& ec) {
        const std::string reason = ec.message();
        auto [at, first] = m_more.try_emplace(reason, 0);
        if (first)
            m_log.note(line + ": " + reason);
        else
            ++at->second;
        if (m_count++ == 0)
            m_first = line + ": " + reason;
    }
    // The outcome of the move so far: the first failure, and how many files failed in all.
    Result<> outcome() const {
        if (m_count == 0)
            return {};
        return Failure(m_count == 1 ? m_first : m_first + " (" + plural(m_count, "file") + " failed)");
    }

private:
    int m_count = 0;
    std::string m_first;
    const ActivityLog& m_log;
    std::string m_target;
    std::map<std::string, int> m_more;
};

}  // namespace

std::vector<std::string> StatisticMover::filesToMove(const fs::path& source,
                                                     std::span<const std::string_view> patterns) {
    std::vector<std::string> names;
    for (MatchedFile& entry : matchingFiles(m_files, source, patterns))
        names.push_back(std::move(entry.name));
    return names;
}

int StatisticMover::deleteFiles(const fs::path& directory, std::span<const std::string_view> patterns,
                                std::optional<SysTime> writtenBefore) {
    return deleteFiles(directory, patterns, writtenBeforeFilter(writtenBefore));
}

int StatisticMover::deleteFiles(const fs::path& directory, std::span<const std::string_view> patterns,
                                const FileFilter& filter) {
    std::unique_ptr<DirectoryHandle> open = m_files.openForDeletion(directory, &m_services.paths);
    if (!open->isOpen()) {
        const std::error_code ec = open->error();
        if (open->refusal() != DirectoryRefusal::None) {
            m_services.log.note("Refused to delete files in " + shown(directory) + ": it is " +
                                describe(open->refusal()));
            return kRefused;
        }
        if (ec == std::errc::too_many_symbolic_link_levels || ec == std::errc::not_a_directory)
            m_services.log.note("Not deleting in " + shown(directory) + ": it is a link or no directory");
        else if (ec != std::errc::no_such_file_or_directory)
            m_services.log.note("Cannot delete in " + shown(directory) + ": " + ec.message());
        return 0;
    }
    int deleted = 0;
    for (const std::string& name : deletable(*open, patterns, filter)) {
        if (m_stop.stop_requested())
            break;
        std::error_code ec = open->remove(name);
        if (!ec)
            ++deleted;
        else if (ec != std::errc::no_such_file_or_directory)
            m_services.log.note("Cannot delete " + shown(directory / name) + ": " + ec.message());
    }
    m_deleted += deleted;
    return deleted;
}

Result<> StatisticMover::moveFiles(const fs::path& source, std::span<const std::string_view> patterns,
                                   const fs::path& target, AgeCheck ageCheck, SysTime now,
                                   bool createTarget) {
    const SysTime youngSince = now - kYoungFileAge;
    // Moving every statistic file out of a protected place empties it as a deletion would.
    if (const DirectoryRefusal refusal = refusalOf(source, m_services.paths);
        refusal != DirectoryRefusal::None) {
        return failed("Refused to move files from " + shown(source) + ": it is " + describe(refusal));
    }
    const std::vector<MatchedFile> matched = matchingFiles(m_files, source, patterns);
    if (matched.empty())
        return {};
    if (createTarget) {
        if (Result<> made = ensureDirectory(target); !made)
            return made;
    }
    Result<> stopped;
    std::unique_ptr<FileTransfer> transfer = m_files.transfer(source, target);
    for (const std::string& name : transfer->clearPartialCopies())
        m_services.log.note("Deleted partial copy " + shown(target / name) + " of a stopped move");
    FailureNotes failures(m_services.log, shown(target));
    for (const MatchedFile& entry : matched) {
        if (m_stop.stop_requested()) {
            stopped = failed("Move to " + shown(target) + " stopped before " + entry.name);
            break;
        }
        // Decided for each file: one old or exempt name must not let a younger file go.
        bool young = false;
        if (ageCheck == AgeCheck::On && ageChecked(entry.pattern, entry.name)) {
            std::error_code ec;
            std::optional<SysTime> written = transfer->lastWrite(entry.name, ec);
            if (!written && vanished(ec, source / entry.name))
                continue;
            // A time that cannot be read is taken as young: copying keeps the source.
            young = !written || *written > youngSince;
        }
        std::error_code ec = young ? transfer->copy(entry.name) : transfer->move(entry.name);
        m_moved += !ec && !young ? 1 : 0;
        if (ec == std::errc::file_exists) {
            // Not a failure to retry: the name stays taken. The file goes with a later week.
            m_services.log.note("Keep " + shown(source / entry.name) + ": " + shown(target) +
                                " has a file of that name already");
        } else if (ec && !vanished(ec, source / entry.name)) {
            failures.failed(std::string(young ? "Cannot copy " : "Cannot move ") +
                                shown(source / entry.name) + " to " + shown(target / entry.name),
                            ec);
        }
    }
    for (const TransferProblem& problem : transfer->complete()) {
        if (problem.changed) {
            // Not a failure: the file is still being written, as when a young file is only copied.
            m_services.log.note("Keep " + shown(source / problem.name) +
                                ": it changed while it was copied; it goes at the next run");
            continue;
        }
        m_moved = m_moved > 0 ? m_moved - 1 : 0;
        failures.failed("Cannot move " + shown(source / problem.name) + " to " + shown(target / problem.name),
                        problem.error);
    }
    Result<> moved = failures.outcome();
    moved.join(std::move(stopped));
    return moved;
}

Result<> StatisticMover::writeCycleStamp(const fs::path& directory, const CycleStamp& stamp) {
    if (std::error_code ec = m_files.replaceFile(directory / kCycleStampName, formatCycleStamp(stamp)))
        return failed("Cannot record the cycle in " + shown(directory) + ": " + ec.message());
    return {};
}

Result<> StatisticMover::failed(std::string line) {
    m_services.log.note(line);
    return Failure(std::move(line));
}

Result<> StatisticMover::refusedIn(const fs::path& directory) const {
    return Failure("Refused to delete files in " + shown(directory));
}

namespace {

// The week of the filing Monday `filing`, less 50 weeks: a directory without a record holds an
// earlier cycle's files only when they were written and moved in before then.
SysTime legacyBefore(std::chrono::sys_days filing) {
    return startOfDay(filing - std::chrono::days{7 + 50 * 7});
}

}  // namespace

std::vector<std::string> StatisticMover::filesToClaim(const fs::path& directory, std::chrono::sys_days filing,
                                                      int waitWeeks) {
    const CycleStamp stamp = readCycleStamp(directory);
    const ClaimDecision decision = decideClaim(stamp, filing, waitWeeks);
    if (decision.alreadyClaimed || !decision.emptyAll || (stamp.present && stamp.cycles.empty()))
        return {};
    std::unique_ptr<DirectoryHandle> open = m_files.openForDeletion(directory, &m_services.paths);
    return deletable(*open, kDeletionPatterns,
                     stamp.present ? FileFilter() : leftBefore(legacyBefore(filing)));
}

Result<> StatisticMover::claimWeekDirectory(const fs::path& directory, std::chrono::sys_days filing,
                                            int waitWeeks) {
    // What a write of the record that was killed left; the record itself is whole, old or new.
    std::error_code ec;
    const fs::path unfinished = directory / (std::string(kCycleStampName) + ".new");
    if (fs::is_regular_file(fs::symlink_status(unfinished, ec)))
        m_files.remove(unfinished);
    const CycleStamp stamp = readCycleStamp(directory);
    const ClaimDecision decision = decideClaim(stamp, filing, waitWeeks);
    if (decision.alreadyClaimed)
        return {};
    if (!stamp.present) {
        int deleted = deleteFiles(directory, kDeletionPatterns, leftBefore(legacyBefore(filing)));
        if (deleted == kRefused)
            return refusedIn(directory);
        if (deleted > 0)
            m_services.log.note("Deleted " + plural(deleted, "file") + " in " + shown(directory) +
                                " written and moved in before " +
                                formatDay(filing - std::chrono::days{7 + 50 * 7}) +
                                ": left by an earlier cycle of the week number");
    } else if (decision.emptyAll && !decision.earlier.empty()) {
        int deleted = deleteFiles(directory, kDeletionPatterns, FileFilter());
        if (deleted == kRefused)
            return refusedIn(directory);
        m_services.log.note("Deleted " + plural(deleted, "file") + " in " + shown(directory) +
                            " filed in the cycle of " + formatDay(decision.earlier.back()) +
                            ": an earlier cycle of the week number, before the week is filed again");
    } else if (!decision.emptyAll) {
        m_services.log.note("Keep the files of the cycle of " + formatDay(decision.earlier.back()) + " in " +
                            shown(directory) + ": WaitBeforeDel " + std::to_string(waitWeeks) +
                            " weeks have not passed; they go in their due week");
    }
    return writeCycleStamp(directory, decision.after);
}

Result<int> StatisticMover::emptyDueWeekDirectory(const fs::path& directory, std::chrono::sys_days dueFilled,
                                                  std::span<const std::string_view> patterns, int waitWeeks) {
    const CycleStamp stamp = readCycleStamp(directory);
    const DueDecision decision = decideDue(stamp, dueFilled);
    const std::string rule = ": WaitBeforeDel " + std::to_string(waitWeeks) + " weeks have passed";
    if (!stamp.present) {
        int deleted = deleteFiles(directory, patterns, FileFilter());
        if (deleted == kRefused)
            return *refusedIn(directory).failure();
        if (deleted > 0)
            m_services.log.note("Deleted " + plural(deleted, "file") + " in " + shown(directory) + rule);
        return deleted;
    }
    if (decision.expired.empty()) {
        if (!decision.younger.empty())
            m_services.log.note("Keep directory " + shown(directory) + ": filled again in the cycle of " +
                                formatDay(decision.younger.front()));
        return 0;
    }
    // Files of a younger cycle share the directory: only what was moved in before it began goes.
    FileFilter filter;
    if (!decision.younger.empty()) {
        const SysTime younger = startOfDay(decision.younger.front());
        filter = [younger](DirectoryHandle& open, const std::string& name) {
            std::optional<EntryStatus> entry = open.status(name);
            return entry && entry->changed < younger;
        };
    }
    int deleted = deleteFiles(directory, patterns, filter);
    if (deleted == kRefused)
        return *refusedIn(directory).failure();
    m_services.log.note("Deleted " + plural(deleted, "file") + " in " + shown(directory) +
                        " filed in the cycle of " + formatDay(decision.expired.back()) + rule);
    // The files are gone either way; a record not written only keeps them counted as this cycle's.
    (void)writeCycleStamp(directory, decision.after);
    return deleted;
}

bool StatisticMover::filledSince(const fs::path& directory, std::chrono::sys_days dueFilled) const {
    const DueDecision decision = decideDue(readCycleStamp(directory), dueFilled);
    return decision.expired.empty() && !decision.younger.empty();
}

void StatisticMover::clearPartialCopies(const fs::path& directory) {
    for (const std::string& name : m_files.transfer(directory, directory)->clearPartialCopies())
        m_services.log.note("Deleted partial copy " + shown(directory / name) + " of a stopped move");
}

void StatisticMover::clearPeriodPartialCopies(const fs::path& base, std::string_view prefix) {
    for (const DirectoryEntry& entry : m_files.list(base)) {
        const std::string_view name = entry.name;
        if (!entry.isDirectory || name.size() != prefix.size() + 2 ||
            !equalsIgnoreCase(name.substr(0, prefix.size()), prefix) ||
            name.find_first_not_of("0123456789", prefix.size()) != std::string_view::npos)
            continue;
        clearPartialCopies(base / entry.name);
    }
}

fs::path StatisticMover::native(std::string_view installationPath) const {
    return m_services.paths.native(installationPath);
}

std::string StatisticMover::periodName(std::string_view logDirectory, int number) const {
    return numbered(logDirectory, "log", number);
}

std::string StatisticMover::waveName(std::string_view waveBase, int number) const {
    return numbered(waveBase, "wav", number);
}

fs::path StatisticMover::periodDirectory(std::string_view logDirectory, int number) const {
    return native(periodName(logDirectory, number));
}

fs::path StatisticMover::waveDirectory(std::string_view waveBase, int number) const {
    return native(waveName(waveBase, number));
}

std::string StatisticMover::shown(const fs::path& path) const {
    return m_services.paths.configured(path);
}

namespace {

constexpr std::string_view kWavePattern[] = {"*.wav"};

}  // namespace

Result<> StatisticMover::moveWaveFiles(std::string_view logDirectory, std::string_view waveBase, int number,
                                       SysTime now) {
    const fs::path wave = waveDirectory(waveBase, number);
    Result<> ok = moveFiles(native(logDirectory), kWavePattern, wave, AgeCheck::Off, now, true);
    m_services.log.note("Move wavfiles to directory " + waveName(waveBase, number));
    return ok;
}

Result<> StatisticMover::deleteWaveFiles(std::string_view waveBase, int number) {
    const fs::path wave = waveDirectory(waveBase, number);
    const int deleted = deleteFiles(wave, kWavePattern);
    if (deleted == kRefused)
        return refusedIn(wave);
    m_services.log.note("Delete wavfiles from subdirectory " + waveName(waveBase, number));
    if (deleted > 0)
        m_services.log.note("Deleted " + plural(deleted, "file") + " in " + waveName(waveBase, number) +
                            ": the wave directory of the due week or month");
    return {};
}

Result<> StatisticMover::ensureDirectory(const fs::path& directory) {
    if (std::error_code ec = m_files.createDirectory(directory))
        return failed("Cannot create directory " + shown(directory) + ": " + ec.message());
    return {};
}

Result<> StatisticMover::ensureWeekDirectory(std::string_view logDirectory, int week) {
    fs::path directory = periodDirectory(logDirectory, week);
    std::error_code ec = m_files.createDirectory(directory);
    if (!ec || m_services.launcher.run(sibling::makeWeekDirectory(logDirectory, week)))
        return {};
    return failed("Cannot create directory " + periodName(logDirectory, week) + ": " + ec.message());
}

std::string StatisticMover::secondBatchProgram() const {
    if (findProgram(m_services.paths, sibling::kSecondBatch).empty() &&
        !findProgram(m_services.paths, sibling::kSecondBatchOld).empty())
        return sibling::kSecondBatchOld;
    return sibling::kSecondBatch;
}

Result<> StatisticMover::startBatch(const std::string& commandLine, int errorText,
                                    std::string_view startedNote, std::string_view failedNote,
                                    std::string_view shownLine) {
    Services& s = m_services;
    const std::string shownCommand(shownLine.empty() ? std::string_view(commandLine) : shownLine);
    const Result<> started = s.launcher.start(commandLine, Show::Hidden);
    if (started) {
        if (!startedNote.empty())
            s.log.note(std::string(startedNote) + shownCommand);
        return {};
    }
    s.prompts.warn(s.strings.get(errorText), s.strings.get(kStrErrorCaption));
    if (!failedNote.empty())
        s.log.note(std::string(failedNote) + shownCommand);
    return notStarted(shownCommand, started);
}

}  // namespace qx
