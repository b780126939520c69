#include "JobWatcherThread.h"

#include <exception>

#include "SettingKeys.h"

namespace qx {

JobWatcherThread::JobWatcherThread(Services& services, FileOperations& files)
    : m_services(services), m_files(files) {}

std::chrono::minutes JobWatcherThread::readInterval() {
    return std::chrono::minutes(settingsOf(m_services).integer(keys::kCheckJobIntervalMin));
}

JobDirResult JobWatcherThread::checkSlot(int n, SysTime now) {
    // One look at each profile file for the slot, however many keys it reads: the watcher passes
    // every few minutes for the life of the service.
    Profile::Pass profiles(m_services.profile);
    JobSlotSetting setting = readJobSlot(m_services.profile, n, reportOf(m_services));
    return setting.watched ? CheckJobDir(m_services, m_files, setting.slot, now) : JobDirResult::Clean;
}

JobWatcherThread::Tally JobWatcherThread::checkAll(SysTime now) {
    Tally tally;
    for (int n = 1; n <= 3; ++n) {
        const JobDirResult result = checkSlot(n, now);
        tally.reactions += result == JobDirResult::StaleFound ? 1 : 0;
        tally.failed += result == JobDirResult::ReactionFailed ? 1 : 0;
    }
    return tally;
}

void JobWatcherThread::run(std::stop_token stop) {
    Clock& clock = m_services.clock;
    const std::chrono::minutes interval = readInterval();
    for (;;) {
        for (int n = 1; n <= 3; ++n) {
            bool reacted = false;
            try {
                // A reaction that could not start waits its hour too: the log would otherwise say so
                // at every pass.
                reacted = checkSlot(n, clock.now()) != JobDirResult::Clean;
            } catch (const std::exception& e) {
                m_services.log.write(std::string("JobWatcherThread: ") + e.what());
            }
            if (reacted && !clock.sleepFor(kPauseAfterReaction, stop))
                return;
        }
        if (!clock.sleepFor(interval, stop))
            return;
    }
}

}  // namespace qx
