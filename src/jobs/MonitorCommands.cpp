#include "MonitorCommands.h"

#include "SiblingCommands.h"

namespace qx::sibling {

namespace {

constexpr const char* kQueue = "\\qxt\\qxtque.exe";

}  // namespace

std::string diskAlarm(int alarm, std::string_view voiceFile, std::string_view voiceFolder) {
    return "start qxe.exe qxarun 1" + intParameter(4, alarm) + textParameter(5, voiceFile) +
           textParameter(6, voiceFolder);
}

std::string diskSms(std::string_view number) {
    return "start qxe qxasms 1" + textParameter(2, number) + " -s3qxahdko";
}

std::string diskCall(std::string_view number, std::string_view voiceFile, std::string_view voiceFolder,
                     int retries) {
    return "qxtque.exe postjob 1 dial_s1" + textParameter(1, number) + textParameter(5, voiceFile) +
           textParameter(6, voiceFolder) + intParameter(2, retries);
}

std::string driveAlarm(int alarm) {
    return "qxarun " + std::to_string(alarm) + " 0 0 DriveMonitor";
}

std::string jobAlarm(int alarm) {
    return "qxe qxarun 1" + intParameter(4, alarm);
}

std::string lineWatchdogAlarm(int alarm) {
    return "start \\qxt\\qxe qxarun 1" + intParameter(4, alarm) + " -s8LineWatchDog";
}

std::string lineTestCall(bool testcallModule, std::string_view number, std::string_view extension) {
    return std::string(kQueue) + " postjob 1 " + (testcallModule ? "_testcall" : "_dial_s1") +
           textParameter(1, number) + textParameter(2, extension);
}

std::string lineTestCallOnLine(int line, std::string_view number, std::string_view extension) {
    return std::string(kQueue) + " batchpost " + std::to_string(line) + " _testcall" +
           textParameter(1, number) + textParameter(2, extension);
}

std::string watchdogBoxCall() {
    return std::string(kQueue) + " postjob 1 qxawdcall -i51";
}

std::string watchdogBoxTestCall() {
    return "qxtque.exe postjob 1 qxawdcall -i51";
}

std::string restartSystem() {
    return "shutdown /L /R /Y /C";
}

std::string eventWatchdogAlarm(int alarm) {
    return "start /MIN qxe.exe qxarun 1" + intParameter(4, alarm) + " -s8WatchDogAlarm";
}

std::string webTrigger(std::string_view batch, std::string_view periods) {
    return word(batch) + " webtrigger " + std::string(periods);
}

}  // namespace qx::sibling
