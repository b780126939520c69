#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "FileDescriptor.h"
#include "FileOperations.h"

namespace qx {

// The moves and copies of PosixFileOperations (see FileTransfer for what they promise).
class PosixTransfer : public FileTransfer {
public:
    // A batch is made durable when it holds `batchFiles` files or kBatchBytes, whichever comes first.
    static constexpr std::int64_t kBatchBytes = std::int64_t{256} << 20;

    PosixTransfer(const std::filesystem::path& from, const std::filesystem::path& to,
                  PosixFileOperations::StepHook hook, std::size_t batchFiles);
    ~PosixTransfer() override;

    std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override;
    std::error_code move(std::string_view name) override;
    std::error_code copy(std::string_view name) override;
    std::vector<TransferProblem> complete() override;
    std::vector<std::string> clearPartialCopies() override;

private:
    // A source whose copy is in the target and waits for the batch's sync.
    struct Pending {
        std::string name;
        struct stat before;  // the source as it was when its copy began
        ino_t copy = 0;      // the copy this move made in the target (0: it found it there)
    };

    std::error_code opened() const { return m_fromError ? m_fromError : m_toError; }
    void step(std::string_view what, std::string_view name) const;
    void completeBatch();

    FileDescriptor m_from;
    std::error_code m_fromError;
    FileDescriptor m_to;
    std::error_code m_toError;
    PosixFileOperations::StepHook m_hook;
    std::size_t m_batchFiles;
    std::vector<Pending> m_pending;
    std::int64_t m_pendingBytes = 0;
    std::vector<TransferProblem> m_problems;
};

// `name` in `directory` (AT_FDCWD for a path) opened for deletion, never through a link.
std::unique_ptr<DirectoryCleaner> openCleaner(int directory, const char* name);

}  // namespace qx
