#pragma once

#include <memory>

#include "DeletionDirectory.h"
#include "FileOperations.h"
#include "JobHooks.h"
#include "Services.h"

namespace qx {

// The housekeeping jobs behind the scheduler's and the weekly move's hooks: the conference recordings,
// the old alarm recordings and the user's extra deletion rules.
class HousekeepingHooks : public JobHooks {
public:
    // With the real file operations and deleter.
    explicit HousekeepingHooks(Services& services);
    // With `files` and `deleter` (a dry run's, for example); both must outlive this object.
    HousekeepingHooks(Services& services, FileOperations& files, Deleter& deleter);
    ~HousekeepingHooks() override;

    void conferenceRecordings(SysTime now) override;
    void alarmRecordings(SysTime now) override;
    void extraDeletion(SysTime now) override;

private:
    Services& m_services;
    std::unique_ptr<FileOperations> m_ownFiles;
    std::unique_ptr<Deleter> m_ownDeleter;
    FileOperations& m_files;
    Deleter& m_deleter;
};

}  // namespace qx
