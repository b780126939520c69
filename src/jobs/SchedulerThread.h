#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "ActivityLog.h"
#include "Clock.h"
#include "FileOperations.h"
#include "HousekeepingPlan.h"
#include "JobHooks.h"
#include "JobSettings.h"
#include "Services.h"

namespace qx {

// The clock of the service. Every minute it makes sure the on-demand threads run and recomputes the
// due month; at the top of every hour it starts the timed tasks and the disk check, and in hours 0 and
// 1 the daily, weekly and monthly housekeeping and the weekly backup. Settings are read afresh on
// every pass, so changes take effect without a restart.
//
// The weekly, monthly and backup work is owed once per period and kept in the state file beside the
// activity logs (SchedulerState): at start and at every pass, work of the current period that is due
// and not done runs, once, with the weeks and month of its hour, and the activity log says that it was
// caught up. So a restart, a reboot or a clock step over 00:00 or 01:00 loses nothing, and a second
// start in the same minute repeats nothing. Without a state file (a first start) nothing is caught up.
// The catching-up line says why the work was missed: the service was down, or the time jumped over
// its hour while the service ran.
//
// The timed tasks and the disk check of an hour that daylight saving time skips run once at the top
// of the hour after the gap, before that hour's own.
//
// Writes SharedState's log directory, remembered month and due month; reads nothing else of it but
// the started marks. The remembered month follows the calendar outside monthly mode. The previous
// and due week are computed afresh, by the clock timer's formula but without its once-a-day latch,
// which can skip a midnight.
class SchedulerThread {
public:
    // Lets the start-up finish its own work before the first pass.
    static constexpr std::chrono::seconds kStartDelay{2};

    // `hooks` and `files` default to the service's jobs (housekeeping and disk monitor) and the real
    // file operations. Both must outlive the thread.
    explicit SchedulerThread(Services& services, JobHooks* hooks = nullptr, FileOperations* files = nullptr);
    ~SchedulerThread();

    // What happens once at the start: the current month becomes the remembered month; the log
    // directory is read; the state file is read (or, at a first start, written).
    void begin(SysTime now);

    // One round at `now`. The top of an hour (minute 0) is handled once, however often this runs in
    // that minute, and once for the local hour that repeats when daylight saving time ends.
    void pass(SysTime now);

    // begin(), a short wait, then one pass at the start of every minute until stopped. A pass that
    // throws is logged and the next pass comes as usual. A stop ends a move between two files; work
    // that a stop cut short is not recorded as done, so it runs again at the next start. Where the
    // clock skips idle passes, passes come at the top of each hour (each minute while files of a
    // weekly half wait to be filed again).
    void run(std::stop_token stop);

    // When, after a pass at `now`, the next pass can find work as the settings stand: the next top of
    // the hour, or the next minute while files wait to be filed again.
    SysTime due(SysTime now) const;

private:
    void startOnDemandThreads();
    void topOfHour(SysTime now, const MoverContext& context);
    void diskCheck(SysTime now, int hour, const MoverSettings& settings);
    // Why owed work of `hour` was not done in its hour, as the catching-up line tells it.
    std::string whyMissed(SysTime hour, SysTime now) const;
    void loadRecord(SysTime now);
    void owedWork(SysTime now, const MoverSettings& settings);
    // Runs `due`; false when a weekly half could not file all its files (the rest of it is done).
    bool runWork(const DueWork& due, SysTime now, const MoverSettings& settings);
    // Tries the filing of a weekly half again, quietly; true when it is all filed now.
    bool refile(const DueWork& due);

    Services& m_services;
    std::unique_ptr<JobHooks> m_ownHooks;
    std::unique_ptr<FileOperations> m_ownFiles;
    JobHooks& m_hooks;
    FileOperations& m_files;
    long m_lastTopOfHour = -1;  // local date and hour of the last top of the hour handled
    SchedulerState m_stateFile;
    std::optional<SchedulerRecord> m_record;  // read at the first pass
    std::stop_token m_stop;
    // Weekly halves whose files could not all be filed: not done, and filed again at every pass (only
    // the filing: their batches and jobs ran). Their failures were logged at the first try.
    std::vector<DueWork> m_unfiled;
    SharedState m_quietState;
    ActivityLog m_quietLog;
    Services m_quietServices;
    std::optional<SysTime> m_lastPass;  // when the last pass of this run of the service ended
};

}  // namespace qx
