#include "JobWatcherThread.h"

#include <exception>

#include "LoggedProfileWrite.h"
#include "ProfileNames.h"

namespace qx {

JobWatcherThread::JobWatcherThread(Services& services, FileOperations& files)
    : m_services(services), m_files(files) {}

std::chrono::minutes JobWatcherThread::readInterval() {
    Profile& p = m_services.profile;
    int minutes = p.getInt(ini::kMover, ini::kJobDirWatcher, "CheckJobIntervalMin", 0);
    if (minutes == 0)
        writeProfileLogged(p, m_services.log, ini::kMover, ini::kJobDirWatcher, "CheckJobIntervalMin", "5");
    return minutes > 0 ? std::chrono::minutes(minutes) : kDefaultInterval;
}

bool JobWatcherThread::checkSlot(int n, SysTime now) {
    JobSlotSetting setting = readJobSlot(m_services.profile, n);
    return setting.watched && CheckJobDir(m_services, m_files, setting.slot, now) == JobDirResult::StaleFound;
}

int JobWatcherThread::checkAll(SysTime now) {
    int reactions = 0;
    for (int n = 1; n <= 3; ++n)
        reactions += checkSlot(n, now) ? 1 : 0;
    return reactions;
}

void JobWatcherThread::run(std::stop_token stop) {
    Clock& clock = m_services.clock;
    const std::chrono::minutes interval = readInterval();
    for (;;) {
        for (int n = 1; n <= 3; ++n) {
            bool reacted = false;
            try {
                reacted = checkSlot(n, clock.now());
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
