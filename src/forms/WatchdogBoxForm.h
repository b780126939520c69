#pragma once

#include <array>
#include <string>

#include "Services.h"
#include "SettingRecords.h"
#include "WatchdogBoxTestCall.h"

namespace qx {

// The write functions below try every key and return the first failure ("Cannot write KEY in
// [SECTION] of FILE: REASON"), empty when every key was written; the caller shows it.

// The settings themselves (WatchdogBoxSettings) and their reader and writer are a record of
// SettingRecords.h, shared with the line watchdog.

// The interval list: the minutes of choice 0 to 23 (choice 19, "24 hours", is 1560 minutes, as the
// watchdog box has always been configured).
inline constexpr std::array<int, 24> kWatchdogIntervals = {10,  20,  30,   40,   50,   60,   120,  180,
                                                           240, 300, 360,  420,  480,  540,  600,  660,
                                                           720, 960, 1200, 1560, 2160, 2880, 3600, 4320};

// The choice that shows `minutes`; -1 for a value that is not in the list.
int intervalIndex(int minutes);

// The text of choice `index`: "10 minutes" .. "50 minutes", "hour", "2 hours" .. "72 hours".
std::string intervalText(const StringTable& strings, int index);

// "Test call" (see watchdogBoxTestCall), with the reason shown when the call was not placed
// (texts 2313, 2314, 2316).
BoxTestCall testWatchdogCall(Services& services, const std::string& number);

// "Logfile": opens qxawdcall.log of the statistic-file directory in the editor, without waiting.
bool openWatchdogLog(Services& services);

// The box's fields that its switches leave usable.
struct WatchdogBoxEnabled {
    bool number = false, interval = false;       // the call itself (Active)
    bool noAnswerAlarm = false;                  // the alarm when nobody answers
    bool sendCode = false;                       // the code sent
    bool confCode = false, noCodeAlarm = false;  // the code expected, and the alarm without it
    bool warning = false;                        // the warning's text
};
WatchdogBoxEnabled watchdogBoxEnabled(const WatchdogBoxSettings& settings);

// OK: warns (text 2315) when \qxt\qxawdcall.qxe is missing, then writes the settings in any case;
// a key that cannot be written is shown with a warning naming it and why, and false is returned.
bool saveWatchdogBox(Services& services, const WatchdogBoxSettings& settings);

}  // namespace qx
