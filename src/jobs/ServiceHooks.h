#pragma once

#include <memory>

#include "Clock.h"
#include "DiskMonitor.h"
#include "FileOperations.h"
#include "HousekeepingHooks.h"
#include "Services.h"

namespace qx {

// Every job the scheduler and the weekly move call out to, as the service runs them: the housekeeping
// jobs and the disk monitor. Settings are read afresh at each call, like every other job of the
// scheduler.
class ServiceHooks : public HousekeepingHooks {
public:
    // With the real file operations and deleter, and `query` in place of the platform's disk space
    // query when given (a rehearsal with drives that fill up).
    explicit ServiceHooks(Services& services, DiskMonitor::SpaceQuery query = {});
    // With `files` and `deleter` (a dry run's, together with `writeBack` false, so that no missing
    // default is written into a profile) and `query` in place of the platform's disk space query
    // (tests). All must outlive this object.
    ServiceHooks(Services& services, FileOperations& files, Deleter& deleter,
                 DiskMonitor::SpaceQuery query = {}, bool writeBack = true);
    ~ServiceHooks() override;

    // The free-space check of one drive with the disk monitor's settings as saved now.
    void checkDrive(std::string_view drive, SysTime now) override;
    // The used-space check of the further drives. It ends a disk check, whose outcome it reports to
    // the job record: failed when a drive was low or a reaction could not be started.
    void checkAdditionalDrives(SysTime now) override;

    DiskMonitor& diskMonitor() { return m_diskMonitor; }

private:
    Services& m_services;
    std::unique_ptr<FileOperations> m_ownFiles;
    DiskMonitor m_diskMonitor;
    std::string m_lowDrives;  // of the disk check under way
    int m_reactionsFailedBefore = 0;
};

}  // namespace qx
