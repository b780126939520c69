#pragma once

#include <memory>

#include "Clock.h"
#include "DeletionDirectory.h"
#include "FileOperations.h"
#include "JobHooks.h"
#include "JobSettings.h"
#include "Services.h"
#include "StatisticMover.h"

namespace qx {

// The housekeeping jobs behind the scheduler's and the weekly move's hooks: the conference recordings,
// the old alarm recordings and the user's extra deletion rules. Each job writes what it did and what
// failed to the activity log; a stop requested through the services' stop token ends it between two
// files.
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

// Whether the settings ask for housekeeping on Monday at 00:00 besides the move: the conference job
// when it does not run daily, the alarm recordings, the extra deletion.
bool wantsMondayHousekeeping(const MoverSettings& settings);

// The Monday 00:00 work, whatever the move mode: in weekly mode the 00:00 half of the weekly move
// (which runs the housekeeping jobs as their settings ask); in monthly and "no move" mode those jobs
// alone, so that the recordings and the files of the deletion rules never pile up there. Fails when a
// file could not be moved; `filed` as weeklyAtMidnight() sets it.
Result<> mondayMidnight(StatisticMover& mover, const MoverContext& context, bool* filed = nullptr);

}  // namespace qx
