#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "Clock.h"
#include "CycleStamp.h"
#include "FileOperations.h"
#include "JobHooks.h"
#include "Result.h"
#include "Services.h"

namespace qx {

// The alarm server's statistic files, in the order in which they are handled.
inline constexpr std::array<std::string_view, 27> kStatisticPatterns = {
    "*.dbf", "*.l1",  "*.l2",  "*.log", "*.dlf", "*.alr", "*.vox", "*.prt", "*.msg",
    "*.rcf", "*.cnf", "*.cnr", "*.pag", "*.tts", "*.eml", "*.ein", "*.trp", "*.bmc",
    "*.err", "*.txt", "*.res", "*.dle", "*.jpg", "*.gif", "*.png", "*.cip", "*.evt"};

// What the scheduled deletion of a week directory removes: the statistic files and the viewer's .inf
// files, which are moved in at midnight.
inline constexpr std::array<std::string_view, 28> kDeletionPatterns = {
    "*.dbf", "*.l1",  "*.l2",  "*.log", "*.dlf", "*.alr", "*.vox", "*.prt", "*.msg", "*.rcf",
    "*.cnf", "*.cnr", "*.inf", "*.pag", "*.tts", "*.eml", "*.ein", "*.trp", "*.bmc", "*.err",
    "*.txt", "*.res", "*.dle", "*.jpg", "*.gif", "*.png", "*.cip", "*.evt"};

// A file younger than this is still being written; the age check copies it and leaves it in place.
inline constexpr std::chrono::hours kYoungFileAge{12};

enum class AgeCheck { Off, On };

// Deleting and moving the statistic files, the work under every mover job. Each failure is written
// to the activity log (when WriteLogFile is on) and the job goes on with the next file.
class StatisticMover {
public:
    // A stop requested through `stop` ends a move or deletion between two files.
    StatisticMover(Services& services, FileOperations& files, JobHooks& hooks, std::stop_token stop = {})
        : m_services(services), m_files(files), m_hooks(hooks), m_stop(std::move(stop)) {}

    // Deletes every file of `directory` that matches one of `patterns`, in name order; with
    // `writtenBefore` only those last written before that time. Subdirectories stay; symbolic links are
    // removed themselves. A directory that is a symbolic link is not followed: nothing is deleted there,
    // and that is logged. A missing directory does nothing. A directory that resolves to a protected
    // place (see DirectoryRefusal) is refused, logged, and gives kRefused. Returns the number of files
    // deleted.
    static constexpr int kRefused = -1;
    int deleteFiles(const std::filesystem::path& directory, std::span<const std::string_view> patterns,
                    std::optional<SysTime> writtenBefore = std::nullopt);

    // Decides for a file of an open directory whether it goes.
    using FileFilter = std::function<bool(DirectoryHandle& directory, const std::string& name)>;
    // deleteFiles() for the files that `filter` picks.
    int deleteFiles(const std::filesystem::path& directory, std::span<const std::string_view> patterns,
                    const FileFilter& filter);

    // The files of `source` that moveFiles() would take for `patterns`.
    std::vector<std::string> filesToMove(const std::filesystem::path& source,
                                         std::span<const std::string_view> patterns);

    // Moves the files of `source` that match `patterns` into `target`; each file is handled under the
    // first pattern it matches, and the files go in name order. A file of the same name in the target
    // is never replaced: the source stays where it is, with a log line, and goes at a later run. With the age
    // check, a file written less than kYoungFileAge before `now` is copied and stays where it is, except
    // "*.log" files whose name is not 12 characters long or contains "qx" (the server's own rotated logs),
    // which are moved whatever their age. The directory is read once. With `createTarget` a missing target is
    // created first, but only when there is something to move. Partial copies that killed processes left in
    // the target are deleted first. A file written to while it was copied to another file system stays where
    // it is, for the next run (logged). Of many failures for one reason (a full or read-only target) the
    // first is logged with its file and the rest as a count. Fails, with the first failure's log line,
    // when a file could not be moved or copied (not for a file kept because its name is taken: that is no
    // failure, and trying again changes nothing), or a stop came before the last file. A source that
    // resolves to a protected place (see DirectoryRefusal) is refused: logged, nothing moved, a failure.
    Result<> moveFiles(const std::filesystem::path& source, std::span<const std::string_view> patterns,
                       const std::filesystem::path& target, AgeCheck ageCheck, SysTime now,
                       bool createTarget = false);

    // Prepares week directory `directory` for the cycle that began on Monday `filing` (see CycleStamp):
    // the first time in that cycle, the files of the deletion patterns that an earlier cycle left there
    // are deleted, when that cycle has had its wait of `waitWeeks` (0: no wait), and the cycle is
    // recorded before anything is filed. Later runs of the same cycle delete nothing, whatever the
    // times of the files. A directory without a record (filled before there was one) loses only files
    // both written and changed (moved in) before 50 weeks before the week being filed. Every deletion
    // is counted in the activity log with its rule. A failure (logged) when the record cannot be written
    // or the directory is a protected place: then nothing may be filed there.
    Result<> claimWeekDirectory(const std::filesystem::path& directory, std::chrono::sys_days filing,
                                int waitWeeks);
    // The files that claimWeekDirectory() would delete.
    std::vector<std::string> filesToClaim(const std::filesystem::path& directory,
                                          std::chrono::sys_days filing, int waitWeeks);

