#include "AlarmReportThread.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "ActivityLog.h"
#include "AlarmReport.h"
#include "Clock.h"
#include "JobRecord.h"
#include "ProfileNames.h"
#include "SettingKeys.h"

namespace qx {

namespace {

constexpr int kMonday = 1;
constexpr int kReportHour = 0;

// Whether `local` (at `now`) is the report hour, or the first hour after a daylight saving gap that
// swallowed it: where the clocks go forward at midnight, that night has no 00:00.
bool reportHour(const LocalTime& local, SysTime now) {
    if (local.hour == kReportHour)
        return true;
    const std::vector<int> skipped = skippedLocalHours(now);
    return std::find(skipped.begin(), skipped.end(), kReportHour) != skipped.end();
}

}  // namespace

AlarmReportThread::AlarmReportThread(Services& services, FileOperations* files)
    : m_services(services),
      m_ownFiles(files ? nullptr : std::make_unique<PosixFileOperations>()),
      m_files(files ? *files : *m_ownFiles) {}

AlarmReportThread::~AlarmReportThread() = default;

SysTime AlarmReportThread::pass(SysTime now) {
    const LocalTime local = toLocal(now);
    if (local.minute != 0)
        return nextMinute(now);
    if (!reportHour(local, now))
        return nextFullHour(now);
    const long date = (local.year * 100L + local.month) * 100 + local.day;
    if (date != m_lastReportDate) {
        m_lastReportDate = date;
        const int type = settingsOf(m_services).integer(keys::kReportType);
        if (type != 0 || local.weekday == kMonday) {
            // A report that fails has said why in the activity log; the next night tries again.
            const Result<> outcome = produceAlarmReport(m_services, m_files, type, now);
            reportJob(m_services, Job::Report, now, outcome.ok(), outcome.reason());
        }
    }
    return nextFullHour(now);
}

void AlarmReportThread::run(std::stop_token stop) {
    Clock& clock = m_services.clock;
    for (;;) {
        SysTime wake;
        try {
            wake = pass(clock.now());
        } catch (const std::exception& e) {
            m_services.log.write(std::string("AlarmReportThread: ") + e.what());
            wake = nextMinute(clock.now());
        } catch (...) {
            m_services.log.write("AlarmReportThread: unknown failure");
            wake = nextMinute(clock.now());
        }
        if (!clock.sleepUntil(wake, stop))
            return;
    }
}

}  // namespace qx
