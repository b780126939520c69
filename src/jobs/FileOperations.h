#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "FileSearch.h"

namespace qx {

// The file work of the housekeeping jobs, behind one interface so that a dry run goes through the same
// code and only this object decides whether anything changes. Failures are results, never exceptions.
class FileOperations {
public:
    virtual ~FileOperations() = default;

    // Every entry of `directory` (without "." and ".."), read once; empty when the directory is missing
    // or unreadable. Reading changes nothing, so every implementation reads the real directory.
    virtual std::vector<FoundFile> list(const std::filesystem::path& directory);

    // Creates `directory` and its parents; success when it exists as a directory afterwards.
    virtual std::error_code createDirectory(const std::filesystem::path& directory) = 0;

    // Deletes one file; a symbolic link is removed itself, its target is never touched.
    virtual std::error_code remove(const std::filesystem::path& file) = 0;

    // Moves `from` to `to`, replacing a file there, keeping every byte: a rename within one file
    // system; across file systems a copy with the last-write time, and the source is deleted only
    // after the whole copy succeeded. On failure the source is where it was.
    virtual std::error_code move(const std::filesystem::path& from, const std::filesystem::path& to) = 0;

    // Copies `from` to `to`, replacing a file there, with the last-write time; the source stays. On
    // failure an existing `to` is left as it was.
    virtual std::error_code copy(const std::filesystem::path& from, const std::filesystem::path& to) = 0;

    // Writes a new text file (fails when `file` exists).
    virtual std::error_code createFile(const std::filesystem::path& file, std::string_view content) = 0;
};

// The real thing, on POSIX calls.
class PosixFileOperations : public FileOperations {
public:
    std::error_code createDirectory(const std::filesystem::path& directory) override;
    std::error_code remove(const std::filesystem::path& file) override;
    std::error_code move(const std::filesystem::path& from, const std::filesystem::path& to) override;
    std::error_code copy(const std::filesystem::path& from, const std::filesystem::path& to) override;
    std::error_code createFile(const std::filesystem::path& file, std::string_view content) override;
};

// Copies a file (or a symbolic link as a link) through a temporary file beside `to`, which replaces
// `to` only once every byte, the permission bits and the last-write time are on disk. Nothing is left
// behind on failure.
std::error_code copyKeepingTime(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace qx
