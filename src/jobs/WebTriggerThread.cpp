#include "WebTriggerThread.h"

#include <exception>

#include "ActivityLog.h"
#include "Clock.h"
#include "JobRecord.h"
#include "Launcher.h"
#include "MonitorCommands.h"
#include "ProfileNames.h"
#include "SettingKeys.h"
#include "WeekCalendar.h"

namespace qx {

namespace {

constexpr int kMonday = 1;

}  // namespace

std::string webTriggerPeriods(const LocalTime& t) {
    std::string periods;
    if (t.hour == 0) {
        if (t.yearDay == 1)
            periods += "y" + std::to_string(t.year) + " ";
        if (t.day == 1)
            periods += "m" + std::to_string(t.month) + " ";
        if (t.weekday == kMonday)
            periods += "w" + std::to_string(weekNumber(t).week) + " ";
        periods += "d" + std::to_string(t.day) + " ";
    }
    return periods + "h" + std::to_string(t.hour);
}

WebTriggerThread::WebTriggerThread(Services& services, std::string batch, bool writeBack)
    : m_services(services), m_batch(std::move(batch)), m_writeBack(writeBack) {}

int WebTriggerThread::startMinute() {
    return settingsOf(m_services, m_writeBack).integer(keys::kStartOnMin);
}

SysTime nextFiringMinute(SysTime time, int startMinute) {
    const SysTime minute = std::chrono::floor<std::chrono::minutes>(time);
    const int ahead = (startMinute - toLocal(minute).minute + 60) % 60;
    const SysTime firing = minute + std::chrono::minutes(ahead == 0 ? 60 : ahead);
    // A zone whose clocks change by half an hour shifts the minutes: then look again each minute.
    return toLocal(firing).minute == startMinute ? firing : nextMinute(time);
}

bool WebTriggerThread::pass(SysTime now) {
    const int start = startMinute();
    m_due = nextFiringMinute(now, start);
    if (toLocal(now).minute != start)
        return false;
    // An hour skipped by daylight saving time fires now, first: where the change comes at midnight,
    // that hour carries the day, week, month and year.
    // Each start is logged and recorded by itself.
    for (int hour : skippedLocalHours(now))
        (void)fire(now, hour);
    return fire(now).ok();
}

Result<> WebTriggerThread::fire(SysTime now, std::optional<int> hour) {
    LocalTime local = toLocal(now);
    if (hour)
        local.hour = *hour;
    const std::string command = sibling::webTrigger(m_batch, webTriggerPeriods(local));
    const Result<> started = m_services.launcher.start(command, Show::Hidden);
    m_services.log.note((started ? "Successfully started trigger: " : "FAILED to started trigger: ") +
                        command);
    reportJob(m_services, Job::WebTrigger, now, started.ok(), "cannot start " + command);
    if (!started)
        return Failure("cannot start " + command + ": " + started.reason(), started.number());
    return {};
}

void WebTriggerThread::run(std::stop_token stop) {
    Clock& clock = m_services.clock;
    for (;;) {
        try {
            pass(clock.now());
        } catch (const std::exception& e) {
            m_services.log.write(std::string("WebTriggerThread: ") + e.what());
        }
        if (!clock.sleepUntilDue(nextMinute(clock.now()), m_due, stop))
            return;
    }
}

}  // namespace qx
