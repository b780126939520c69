#include "AlarmReportThread.h"

#include <exception>

#include "AlarmReport.h"
#include "ProfileNames.h"

namespace qx {

namespace {

constexpr int kMonday = 1;

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
    if (local.hour != 0)
        return nextFullHour(now);
    const long date = (local.year * 100L + local.month) * 100 + local.day;
    if (date != m_lastReportDate) {
        m_lastReportDate = date;
        const int type = m_services.profile.getInt(ini::kMover, ini::kAlarmReport, "ReportType", 0);
        if (type != 0 || local.weekday == kMonday)
            produceAlarmReport(m_services, m_files, type, now);
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
