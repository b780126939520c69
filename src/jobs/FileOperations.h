#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "DirectoryHandle.h"
#include "Transfer.h"

namespace qx {

// The file work of the housekeeping jobs, behind one interface so that a test can step in between and
// a dry run goes through the same code: the directories are DirectoryHandles, and only their dry-run
// switch decides whether anything changes. Failures are results, never exceptions.
class FileOperations {
public:
    // With `dryRun`, every change is printed there and none is made (see DryRunFileOperations).
    explicit FileOperations(DryRunOutput* dryRun = nullptr) : m_dryRun(dryRun) {}
    virtual ~FileOperations() = default;

    // Every entry of `directory` (without "." and ".."), read once; empty when the directory is missing,
    // unreadable or a link. Reading changes nothing, so a dry run reads the real directory.
    virtual std::vector<DirectoryEntry> list(const std::filesystem::path& directory);

    // The transfer between `from` and `to` for the files of one job step.
    virtual std::unique_ptr<FileTransfer> transfer(const std::filesystem::path& from,
                                                   const std::filesystem::path& to);

    // `directory` opened for deletion; with `protect`, a protected place of that installation is refused
    // (see DirectoryRules).
    virtual std::unique_ptr<DirectoryHandle> openForDeletion(const std::filesystem::path& directory,
                                                             const PathMap* protect = nullptr);

    // Creates `directory` and its parents; success when it exists as a directory afterwards.
    virtual std::error_code createDirectory(const std::filesystem::path& directory);

    // Deletes one file; a symbolic link is removed itself, its target is never touched, and the
    // directory of the file is not followed when it is a link.
    virtual std::error_code remove(const std::filesystem::path& file);

    // Writes a new text file (fails when `file` exists).
    virtual std::error_code createFile(const std::filesystem::path& file, std::string_view content);

    // Writes the small bookkeeping file `file` (a week directory's cycle record) whole and durably (see
    // DirectoryHandle::replaceFile). A dry run changes nothing and succeeds.
    virtual std::error_code replaceFile(const std::filesystem::path& file, std::string_view content);

    DryRunOutput* dryRun() const { return m_dryRun; }

protected:
    // Where moves across volumes tell their steps, and how many files a batch holds.
    TransferStep m_step;
    std::size_t m_batchFiles = kTransferBatchFiles;

private:
    DryRunOutput* m_dryRun;
};

// The real thing.
class PosixFileOperations : public FileOperations {
public:
    using StepHook = TransferStep;
    static constexpr std::size_t kBatchFiles = kTransferBatchFiles;

    PosixFileOperations() = default;
    // `hook` is called between the steps of a move across volumes (see TransferStep).
    explicit PosixFileOperations(StepHook hook, std::size_t batchFiles = kBatchFiles) {
        m_step = std::move(hook);
        m_batchFiles = batchFiles;
    }
};

}  // namespace qx
