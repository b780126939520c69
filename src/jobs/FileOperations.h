#pragma once

#include <filesystem>
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

// Moves and copies between one source and one target directory, each file named by its name alone.
// Both directories are opened once, so that a run of thousands of files costs one system call per
// file and step. A directory that cannot be opened makes every call fail with its error.
class FileTransfer {
public:
    virtual ~FileTransfer() = default;

    // The last-write time of `name` in the source directory (a link's own time); nullopt when it
    // cannot be read, with `error` set.
    virtual std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) = 0;

    // Moves `name` into the target directory, replacing a file of that name there, keeping every
    // byte: a rename within one file system; across file systems a copy with the last-write time, and
    // the source is deleted only after the whole copy succeeded. On failure the source stays.
    virtual std::error_code move(std::string_view name) = 0;

    // Copies `name` into the target directory with its last-write time, replacing a file there only
    // once the copy is complete; the source stays.
    virtual std::error_code copy(std::string_view name) = 0;
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

    // Creates `directory` and its parents; success when it exists as a directory afterwards.
    virtual std::error_code createDirectory(const std::filesystem::path& directory) = 0;

    // Deletes one file; a symbolic link is removed itself, its target is never touched.
    virtual std::error_code remove(const std::filesystem::path& file) = 0;

    // Writes a new text file (fails when `file` exists).
    virtual std::error_code createFile(const std::filesystem::path& file, std::string_view content) = 0;
};

// The real thing, on POSIX calls.
class PosixFileOperations : public FileOperations {
public:
    std::unique_ptr<FileTransfer> transfer(const std::filesystem::path& from,
                                           const std::filesystem::path& to) override;
    std::error_code createDirectory(const std::filesystem::path& directory) override;
    std::error_code remove(const std::filesystem::path& file) override;
    std::error_code createFile(const std::filesystem::path& file, std::string_view content) override;
};

}  // namespace qx