    // Empties the due week directory `directory` (files of `patterns`) of the cycle filled on
    // `dueFilled` and of the cycles before it. A cycle that filled it again since keeps its files: the
    // directory is left alone, or (when both are in it) only the files moved in before that cycle
    // began go. A directory without a record is emptied. The deletions are counted in the activity
    // log with their rule. Returns the number of files deleted; a failure (logged, nothing deleted, the
    // record left as it is) for a protected place.
    Result<int> emptyDueWeekDirectory(const std::filesystem::path& directory, std::chrono::sys_days dueFilled,
                                      std::span<const std::string_view> patterns, int waitWeeks);

    // Whether the record of `directory` says that it was filled after `dueFilled` and holds nothing of
    // that cycle or an earlier one.
    bool filledSince(const std::filesystem::path& directory, std::chrono::sys_days dueFilled) const;

    // Deletes the partial copies that killed processes left in `directory` (logged).
    void clearPartialCopies(const std::filesystem::path& directory);
    // The same in every week directory ("logNN") below `base`, whichever week is filed now.
    void clearPeriodPartialCopies(const std::filesystem::path& base, std::string_view prefix);

    // Moves the *.wav files of the log directory into wave directory `number` below `waveBase` (created
    // only when there is something to move) and notes it. A failure when a file could not be moved.
    Result<> moveWaveFiles(std::string_view logDirectory, std::string_view waveBase, int number, SysTime now);
    // Deletes the *.wav files of wave directory `number` below `waveBase` and notes it. A failure when
    // the directory is a protected place (logged; nothing deleted).
    Result<> deleteWaveFiles(std::string_view waveBase, int number);

    // The directory of week or month `number` below an installation path, "<base>.\logNN" and
    // "<base>.\wavNN": as the activity log names them (the base spelt as configured) and native.
    std::string periodName(std::string_view logDirectory, int number) const;
    std::string waveName(std::string_view waveBase, int number) const;
    std::filesystem::path periodDirectory(std::string_view logDirectory, int number) const;
    std::filesystem::path waveDirectory(std::string_view waveBase, int number) const;
    std::filesystem::path native(std::string_view installationPath) const;
    // A native path as the activity log names it (see PathMap::configured).
    std::string shown(const std::filesystem::path& path) const;

    // Makes sure the week directory exists: created directly, else with the shell's "md". A failure (and
    // logged) when it still does not exist, so that nothing is moved into a missing directory.
    Result<> ensureWeekDirectory(std::string_view logDirectory, int week);
    // The same for any directory (no shell fallback).
    Result<> ensureDirectory(const std::filesystem::path& directory);

    // The second batch that is there: qxmove2.bat, or qxmover2.bat when qxmove2.bat is missing.
    std::string secondBatchProgram() const;

    // Starts a batch program hidden. On failure shows `errorText` (a string id) and, when given, logs
    // `failedNote` + the command; on success logs `startedNote` + the command. The log names the
    // command as `shownLine` when given: the batch gets native paths, the log the configured ones. The
    // box never holds the caller. A failure, "COMMAND could not be started", when it did not start.
    Result<> startBatch(const std::string& commandLine, int errorText, std::string_view startedNote = {},
                        std::string_view failedNote = {}, std::string_view shownLine = {});

    Services& services() { return m_services; }
    FileOperations& files() { return m_files; }
    JobHooks& hooks() { return m_hooks; }

    // The files this mover has moved and deleted so far (files only copied, being young, not counted).
    int moved() const { return m_moved; }
    int deleted() const { return m_deleted; }

private:
    // The record of `directory` written durably; a failure (logged) when it cannot be.
    Result<> writeCycleStamp(const std::filesystem::path& directory, const CycleStamp& stamp);
    // Logs `line` and fails with it as the reason.
    Result<> failed(std::string line);
    // The failure of a deletion in `directory` refused by deleteFiles() (which logged why).
    Result<> refusedIn(const std::filesystem::path& directory) const;

    Services& m_services;
    FileOperations& m_files;
    JobHooks& m_hooks;
    std::stop_token m_stop;
    int m_moved = 0;
    int m_deleted = 0;
};

// The failure of a program that did not start: "\"COMMAND\" could not be started: REASON", the reason
// being the launcher's (`start`).
Failure notStarted(std::string_view commandLine, const Result<>& start);

// Whether the age check looks at `name` for `pattern` (see StatisticMover::moveFiles).
bool ageChecked(std::string_view pattern, std::string_view name);

}  // namespace qx
