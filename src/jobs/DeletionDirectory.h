#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "DirectoryHandle.h"
#include "HousekeepingResult.h"
#include "Services.h"

namespace qx {

// The removal step of the deletion jobs, behind one interface so that a test can step in between. A
// dry run is the directory handle's: a Deleter made with a DryRunOutput opens its directories with
// that switch, and their removals print instead.
class Deleter {
public:
    explicit Deleter(DryRunOutput* dryRun = nullptr) : m_dryRun(dryRun) {}
    virtual ~Deleter() = default;

    // Removes entry `name` of `directory`: a file, or a symbolic link itself (its target is never
    // touched). Fails for directories and for names holding a separator.
    virtual std::error_code remove(DirectoryHandle& directory, std::string_view name) {
        return directory.remove(name);
    }

    DryRunOutput* dryRun() const { return m_dryRun; }

private:
    DryRunOutput* m_dryRun;
};

// Prints "delete PATH" for each removal and removes nothing.
class DryRunDeleter : public Deleter {
public:
    explicit DryRunDeleter(std::ostream& out) : Deleter(&m_output), m_output(out) {}

private:
    DryRunOutput m_output;
};

// Opens `directory` (an installation path, as configured) for a deletion job, refusing the protected
// places (see DirectoryRefusal); with `dryRun`, removals through it print instead. A refused place, a
// directory that is a symbolic link and one that cannot be read are logged under their configured name
// (when WriteLogFile is on), go into `result` as a refused step, and give nullptr; a missing directory
// gives nullptr quietly, as a search that found nothing.
std::unique_ptr<DirectoryHandle> openForDeletion(const Services& services, std::string_view directory,
                                                 HousekeepingResult& result, DryRunOutput* dryRun = nullptr);

// Deletes `name` in `directory` and counts it in `result`. A file gone meanwhile counts for nothing.
// Of the files that cannot be deleted only the first is logged, as "`failure` `shown`: reason" (a
// directory that refuses one file usually refuses them all); the caller logs the count at the end.
void deleteCounted(const Services& services, Deleter& deleter, DirectoryHandle& directory,
                   const std::string& name, std::string_view failure, std::string_view shown,
                   HousekeepingResult& result);

}  // namespace qx
