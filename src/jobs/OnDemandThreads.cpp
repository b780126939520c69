#include "OnDemandThreads.h"

#include <atomic>

#include "AlarmReportThread.h"
#include "FileOperations.h"
#include "JobWatcherThread.h"
#include "LineWatchdogThread.h"
#include "SettingRecords.h"
#include "SharedState.h"
#include "ThreadSet.h"

namespace qx {

namespace {

std::atomic<bool>& markOf(SharedState& state, OnDemand which) {
    switch (which) {
        case OnDemand::LineWatchdog:
            return state.lineWatchdogStarted;
        case OnDemand::JobWatcher:
            return state.jobWatcherStarted;
        case OnDemand::AlarmReport:
            break;
    }
    return state.alarmReportStarted;
}

// The body of each on-demand thread. Each holds its own copy of the bundle (its references), so that
// the caller's bundle may be a temporary.
ThreadSet::Body bodyOf(Services& services, OnDemand which) {
    switch (which) {
        case OnDemand::LineWatchdog:
            return [services](std::stop_token stop) mutable {
                PosixFileOperations files;
                LineWatchdogThread(services, files).run(stop);
            };
        case OnDemand::JobWatcher:
            return [services](std::stop_token stop) mutable {
                PosixFileOperations files;
                JobWatcherThread(services, files).run(stop);
            };
        case OnDemand::AlarmReport:
            break;
    }
    return [services](std::stop_token stop) mutable { AlarmReportThread(services).run(stop); };
}

const char* nameOf(OnDemand which) {
    switch (which) {
        case OnDemand::LineWatchdog:
            return "LineWatchdogThread";
        case OnDemand::JobWatcher:
            return "JobWatcherThread";
        case OnDemand::AlarmReport:
            break;
    }
    return "AlarmReportThread";
}

}  // namespace

bool jobWatcherWanted(const SettingReader& settings) {
    for (int slot = 1; slot <= kJobSlots; ++slot)
        if (readJobSlot(settings, slot).watched)
            return true;
    return false;
}

bool startOnDemand(Services& services, OnDemand which) {
    ThreadSet::Body body = bodyOf(services, which);
    if (!body || !services.threads)
        return false;
    std::atomic<bool>& mark = markOf(services.state, which);
    if (mark.exchange(true))
        return false;
    if (!services.threads->start(nameOf(which), std::move(body), [&mark] { mark = false; })) {
        mark = false;
        return false;
    }
    return true;
}

}  // namespace qx
