#pragma once

#include <string>
#include <string_view>

namespace qx::sibling {

// The command lines of the monitors: alarms, calls and SMS handed to the script engine and the
// telephony job queue, each built from its fixed format. Numbers, texts and paths taken from profile
// files become single words (see word()), so a value such as "1; touch x" stays one argument of the
// sibling program and can never start anything else.

// "start qxe.exe qxarun 1 -i4<alarm> -s5<voiceFile> -s6<voiceFolder>": the alarm of a drive low on space.
std::string diskAlarm(int alarm, std::string_view voiceFile, std::string_view voiceFolder);
// "start qxe qxasms 1 -s2<number> -s3qxahdko": the SMS whose text lies in qxahdko.msg.
std::string diskSms(std::string_view number);
// "qxtque.exe postjob 1 dial_s1 -s1<number> -s5<voiceFile> -s6<voiceFolder> -i2<retries>": the call
// about a drive low on space.
std::string diskCall(std::string_view number, std::string_view voiceFile, std::string_view voiceFolder,
                     int retries);
// "qxarun <alarm> 0 0 DriveMonitor": the alarm of a further drive that is too full.
std::string driveAlarm(int alarm);

// "qxe qxarun 1 -i4<alarm>": the alarm about stale job files.
std::string jobAlarm(int alarm);

// "start \qxt\qxe qxarun 1 -i4<alarm> -s8LineWatchDog": the alarm of a failed line check.
std::string lineWatchdogAlarm(int alarm);
// "\qxt\qxtque.exe postjob 1 <job> -s1<number> -s2<extension>" with job "_testcall" when the test-call
// module is installed, else "_dial_s1": one queued test call.
std::string lineTestCall(bool testcallModule, std::string_view number, std::string_view extension);
// "\qxt\qxtque.exe batchpost <line> _testcall -s1<number> -s2<extension>": a test call on one line.
std::string lineTestCallOnLine(int line, std::string_view number, std::string_view extension);
// "\qxt\qxtque.exe postjob 1 qxawdcall -i51": the periodic call to the watchdog box.
std::string watchdogBoxCall();
// "qxtque.exe postjob 1 qxawdcall -i51": the watchdog box call of the settings dialog's test button.
std::string watchdogBoxTestCall();
// "shutdown /L /R /Y /C": the restart after a failed line check.
std::string restartSystem();

// "start /MIN qxe.exe qxarun 1 -i4<alarm> -s8WatchDogAlarm": a watchdog alarm that missed its event.
std::string eventWatchdogAlarm(int alarm);

// "<batch> webtrigger <periods>": the web component's batch with the period arguments ("y2029 m1 w2
// d1 h0", or "h13" alone).
std::string webTrigger(std::string_view batch, std::string_view periods);

}  // namespace qx::sibling
