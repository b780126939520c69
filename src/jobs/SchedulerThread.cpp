#include "SchedulerThread.h"

#include <algorithm>
#include <exception>

#include "ActivityLog.h"
#include "Clock.h"
#include "JobRecord.h"
#include "Launcher.h"
#include "MonthlyMove.h"
#include "OnDemandThreads.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "Prompts.h"
#include "ServiceHooks.h"
#include "SettingKeys.h"
#include "SharedState.h"
#include "StatisticMover.h"
#include "StringTable.h"
#include "TimedTasks.h"
#include "WeeklyBackup.h"
#include "WeeklyMove.h"

namespace qx {

namespace {

constexpr int kWeekly = 1;
constexpr int kMonthly = 2;

}  // namespace

SchedulerThread::SchedulerThread(Services& services, JobHooks* hooks, FileOperations* files)
    : m_services(services),
      m_ownHooks(hooks ? nullptr : std::make_unique<ServiceHooks>(services)),
      m_ownFiles(files ? nullptr : std::make_unique<PosixFileOperations>()),
      m_hooks(hooks ? *hooks : *m_ownHooks),
      m_files(files ? *files : *m_ownFiles),
      m_stateFile(schedulerStateFile(services.log.fileFor(services.clock.now()).parent_path())),
      m_quietLog(services.clock, m_quietState, m_stateFile.file().parent_path()),
      m_quietServices{services.paths,   services.profile, services.clock, services.state,   services.launcher,
                      services.prompts, services.strings, m_quietLog,     services.threads, services.stop} {
    m_quietState.writeLogFile = false;
}

SchedulerThread::~SchedulerThread() = default;

void SchedulerThread::begin(SysTime now) {
    m_services.state.rememberedMonth = toLocal(now).month;
    m_services.state.setLogDirectory(readLogDirectory(settingsOf(m_services)));
    loadRecord(now);
}

void SchedulerThread::loadRecord(SysTime now) {
    bool unreadable = false;
    m_record = m_stateFile.load(&unreadable);
    if (m_record)
        return;
    // Without a record of what was done, catching up could repeat it: start from now.
    if (unreadable)
        m_services.log.write("Cannot read " + m_services.paths.configured(m_stateFile.file()) +
                             "; nothing is caught up");
    m_record = firstStartRecord(now);
    if (!m_stateFile.save(*m_record))
        m_services.log.write("Cannot write " + m_services.paths.configured(m_stateFile.file()));
}

void SchedulerThread::run(std::stop_token stop) {
    m_stop = stop;
    Clock& clock = m_services.clock;
    begin(clock.now());
    if (!clock.sleepFor(kStartDelay, stop))
        return;
    for (;;) {
        try {
            pass(clock.now());
        } catch (const std::exception& e) {
            m_services.log.write(std::string("SchedulerThread: ") + e.what());
        } catch (...) {
            m_services.log.write("SchedulerThread: unknown failure");
        }
        if (!clock.sleepUntilDue(nextMinute(clock.now()), due(clock.now()), stop))
            return;
    }
}

void SchedulerThread::pass(SysTime now) {
    SharedState& state = m_services.state;
    const LocalTime local = toLocal(now);
    // One look at each profile file for the whole pass, however many keys it reads.
    Profile::Pass profiles(m_services.profile);
    // The weeks come from the calendar at every pass, not from the clock timer's once-a-day latch: the
    // latch skips the first midnight after a start later than 01:59 (Monday's move would then empty last
    // week's directory and fill it with this week's files), and at midnight it races this thread.
    if (!m_record)
        loadRecord(now);
    MoverContext context =
        readMoverContext(m_services.profile, now, state.rememberedMonth.load(), reportOf(m_services));
    // Outside monthly mode the remembered month follows the calendar, so that a switch to monthly
    // mode hands on the month that has just ended, not the one in which weekly mode began.
    if (context.settings.moveMode != kMonthly && context.calendar.rememberedMonth != local.month) {
        state.rememberedMonth = local.month;
        context.calendar = calendarAt(now, context.settings.waitBeforeDel, local.month);
    }
    startOnDemandThreads();
    state.dueMonth = context.calendar.dueMonth;
    // By the local hour, so that the hour repeated when daylight saving time ends runs only once.
    const long hour = ((local.year * 100L + local.month) * 100 + local.day) * 100 + local.hour;
    if (local.minute == 0 && m_lastTopOfHour != hour) {
        m_lastTopOfHour = hour;
        topOfHour(now, context);
    }
    owedWork(now, context.settings);
    // When the pass ended, so that a long job of this pass does not pass for a jump of the clock.
    m_lastPass = std::max(now, m_services.clock.now());
}

SysTime SchedulerThread::due(SysTime now) const {
    // Every piece of work hangs on the top of an hour, but for files a weekly half could not file.
    return m_unfiled.empty() ? nextFullHour(now) : nextMinute(now);
}

void SchedulerThread::startOnDemandThreads() {
    Services& s = m_services;
    const SettingReader settings = settingsOf(s);
    if (settings.integer(keys::kLineChecksActive) == 1 || settings.integer(keys::kBoxCallsActive) == 1)
        startOnDemand(s, OnDemand::LineWatchdog);
    if (jobWatcherWanted(settings))
        startOnDemand(s, OnDemand::JobWatcher);
    if (settings.integer(keys::kPrintReport) == 1)
        startOnDemand(s, OnDemand::AlarmReport);
}

void SchedulerThread::topOfHour(SysTime now, const MoverContext& context) {
    m_services.state.setLogDirectory(context.logDirectory);
    // The work of an hour that daylight saving time skipped runs now, once, before this hour's.
    // A task that could not start is logged and recorded by runTimedTasks(); the hour goes on.
    for (int skipped : skippedLocalHours(now)) {
        (void)runTimedTasks(m_services, now, context.calendar, skipped);
        diskCheck(now, skipped, context.settings);
    }
    (void)runTimedTasks(m_services, now, context.calendar);
    diskCheck(now, toLocal(now).hour, context.settings);
    // The daily conference recordings job runs at 00:00 and again at 01:00; the rest of the
    // housekeeping of these hours is owed once per period (owedWork()).
    const MoverSettings& settings = context.settings;
    if (toLocal(now).hour <= 1 && settings.moveConferWavDaily && settings.moveConferWav)
        m_hooks.conferenceRecordings(now);
}

void SchedulerThread::diskCheck(SysTime now, int hour, const MoverSettings& settings) {
    int checkHour = settings.hdActive ? settings.checkTime : -1;
    if (checkHour < 0 || checkHour != hour)
        return;
    std::string drives = asciiUpper(settings.checkDrives);
    for (const char* drive : {"C:", "D:", "E:", "F:"})
        if (drives.find(drive) != std::string::npos)
            m_hooks.checkDrive(drive, now);
    m_hooks.checkAdditionalDrives(now);
}

void SchedulerThread::owedWork(SysTime now, const MoverSettings& settings) {
    const SchedulerRecord before = *m_record;
    markNotWanted(*m_record, now, settings);
    const std::vector<DueWork> owed = dueWork(*m_record, now);
    // A week that has gone by takes its unfiled files with the next week's move.
    std::erase_if(m_unfiled, [&](const DueWork& unfiled) {
        return std::none_of(owed.begin(), owed.end(), [&](const DueWork& due) {
            return due.work == unfiled.work && due.hour == unfiled.hour;
        });
    });
    for (const DueWork& due : owed) {
        if (m_stop.stop_requested())
            break;
        const auto unfiled = std::find_if(m_unfiled.begin(), m_unfiled.end(), [&](const DueWork& u) {
            return u.work == due.work && u.hour == due.hour;
        });
        const bool retry = unfiled != m_unfiled.end();
        if (!retry && now - due.hour >= std::chrono::minutes(1))
            m_services.log.note("Catching up " + describe(due.work, due.hour) + ", " +
                                whyMissed(due.hour, now));
        const bool filed = retry ? refile(due) : runWork(due, now, settings);
        // Cut short by a stop: it runs again at the next start (what it did already stays done).
        if (m_stop.stop_requested())
            break;
        // The week is done only when its files are filed.
        if (!filed) {
            if (!retry) {
                m_unfiled.push_back(due);
                m_services.log.note("Not every file of " + describe(due.work, due.hour) +
                                    " could be filed; it is tried again at every pass");
            }
            continue;
        }
        if (retry) {
            m_unfiled.erase(unfiled);
            m_services.log.note("Filed now what " + describe(due.work, due.hour) + " could not file");
        }
        markDone(*m_record, due.work, due.hour);
        if (!m_stateFile.save(*m_record))
            m_services.log.write("Cannot write " + m_services.paths.configured(m_stateFile.file()));
    }
    if (*m_record != before && !m_stateFile.save(*m_record))
        m_services.log.write("Cannot write " + m_services.paths.configured(m_stateFile.file()));
}

std::string SchedulerThread::whyMissed(SysTime hour, SysTime now) const {
    // Its hour passed after one pass of a running service had ended and before the next began: the
    // clock was set forward over it, or the machine slept through it.
    if (m_lastPass && *m_lastPass < hour)
        return "missed because the time jumped from " + formatLocalTime(*m_lastPass) + " to " +
               formatLocalTime(now) + " while the service was running (clock set forward or machine asleep)";
    return "missed while the service was down";
}

bool SchedulerThread::refile(const DueWork& due) {
    StatisticMover quiet(m_quietServices, m_files, m_hooks, m_stop);
    return refileWeek(quiet,
                      readMoverContext(m_services.profile, due.hour, m_services.state.rememberedMonth.load()),
                      due.work == Housework::WeekMidnight)
        .ok();
}

bool SchedulerThread::runWork(const DueWork& due, SysTime now, const MoverSettings& settings) {
    SharedState& state = m_services.state;
    StatisticMover mover(m_services, m_files, m_hooks, m_stop);
    // What the weekly and monthly work did, for the job record; the activity log has each file.
    auto record = [&](Job job, const Result<>& result) {
        reportJob(m_services, job, now, result.ok(), result.reason(), mover.moved(), mover.deleted());
    };
    bool filed = true;
    switch (due.work) {
        case Housework::WeekMidnight: {
            const Result<> done = mondayMidnight(
                mover, readMoverContext(m_services.profile, due.hour, state.rememberedMonth.load()), &filed);
            // Outside weekly mode this is the housekeeping alone, which reports itself.
            if (settings.moveMode == kWeekly)
                record(Job::WeeklyWork, done);
            return filed;
        }
        case Housework::WeekOne: {
            const Result<> done = weeklyAtOne(
                mover, readMoverContext(m_services.profile, due.hour, state.rememberedMonth.load()), &filed);
            record(Job::WeeklyWork, done);
            return filed;
        }
        case Housework::Month: {
            // The month that ended when this one began, whatever was remembered before a restart.
            const LocalTime begun = toLocal(due.hour);
            const int ended = begun.month == 1 ? 12 : begun.month - 1;
            const Result<> done = monthlyMove(mover, readMoverContext(m_services.profile, due.hour, ended));
            state.rememberedMonth = toLocal(now).month;
            record(Job::MonthlyWork, done);
            return true;
        }
        case Housework::Backup: {
            const Result<> started = startBackup(m_services, settings);
            reportJob(m_services, Job::Backup, now, started.ok(), started.reason());
            return true;
        }
    }
    return true;
}

}  // namespace qx
