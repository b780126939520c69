#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "FileSearch.h"
#include "HousekeepingResult.h"
#include "Services.h"

namespace qx {

// Places that a deleting job must never clear, whatever a profile value says: an empty or mistyped
// directory resolves to one of them all too easily.
enum class DirectoryRefusal { None, FileSystemRoot, InstallationRoot, ProfileDirectory, WorkingDirectory };

// Which protected place `directory` (native) resolves to, links and "." / ".." taken into account;
// None when it is none of them. A directory that does not exist is none of them.
DirectoryRefusal refusalOf(const std::filesystem::path& directory, const PathMap& paths);

// "the file-system root", "the installation root", ...; empty for None.
const char* describe(DirectoryRefusal refusal);

// One directory held open by a handle for the whole of a deletion scan. Entries are read, timed and
// removed relative to the handle, so a directory renamed or swapped for a link meanwhile is never
// followed, and nothing outside the directory can be reached: entry names never hold a '/'. The
// directory itself is not opened through a symbolic link.
class DeletionDirectory {
public:
    // Opens `directory`; see error() for why it could not be opened (ELOOP or ENOTDIR for a link).
    explicit DeletionDirectory(std::filesystem::path directory);
    ~DeletionDirectory();
    DeletionDirectory(const DeletionDirectory&) = delete;
    DeletionDirectory& operator=(const DeletionDirectory&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    std::error_code error() const { return m_error; }
    const std::filesystem::path& path() const { return m_path; }
    int handle() const { return m_fd; }

    // The entries whose names match the Windows wildcard `pattern`, in directory order, each with its
    // own type and last-write time (a link's own, never its target's). The names are read from the
    // directory once, at the first call; entries gone since are left out. Empty when not open. A stop
    // requested through `stop` ends the look at the entries early: what was found so far is returned.
    std::vector<FoundFile> find(std::string_view pattern, std::stop_token stop = {});

    // Whether entry `name` is there now (a link counts as itself); false when not open.
    bool holds(std::string_view name) const;

private:
    struct Name {
        std::string name;
        unsigned char type;  // d_type
    };
    std::filesystem::path m_path;
    int m_fd = -1;
    std::error_code m_error;
    bool m_read = false;
    std::vector<Name> m_names;
};

// The removal step of the deletion jobs, behind one interface so that a dry run goes through the same
// code and only this object decides whether anything is removed.
class Deleter {
public:
    virtual ~Deleter() = default;

    // Removes entry `name` of `directory`: a file, or a symbolic link itself (its target is never
    // touched). Fails for directories and for names holding a '/'.
    virtual std::error_code remove(const DeletionDirectory& directory, std::string_view name);
};

// Prints "delete PATH" for each removal and removes nothing.
class DryRunDeleter : public Deleter {
public:
    explicit DryRunDeleter(std::ostream& out) : m_out(out) {}
    std::error_code remove(const DeletionDirectory& directory, std::string_view name) override;

private:
    std::ostream& m_out;
};

// Opens `directory` (an installation path, as configured) for a deletion job. A refused place (see
// DirectoryRefusal), a directory that is a symbolic link and one that cannot be read are logged under
// their configured name (when WriteLogFile is on), go into `result` as a refused step, and give nullptr;
// a missing directory gives nullptr quietly, as a search that found nothing.
std::unique_ptr<DeletionDirectory> openForDeletion(const Services& services, std::string_view directory,
                                                   HousekeepingResult& result);

// Deletes `name` in `directory` and counts it in `result`. A file gone meanwhile counts for nothing.
// Of the files that cannot be deleted only the first is logged, as "`failure` `shown`: reason" (a
// directory that refuses one file usually refuses them all); the caller logs the count at the end.
void deleteCounted(const Services& services, Deleter& deleter, DeletionDirectory& directory,
                   const std::string& name, std::string_view failure, std::string_view shown,
                   HousekeepingResult& result);

}  // namespace qx
