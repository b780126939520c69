#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "Clock.h"

namespace qx {

// One entry of a directory as listed for the housekeeping jobs.
struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;  // a symbolic link is never a directory here: it is handled as itself
};

// A file whose move did not complete when its batch did. Its source stays where it is.
struct TransferProblem {
    std::string name;
    std::error_code error;  // why the copy could not be made durable or the source not deleted
    bool changed = false;   // the source was written to while it was copied: it goes at the next run
};

// Moves and copies between one source and one target directory, each file named by its name alone.
// Both directories are opened once, so that a run of thousands of files costs one system call per
// file and step. A directory that cannot be opened makes every call fail with its error.
//
// A move across file systems copies the file into a hidden temporary ".NAME.qxcopy-PID-N" beside the
// target, which then takes the file's name. The copies go in batches: one sync of the target file
// system makes a whole batch durable, and only then are the batch's sources deleted. A crash at any
// point leaves every file whole in at least one of the two places.
class FileTransfer {
public:
    virtual ~FileTransfer() = default;

    // The last-write time of `name` in the source directory (a link's own time); nullopt when it
    // cannot be read, with `error` set.
    virtual std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) = 0;

    // Moves `name` into the target directory, keeping every byte. A file of that name in the target is
    // never replaced: the source stays and the call fails with std::errc::file_exists, unless the
    // target is the source itself, left there by a move that was cut short (then the source goes, as
    // after a copy). Within one file system a rename; across file systems a copy with the last-write time,
    // and the source is deleted once its batch is safely on disk and only when the file did not change during
    // the copy (size and change time). Returns the failures known at once (the source stays); what goes wrong
    // when the batch completes comes from complete().
    virtual std::error_code move(std::string_view name) = 0;

    // Copies `name` into the target directory with its last-write time, replacing a file there (an
    // earlier copy of the same file, which stays at its source) only once the copy is complete.
    virtual std::error_code copy(std::string_view name) = 0;

    // Completes every move handed over so far (sync, then the sources are deleted) and returns the
    // files whose source had to stay, with the reason. The destructor completes too, but its findings
    // are lost: callers that report call this.
    virtual std::vector<TransferProblem> complete() { return {}; }

    // Deletes the partial copies that killed processes left in the target directory: hidden
    // ".NAME.qxcopy-PID-N" files that no writer holds locked (whatever process id they name, which a
    // later process may have again). Returns their names.
    virtual std::vector<std::string> clearPartialCopies() { return {}; }
};

// One directory opened for deletion. Neither the directory nor its entries are followed when they are
// symbolic links: a directory that is a link is not opened, and a link among its entries is removed
// itself. Every entry is deleted relative to the open directory, so a path swapped for a link after
// the opening changes nothing.
class DirectoryCleaner {
public:
    virtual ~DirectoryCleaner() = default;

    // Why the directory is not open (ELOOP or ENOTDIR for a link, ENOENT when missing); empty when open.
    virtual std::error_code openError() const = 0;
    // The entries (without "." and ".."), read once; empty when the directory is not open.
    virtual std::vector<DirectoryEntry> list() = 0;
    // The last-write time of entry `name` (a link's own time); nullopt when it cannot be read.
    virtual std::optional<SysTime> lastWrite(std::string_view name) = 0;
    // The change time of entry `name`: when it was last moved in or its attributes changed (a rename
    // sets it, a copy is made with it). Nullopt when it cannot be read.
    virtual std::optional<SysTime> changed(std::string_view name) = 0;
    // Deletes entry `name`.
    virtual std::error_code remove(std::string_view name) = 0;
};

// The file work of the housekeeping jobs, behind one interface so that a dry run goes through the same
// code and only this object decides whether anything changes. Failures are results, never exceptions.
class FileOperations {
public:
    virtual ~FileOperations() = default;

    // Every entry of `directory` (without "." and ".."), read once; empty when the directory is missing
    // or unreadable. Reading changes nothing, so every implementation reads the real directory.
    virtual std::vector<DirectoryEntry> list(const std::filesystem::path& directory);

    // The transfer between `from` and `to` for the files of one job step.
    virtual std::unique_ptr<FileTransfer> transfer(const std::filesystem::path& from,
                                                   const std::filesystem::path& to) = 0;

    // `directory` opened for deletion (see DirectoryCleaner); the real directory, deleting for real.
    virtual std::unique_ptr<DirectoryCleaner> openForDeletion(const std::filesystem::path& directory);

    // Creates `directory` and its parents; success when it exists as a directory afterwards.
    virtual std::error_code createDirectory(const std::filesystem::path& directory) = 0;

    // Deletes one file; a symbolic link is removed itself, its target is never touched, and the
    // directory of the file is not followed when it is a link.
    virtual std::error_code remove(const std::filesystem::path& file) = 0;

    // Writes a new text file (fails when `file` exists).
    virtual std::error_code createFile(const std::filesystem::path& file, std::string_view content) = 0;

    // Writes the small bookkeeping file `file` (a week directory's cycle record) whole and durably: a
    // temporary file beside it, synced, renamed over it, the directory synced. A crash leaves the old
    // content or the new. A dry run changes nothing and succeeds.
    virtual std::error_code replaceFile(const std::filesystem::path& file, std::string_view content) = 0;
};

// The real thing, on POSIX calls.
class PosixFileOperations : public FileOperations {
public:
    // Called between the steps of a move across file systems, with the step and the file: "copied"
    // (the copy has its name in the target), "synced" (the batch is durable; no name), "deleted" (the
    // source is gone). Lets a test stop the process between two steps.
    using StepHook = std::function<void(std::string_view step, std::string_view name)>;

    // A batch of moves across file systems is made durable when it holds this many files (or 256 MiB):
    // enough for the one sync to cost little per file, few enough that a crash leaves little copied
    // twice.
    static constexpr std::size_t kBatchFiles = 1000;

    PosixFileOperations() = default;
    explicit PosixFileOperations(StepHook hook, std::size_t batchFiles = kBatchFiles)
        : m_hook(std::move(hook)), m_batchFiles(batchFiles) {}

    std::unique_ptr<FileTransfer> transfer(const std::filesystem::path& from,
                                           const std::filesystem::path& to) override;
    std::error_code createDirectory(const std::filesystem::path& directory) override;
    std::error_code remove(const std::filesystem::path& file) override;
    std::error_code createFile(const std::filesystem::path& file, std::string_view content) override;
    std::error_code replaceFile(const std::filesystem::path& file, std::string_view content) override;

private:
    StepHook m_hook;
    std::size_t m_batchFiles = kBatchFiles;
};

// The partial copies in `directory` that no writer holds any more (see clearPartialCopies()), in name
// order; nothing is deleted.
std::vector<std::string> abandonedPartialCopies(const std::filesystem::path& directory);

// Deletes the abandoned partial copies in the open directory `directory`; returns their names.
std::vector<std::string> clearAbandonedCopies(int directory);

}  // namespace qx
