#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string_view>

#include "Clock.h"
#include "Services.h"
#include "qxclass/CDatabase.h"

namespace qx {

// The two numbers a watchdog alarm carries in T33 behind its marker "QXAWDOG ": the event window and
// the repeat pause, both in minutes.
struct WatchdogMarker {
    int windowMinutes = 0;
    int pauseMinutes = 0;
};

// Reads T33 of a watchdog alarm: nullopt when it does not contain "QXAWDOG ". The window is the run of
// up to 20 digits from position 8, then one separator character of any kind, then the pause.
std::optional<WatchdogMarker> parseWatchdogMarker(std::string_view t33);

// Starts each watchdog alarm of [Config] ActiveWdogAlarms (qxawdog.ini) whose last event ([QxaWDog] of
// qxawdog.ini, seconds since 1970 as 8 hexadecimal digits) lies further back than its window, unless
// the alarm itself was started ([LastAlarm] of qxalog.ini) within its repeat pause. No alarm is
// checked before its window has passed since the thread started. At every pass the list keeps only
// the items that still carry the marker (and is written only when that changes it), so alarms that
// lost it drop out. The list is read whole (up to every alarm number once); a longer one is watched up
// to its last whole item, told once, and never rewritten, so that no item is lost by a cut.
//
// The minutes of the log line are those since the last event, or, for an alarm without a stored
// event, those since the watchdog was made (the service's start).
class EventWatchdogThread {
public:
    static constexpr std::chrono::milliseconds kPassLength{60'000};

    // The alarm table's path is taken from Vm001Path of qxaconf.ini now, once; the clock's time now is
    // the start from which the minutes without any stored event count.
    explicit EventWatchdogThread(Services& services);

    // One pass at `now`. Returns the number of alarms started.
    int pass(SysTime now);

    // The time of the first pass after the last one that can start an alarm, foretold from the list,
    // the markers and the stored times that pass read (SysTime::max() when nothing is watched). An
    // event or an alarm recorded later by the alarm server only puts that time off; a pass that
    // started an alarm, rewrote the list or could not open the table foretells the next pass.
    SysTime due() const { return m_due; }

    // Counts `passes` passes' minutes for the grace after start; stops counting one past the largest
    // window.
    void minutePassed(long long passes = 1);

    // Passes once a minute until stopped.
    void run(std::stop_token stop);

private:
    long long minutesWatched(SysTime now) const;

    Services& m_services;
    std::filesystem::path m_tablePath;
    SysTime m_started;
    std::unique_ptr<CDatabase> m_table;  // made on first use, kept for the thread's life
    int m_elapsedMinutes = 0;
    int m_largestWindow = 0;
    SysTime m_due = SysTime::min();
};

}  // namespace qx
