#pragma once

// The jobs' file operations and deleter with a KillSwitch, for the tests that kill a job at any point.
// Header only: it serves the test executables that link the jobs.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "CrashTools.h"
#include "DeletionDirectory.h"
#include "FileOperations.h"

namespace qx::test {

// The real transfers in batches of `batch` files: each move is a step before and after, and so is each
// step of a move across file systems (a copy, a sync, a deletion).
class KillingFiles : public PosixFileOperations {
public:
    KillingFiles(KillSwitch& kill, std::size_t batch)
        : PosixFileOperations([&kill](std::string_view, std::string_view) { kill.step(); }, batch),
          m_kill(kill) {}

    std::unique_ptr<FileTransfer> transfer(const std::filesystem::path& from,
                                           const std::filesystem::path& to) override {
        return std::make_unique<Transfer>(PosixFileOperations::transfer(from, to), m_kill);
    }

private:
    struct Transfer : FileTransfer {
        Transfer(std::unique_ptr<FileTransfer> real, KillSwitch& kill)
            : m_real(std::move(real)), m_kill(kill) {}
        std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override {
            return m_real->lastWrite(name, error);
        }
        std::error_code move(std::string_view name) override {
            m_kill.step();
            std::error_code ec = m_real->move(name);
            m_kill.step();
            return ec;
        }
        std::error_code copy(std::string_view name) override { return m_real->copy(name); }
        std::vector<TransferProblem> complete() override { return m_real->complete(); }
        std::vector<std::string> clearPartialCopies() override { return m_real->clearPartialCopies(); }

        std::unique_ptr<FileTransfer> m_real;
        KillSwitch& m_kill;
    };
    KillSwitch& m_kill;
};

// The real deleter: each removal is a step before and after.
class KillingDeleter : public Deleter {
public:
    explicit KillingDeleter(KillSwitch& kill) : m_kill(kill) {}
    std::error_code remove(DirectoryHandle& directory, std::string_view name) override {
        m_kill.step();
        std::error_code ec = Deleter::remove(directory, name);
        m_kill.step();
        return ec;
    }

private:
    KillSwitch& m_kill;
};

}  // namespace qx::test
