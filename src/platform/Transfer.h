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
#include "DirectoryHandle.h"

namespace qx {

// A file whose move did not complete when its batch did. Its source stays where it is.
struct TransferProblem {
    std::string name;
    std::error_code error;  // why the copy could not be made durable or the source not deleted
    bool changed = false;   // the source was written to while it was copied: it goes at the next run
};

// Moves and copies between one source and one target directory, each file named by its name alone.
// Both directories are held open as DirectoryHandles (never opened through a link), so that a run of
// thousands of files costs one system call per file and step. A directory that cannot be opened makes
// every call fail with its error.
//
// A move across volumes copies the file into a hidden temporary ".NAME.qxcopy-PID-N" beside the
// target, which then takes the file's name. The copies go in batches: one flush of the target makes a
// whole batch durable, and only then are the batch's sources deleted. A crash at any point leaves every
// file whole in at least one of the two places.
class FileTransfer {
public:
    virtual ~FileTransfer() = default;

    // The last-write time of `name` in the source directory (a link's own time); nullopt when it
    // cannot be read, with `error` set.
    virtual std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) = 0;

    // Moves `name` into the target directory, keeping every byte. A file of that name in the target is
    // never replaced: the source stays and the call fails with std::errc::file_exists, unless the
    // target is the source itself, left there by a move that was cut short (then the source goes, as
    // after a copy). Within one volume a rename; across volumes a copy with the last-write time, and
    // the source is deleted once its batch is safely on disk and only when the file did not change
    // during the copy (size and change time). Returns the failures known at once (the source stays);
    // what goes wrong when the batch completes comes from complete().
    virtual std::error_code move(std::string_view name) = 0;

    // Copies `name` into the target directory with its last-write time, replacing a file there (an
    // earlier copy of the same file, which stays at its source) only once the copy is complete.
    virtual std::error_code copy(std::string_view name) = 0;

    // Completes every move handed over so far (flush, then the sources are deleted) and returns the
    // files whose source had to stay, with the reason. The destructor completes too, but its findings
    // are lost: callers that report call this.
    virtual std::vector<TransferProblem> complete() { return {}; }

    // Deletes the partial copies that killed processes left in the target directory: hidden
    // ".NAME.qxcopy-PID-N" files that no writer holds (whatever process id they name, which a later
    // process may have again). Returns their names.
    virtual std::vector<std::string> clearPartialCopies() { return {}; }
};

// Called between the steps of a move across volumes, with the step and the file: "copied" (the copy
// has its name in the target), "synced" (the batch is durable; no name), "deleted" (the source is
// gone). Lets a test stop the process between two steps.
using TransferStep = std::function<void(std::string_view step, std::string_view name)>;

// A batch of moves across volumes is made durable when it holds this many files (or 256 MiB): enough
// for the one flush to cost little per file, few enough that a crash leaves little copied twice.
inline constexpr std::size_t kTransferBatchFiles = 1000;

// The transfer from `from` to `to`. With a dry run (`dryRun`), last-write times are read for real, so
// that an age check decides as in a real run, and every move, copy and deletion of a partial copy is
// printed ("move FROM TO", "copy FROM TO", "delete FILE") instead of made.
std::unique_ptr<FileTransfer> openTransfer(const std::filesystem::path& from, const std::filesystem::path& to,
                                           TransferStep step = {},
                                           std::size_t batchFiles = kTransferBatchFiles,
                                           DryRunOutput* dryRun = nullptr);

// Whether `name` is a partial copy's name ".NAME.qxcopy-PID-N".
bool isPartialCopyName(std::string_view name);

// The partial copies in `directory` that no writer holds any more (see clearPartialCopies()), in name
// order; nothing is deleted.
std::vector<std::string> abandonedPartialCopies(const std::filesystem::path& directory);

namespace detail {

// The partial copies of `directory` (never a directory) for which `take` holds, in name order: the one
// walk of abandonedPartialCopies() and of each system's clearPartialCopies(). Empty when not open.
std::vector<std::string> partialCopies(const DirectoryHandle& directory,
                                       const std::function<bool(const std::string& name)>& take);

}  // namespace detail

}  // namespace qx
