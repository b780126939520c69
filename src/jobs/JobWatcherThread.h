#pragma once

#include <chrono>
#include <stop_token>

#include "CheckJobDir.h"
#include "Clock.h"
#include "FileOperations.h"
#include "Result.h"
#include "Services.h"

namespace qx {

// Watches the three job directory slots of [JobDirWatcher]: each pass checks the watched slots in
// order, pausing an hour after a slot whose check started a reaction (so a stalled directory raises
// one alarm an hour, not one per pass), then waits the pass interval.
class JobWatcherThread {
public:
    static constexpr std::chrono::hours kPauseAfterReaction{1};
    static constexpr std::chrono::minutes kDefaultInterval{5};

    // `files` must outlive the thread.
    JobWatcherThread(Services& services, FileOperations& files);

    // The pass interval, read once when the thread starts: CheckJobIntervalMin, where 0 (or a missing
    // key) is written back as "5" and used as 5 minutes. A value outside 1 minute to a week (or text)
    // is used as 5 minutes and logged, so that the thread never spins nor falls silent.
    std::chrono::minutes readInterval();

    // Checks slot `n` (1..3) at `now` if it is watched (clean, false, when it is not); as CheckJobDir().
    Result<bool> checkSlot(int n, SysTime now);

    // What the checks of a pass came to.
    struct Tally {
        int reactions = 0;                 // reactions started
        FailureTally failed{"reactions"};  // stale files found whose reaction could not be started

        // Takes in one slot's check.
        void add(const Result<bool>& checked) {
            if (!checked)
                failed.add(*checked.failure());
            else if (checked.value())
                ++reactions;
        }
    };
    // The three slots at `now` without the pauses; `failed.outcome()` says why the first reaction
    // could not start.
    Tally checkAll(SysTime now);

    // readInterval(), then passes until stopped.
    void run(std::stop_token stop);

private:
    Services& m_services;
    FileOperations& m_files;
};

}  // namespace qx
