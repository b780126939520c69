#include "JobWatcherThread.h"

#include <exception>

#include "ActivityLog.h"
#include "Clock.h"
#include "JobRecord.h"
#include "Profile.h"
#include "SettingKeys.h"

namespace qx {

JobWatcherThread::JobWatcherThread(Services& services, FileOperations& files)
    : m_services(services), m_files(files) {}

std::chrono::minutes JobWatcherThread::readInterval() {
    return std::chrono::minutes(settingsOf(m_services).integer(keys::kCheckJobIntervalMin));
}

Result<bool> JobWatcherThread::checkSlot(int n, SysTime now) {
    // One look at each profile file for the slot, however many keys it reads: the watcher passes
    // every few minutes for the life of the service.
    Profile::Pass profiles(m_services.profile);
    const JobSlot slot = readJobSlot(settingsOf(m_services), n);
    if (!slot.watched)
        return false;
    return CheckJobDir(m_services, m_files, slot, now);
}

JobWatcherThread::Tally JobWatcherThread::checkAll(SysTime now) {
    Tally tally;
    for (int n = 1; n <= kJobSlots; ++n)
        tally.add(checkSlot(n, now));
    return tally;
}

void JobWatcherThread::run(std::stop_token stop) {
    Clock& clock = m_services.clock;
    const std::chrono::minutes interval = readInterval();
    for (;;) {
        Tally tally;
        for (int n = 1; n <= kJobSlots; ++n) {
            Result<bool> checked = false;
            try {
                checked = checkSlot(n, clock.now());
            } catch (const std::exception& e) {
                m_services.log.write(std::string("JobWatcherThread: ") + e.what());
            }
            tally.add(checked);
            // A reaction that could not start waits its hour too: the log would otherwise say so at
            // every pass.
            const bool stale = !checked || checked.value();
            if (stale && !clock.sleepFor(kPauseAfterReaction, stop))
                return;
        }
        const int failed = tally.failed.count();
        reportJob(m_services, Job::JobWatcher, clock.now(), tally.reactions == 0 && failed == 0,
                  failed > 0 ? "a job file was not processed in time and the reaction could not start"
                             : "a job file was not processed in time");
        if (!clock.sleepFor(interval, stop))
            return;
    }
}

}  // namespace qx
