#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "Clock.h"
#include "DryRunOutput.h"
#include "FileSearch.h"
#include "PathMap.h"

namespace qx {

// Places that a deleting job must never clear, whatever a profile value says: an empty or mistyped
// directory resolves to one of them all too easily.
enum class DirectoryRefusal { None, FileSystemRoot, InstallationRoot, ProfileDirectory, WorkingDirectory };

// Which protected place `directory` (native) resolves to, links and "." / ".." taken into account;
// None when it is none of them. A directory that does not exist is none of them.
DirectoryRefusal refusalOf(const std::filesystem::path& directory, const PathMap& paths);

// "the file-system root", "the installation root", ...; empty for None.
const char* describe(DirectoryRefusal refusal);

// One entry of a directory as listed for the housekeeping jobs.
struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;  // a symbolic link (or junction) is never a directory here: it is itself
};

// What a directory entry is, as itself (a link's own, never its target's).
struct EntryStatus {
    bool isDirectory = false;
    bool isSymlink = false;  // a symbolic link, or on Windows any reparse point (junctions too)
    bool isReadOnly = false;
    std::int64_t size = 0;
    SysTime lastWrite;
    SysTime changed;  // when it was last moved in or its attributes changed (Windows: its creation)
};

// How a directory is opened: with `protect`, a directory that resolves to one of that installation's
// protected places (see DirectoryRefusal) is refused and not opened; with `dryRun`, every change is
// printed there instead of made.
struct DirectoryRules {
    const PathMap* protect = nullptr;
    DryRunOutput* dryRun = nullptr;
};

// One directory held open by a handle for the whole of a job step. Entries are listed, looked at and
// removed relative to the handle, so a directory renamed or swapped for a link meanwhile is never
// followed, and nothing outside the directory can be reached: entry names never hold a separator. The
// directory itself is not opened through a symbolic link (nor, on Windows, a junction); the components
// above it are the administrator's layout and are taken as they are.
class DirectoryHandle {
public:
    DirectoryHandle() = default;
    explicit DirectoryHandle(std::filesystem::path directory, DirectoryRules rules = {});
    ~DirectoryHandle();
    DirectoryHandle(DirectoryHandle&& other) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;

    bool isOpen() const;
    // Why it is not open: ENOENT when missing, ELOOP or ENOTDIR for a link, EPERM for a protected place.
    std::error_code error() const { return m_error; }
    DirectoryRefusal refusal() const { return m_refusal; }
    // Not opened because the directory is a symbolic link (or junction), which is never followed.
    bool isLink() const { return m_isLink; }
    const std::filesystem::path& path() const { return m_path; }
    DryRunOutput* dryRun() const { return m_rules.dryRun; }

    // Every entry (without "." and ".."), read now; empty when not open or unreadable.
    std::vector<DirectoryEntry> list() const;

    // The entries whose names match the Windows wildcard `pattern`, in directory order, each with its
    // own type and last-write time. The names are read once, at the first call; entries gone since are
    // left out. A stop requested through `stop` ends the look early: what was found so far is returned.
    std::vector<FoundFile> find(std::string_view pattern, std::stop_token stop = {});

    // Entry `name` as itself; nullopt (with `error` when given) when it cannot be read.
    std::optional<EntryStatus> status(std::string_view name, std::error_code* error = nullptr) const;
    bool holds(std::string_view name) const { return status(name).has_value(); }

    // Removes entry `name`: a file, or a link itself (its target is never touched); never a directory,
    // never a name holding a separator, "." or "..". A dry run prints "delete PATH" and succeeds.
    std::error_code remove(std::string_view name);

    // Writes new file `name` (fails when it exists; a link there is not followed). A dry run prints
    // "create-file PATH" and succeeds.
    std::error_code createFile(std::string_view name, std::string_view content);

    // Writes the small bookkeeping file `name` whole and durably: a temporary "NAME.new" beside it,
    // flushed, renamed over it, the directory flushed. A crash leaves the old content or the new. A dry
    // run changes nothing and succeeds: bookkeeping is no change it shows.
    std::error_code replaceFile(std::string_view name, std::string_view content);

    // The system's handle (a descriptor on POSIX, a HANDLE on Windows), for the transfer.
    std::intptr_t native() const { return m_native; }

private:
    void open();  // the system's part of the constructor
    void close();
    // The system's parts of remove(), createFile() and replaceFile(), which have checked the name, the
    // handle and the dry run before.
    std::error_code removeEntry(std::string_view name);
    std::error_code writeNewFile(std::string_view name, std::string_view content);
    std::error_code writeReplacement(std::string_view name, std::string_view content);

    std::filesystem::path m_path;
    DirectoryRules m_rules;
    std::intptr_t m_native = -1;
    std::error_code m_error = std::make_error_code(std::errc::bad_file_descriptor);
    DirectoryRefusal m_refusal = DirectoryRefusal::None;
    bool m_isLink = false;
    bool m_read = false;
    std::vector<DirectoryEntry> m_names;
};

// Whether `name` may name an entry of a directory handle: not empty, ".", "..", nor holding a separator.
bool isEntryName(std::string_view name);

// Creates `directory` and its parents; success when it exists as a directory afterwards. A dry run
// prints "create-directory DIR" when it is missing, and succeeds.
std::error_code createDirectories(const std::filesystem::path& directory, DryRunOutput* dryRun = nullptr);

}  // namespace qx
