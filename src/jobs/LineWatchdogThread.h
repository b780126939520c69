#pragma once

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>

#include "Clock.h"
#include "FileOperations.h"
#include "LineWatchdogCounters.h"
#include "Services.h"

namespace qx {

// Proves that the alarm server's telephone lines work, in ten-minute passes ([LineWatchDog] of
// qxalarm.ini): at the times of its schedule it has the job queue place a test call; a counter is
// raised at every pass and lowered from outside when the call arrives. When the counter reaches its
// limit, the failure is recorded, the alarm started, the warning file written and the computer
// restarted as configured. Its second duty, the watchdog box ([WatchDog]), posts a call to an external
// watchdog device every Intervall minutes.
//
// The thread ends by itself when a pass finds both WDogActive and Active at 0; the scheduler starts it
// again when either is turned on.
class LineWatchdogThread {
public:
    static constexpr std::chrono::milliseconds kPassLength{599'000};
    static constexpr std::chrono::milliseconds kPauseAfterCall{10'000};
    // A box call only posts a job; a queue program that hangs is not waited for longer than this, so
    // that the box duty never holds the line checks.
    static constexpr std::chrono::seconds kBoxCallLimit{60};

    // `files` writes the warning files; it must outlive the thread.
    LineWatchdogThread(Services& services, FileOperations& files);

    // The thread's start: the hour counter from DeltaHours, CheckCounter = 0, "WatchDog thread
    // started", the box counter from Intervall / 10.
    void begin();

    // One pass at the clock's time. The pauses after posted calls sleep on the clock (and end early on
    // `stop`). False when both switches are off, the end of the thread.
    bool pass(std::stop_token stop = {});

    // What is left of the pass after the pauses it slept: 599,000 ms less the time slept.
    std::chrono::milliseconds restOfPass() const { return kPassLength - m_slept; }

    // begin(), then passes until both switches are off ("Stop WatchDog thread both not active
    // anymore") or a stop is requested.
    void run(std::stop_token stop);

private:
    bool callDue(int minute, int deltaHours, int minuteInterval);
    // The counter check of the single-server mode; why it failed, or empty.
    std::string singleCounterCheck(int limit, SysTime now);
    void writeLineWarning();
    void boxDuty();

    Services& m_services;
    FileOperations& m_files;
    ServerCallbackCheck m_servers;
    int m_hourCounter = 0;
    int m_boxCounter = 0;
    std::chrono::milliseconds m_slept{0};
};

}  // namespace qx
