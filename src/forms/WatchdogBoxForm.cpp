#include "WatchdogBoxForm.h"

#include "ActivityLog.h"
#include "DialogTexts.h"
#include "Launcher.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileWrites.h"
#include "Prompts.h"
#include "SharedState.h"
#include "StringTable.h"

namespace fs = std::filesystem;

namespace qx {

int intervalIndex(int minutes) {
    for (std::size_t i = 0; i < kWatchdogIntervals.size(); ++i)
        if (kWatchdogIntervals[i] == minutes)
            return static_cast<int>(i);
    return -1;
}

std::string intervalText(const StringTable& strings, int index) {
    if (index < 0 || index >= static_cast<int>(kWatchdogIntervals.size()))
        return {};
    int minutes = kWatchdogIntervals[index];
    if (minutes < 60)
        return strings.format(kTxtMinutes, std::to_string(minutes));
    if (minutes == 60)
        return strings.get(kTxtHour);
    // The list names the box's own day of 1560 minutes "24 hours".
    int hours = index == intervalIndex(1560) ? 24 : minutes / 60;
    return strings.format(kTxtHours, std::to_string(hours));
}

BoxTestCall testWatchdogCall(Services& s, const std::string& number) {
    BoxTestCall result = watchdogBoxTestCall(s, number);
    int reason = result == BoxTestCall::ModuleMissing ? kTxtModuleMissing
                 : result == BoxTestCall::NoNumber    ? kTxtNoPhoneNumber
                 : result == BoxTestCall::StartFailed ? kTxtQueueFailed
                                                      : 0;
    if (reason)
        s.prompts.warn(s.strings.get(reason), s.strings.get(kStrErrorCaption));
    return result;
}

bool openWatchdogLog(Services& s) {
    return s.launcher.start("notepad.exe " + s.state.logDirectory() + ".\\qxawdcall.log", Show::Shown).ok();
}

WatchdogBoxEnabled watchdogBoxEnabled(const WatchdogBoxSettings& w) {
    WatchdogBoxEnabled on;
    on.number = on.interval = w.active;
    on.noAnswerAlarm = w.startAlarmActive;
    on.sendCode = w.sendConfCode;
    on.confCode = on.noCodeAlarm = w.getConfCode;
    on.warning = w.writeWarning;
    return on;
}

bool saveWatchdogBox(Services& s, const WatchdogBoxSettings& settings) {
    std::error_code ec;
    if (!fs::exists(s.paths.native("\\qxt\\qxawdcall.qxe"), ec))
        s.prompts.warn(s.strings.get(kTxtQxtModuleMissing), s.strings.get(kStrErrorCaption));
    return savedOrWarned(writeWatchdogBox(s.profile, settings), s.prompts, s.strings);
}

}  // namespace qx
