#include "SchedulerThread.h"

#include <exception>

#include "MonthlyMove.h"
#include "OnDemandThreads.h"
#include "PathMap.h"
#include "ProfileNames.h"
#include "ServiceHooks.h"
#include "StatisticMover.h"
#include "TimedTasks.h"
#include "WeeklyBackup.h"
#include "WeeklyMove.h"

namespace qx {

namespace {

constexpr int kMonday = 1;
constexpr int kWeekly = 1;
constexpr int kMonthly = 2;

}  // namespace

SysTime nextMinute(SysTime time) {
    return std::chrono::floor<std::chrono::minutes>(time) + std::chrono::minutes(1);
}

SchedulerThread::SchedulerThread(Services& services, JobHooks* hooks, FileOperations* files)
    : m_services(services),
      m_ownHooks(hooks ? nullptr : std::make_unique<ServiceHooks>(services)),
      m_ownFiles(files ? nullptr : std::make_unique<PosixFileOperations>()),
      m_hooks(hooks ? *hooks : *m_ownHooks),
      m_files(files ? *files : *m_ownFiles) {}

SchedulerThread::~SchedulerThread() = default;

void SchedulerThread::begin(SysTime now) {
    m_services.state.rememberedMonth = toLocal(now).month;
    m_services.state.setLogDirectory(readLogDirectory(m_services.profile));
}

void SchedulerThread::run(std::stop_token stop) {
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
        if (!clock.sleepUntil(nextMinute(clock.now()), stop))
            return;
    }
}

void SchedulerThread::pass(SysTime now) {
    SharedState& state = m_services.state;
    const LocalTime local = toLocal(now);
    // The weeks come from the calendar at every pass, not from the clock timer's once-a-day latch: the
    // latch skips the first midnight after a start later than 01:59 (Monday's move would then empty last
    // week's directory and fill it with this week's files), and at midnight it races this thread.
    MoverContext context = readMoverContext(m_services.profile, now, state.rememberedMonth.load());
    startOnDemandThreads();
    state.dueMonth = context.calendar.dueMonth;
    if (local.minute != 0)
        return;
    // By the local hour, so that the hour repeated when daylight saving time ends runs only once.
    const long hour = ((local.year * 100L + local.month) * 100 + local.day) * 100 + local.hour;
    if (m_lastTopOfHour == hour)
        return;
    m_lastTopOfHour = hour;
    topOfHour(now, context);
}

void SchedulerThread::startOnDemandThreads() {
    Services& s = m_services;
    const Profile& p = s.profile;
    if (p.getInt(ini::kAlarm, ini::kLineWatchDog, "WDogActive", 0) == 1 ||
        p.getInt(ini::kAlarm, ini::kWatchDog, "Active", 0) == 1)
        startOnDemand(s, OnDemand::LineWatchdog);
    if (jobWatcherWanted(p))
        startOnDemand(s, OnDemand::JobWatcher);
    if (p.getInt(ini::kMover, ini::kConfig, "PrintReport", 0) == 1)
        startOnDemand(s, OnDemand::AlarmReport);
}

void SchedulerThread::topOfHour(SysTime now, const MoverContext& context) {
    m_services.state.setLogDirectory(context.logDirectory);
    runTimedTasks(m_services, now, context.calendar);
    diskCheck(now, context.settings);
    if (toLocal(now).hour <= 1)
        housekeeping(now, context);
}

void SchedulerThread::diskCheck(SysTime now, const MoverSettings& settings) {
    int checkHour = settings.hdActive ? settings.checkTime : -1;
    if (checkHour < 0 || checkHour != toLocal(now).hour)
        return;
    std::string drives = asciiUpper(settings.checkDrives);
    for (const char* drive : {"C:", "D:", "E:", "F:"})
        if (drives.find(drive) != std::string::npos)
            m_hooks.checkDrive(drive, now);
    m_hooks.checkAdditionalDrives(now);
}

void SchedulerThread::housekeeping(SysTime now, const MoverContext& context) {
    const MoverSettings& settings = context.settings;
    const LocalTime local = toLocal(now);
    StatisticMover mover(m_services, m_files, m_hooks);
    if (settings.moveConferWavDaily && settings.moveConferWav)
        m_hooks.conferenceRecordings(now);
    if (local.weekday == kMonday && settings.moveMode == kWeekly) {
        if (local.hour == 0)
            weeklyAtMidnight(mover, context);
        else
            weeklyAtOne(mover, context);
    }
    if (local.month != context.calendar.rememberedMonth && settings.moveMode == kMonthly) {
        monthlyMove(mover, context);
        m_services.state.rememberedMonth = local.month;
    }
    if (local.weekday == kMonday && settings.autoBackupActive)
        startBackup(m_services, settings);
}

}  // namespace qx
