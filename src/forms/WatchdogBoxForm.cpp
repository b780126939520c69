#include "WatchdogBoxForm.h"

#include "DialogTexts.h"
#include "ProfileNames.h"
#include "ProfileWrites.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

const char* flag(bool on) {
    return on ? "1" : "0";
}

}  // namespace

WatchdogBoxSettings readWatchdogBox(const Profile& p) {
    const char* f = ini::kAlarm;
    const char* s = ini::kWatchDog;
    WatchdogBoxSettings w;
    w.active = p.getInt(f, s, "Active", 0) != 0;
    w.numberToDial = p.getString(f, s, "NumberToDial", "", 128);
    w.interval = p.getInt(f, s, "Intervall", 60);
    w.startAlarmActive = p.getInt(f, s, "StartAlarmActive", 0) != 0;
    w.startAlarmOnNoAnswer = p.getInt(f, s, "StartAlarmOnNoAnsw", -1);
    w.sendConfCode = p.getInt(f, s, "SendConfCode", 0) != 0;
    w.sendCode = p.getString(f, s, "SendCode", "", 64);
    w.getConfCode = p.getInt(f, s, "GetConfCode", 0) != 0;
    w.confCode = p.getString(f, s, "ConfCode", "", 64);
    w.alarmOnNoConf = p.getInt(f, s, "AlarmOnNoConf", -1);
    w.writeWarning = p.getInt(f, s, "WriteWarningOnNoAnsw", 0) != 0;
    w.warningMessage = p.getString(f, s, "WarningMessage", "", 256);
    return w;
}

std::string writeWatchdogBox(Profile& p, const WatchdogBoxSettings& w) {
    ProfileWrites writes(p);
    const char* f = ini::kAlarm;
    const char* s = ini::kWatchDog;
    writes.writeString(f, s, "Active", flag(w.active));
    writes.writeString(f, s, "NumberToDial", w.numberToDial);
    writes.writeInt(f, s, "Intervall", w.interval);
    writes.writeString(f, s, "StartAlarmActive", flag(w.startAlarmActive));
    if (w.startAlarmOnNoAnswer >= 0)
        writes.writeInt(f, s, "StartAlarmOnNoAnsw", w.startAlarmOnNoAnswer);
    writes.writeString(f, s, "SendConfCode", flag(w.sendConfCode));
    writes.writeString(f, s, "SendCode", w.sendCode);
    writes.writeString(f, s, "GetConfCode", flag(w.getConfCode));
    writes.writeString(f, s, "ConfCode", w.confCode);
    if (w.alarmOnNoConf >= 0)
        writes.writeInt(f, s, "AlarmOnNoConf", w.alarmOnNoConf);
    writes.writeString(f, s, "WriteWarningOnNoAnsw", flag(w.writeWarning));
    writes.writeString(f, s, "WarningMessage", w.warningMessage);
    return writes.failure();
}

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
    return s.launcher.start("notepad.exe " + s.state.logDirectory() + ".\\qxawdcall.log", Show::Shown);
}

bool saveWatchdogBox(Services& s, const WatchdogBoxSettings& settings) {
    std::error_code ec;
    if (!fs::exists(s.paths.native("\\qxt\\qxawdcall.qxe"), ec))
        s.prompts.warn(s.strings.get(kTxtQxtModuleMissing), s.strings.get(kStrErrorCaption));
    return savedOrWarned(writeWatchdogBox(s.profile, settings), s.prompts, s.strings);
}

}  // namespace qx
