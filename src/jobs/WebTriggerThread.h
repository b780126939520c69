#pragma once

#include <optional>
#include <stop_token>
#include <string>

#include "Clock.h"
#include "Result.h"
#include "Services.h"

namespace qx {

// Runs the web component's batch program once an hour, at minute StartOnMin of [WebTrigger] in
// qxmover.ini, telling it which calendar periods have just begun.
class WebTriggerThread {
public:
    // `batch` is WebTriggerBat as the start-up decision left it. Without `writeBack` (a dry run) a
    // missing StartOnMin is used as 7 but not written.
    WebTriggerThread(Services& services, std::string batch, bool writeBack = true);

    // The minute of the hour at which the trigger fires: StartOnMin, with "7" written when it is
    // missing or negative. 60 and above (or text) would never come: 7 is used and logged.
    int startMinute();

    // Fires when the minute of `now` is the start minute, first for an hour that daylight saving time
    // skipped right before (see skippedLocalHours), then for this one. True when this hour's fired.
    bool pass(SysTime now);

    // Starts the batch with the period arguments of `now` (of `hour` of its day, when given) and logs
    // the outcome ("Successfully started trigger: ..." or "FAILED to started trigger: ..."). Fails,
    // "cannot start COMMAND", when it did not start.
    Result<> fire(SysTime now, std::optional<int> hour = std::nullopt);

    // A pass at the start of every minute until stopped. Waking at the minute's start, not a fixed
    // minute after the last pass, keeps drift from ever skipping the firing minute. Where the clock
    // skips idle passes, only the firing minutes are passed.
    void run(std::stop_token stop);

private:
    Services& m_services;
    std::string m_batch;
    bool m_writeBack;
    SysTime m_due = SysTime::min();  // the next firing minute as the last pass saw the settings
};

// The start of the first minute after `time` whose local minute of the hour is `startMinute` (0..59).
SysTime nextFiringMinute(SysTime time, int startMinute);

// The period arguments at `time`: "y<year> " on 1 January, "m<month> " on the first of a month,
// "w<week> " on a Monday and "d<day> " on any day, each only in hour 0, then always "h<hour>".
std::string webTriggerPeriods(const LocalTime& time);

}  // namespace qx
