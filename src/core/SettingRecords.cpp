#include "SettingRecords.h"

#include <algorithm>

#include "Profile.h"

namespace qx {

TimedTask readTimedTask(const SettingReader& settings, int number) {
    TimedTask task;
    task.number = number;
    task.program = settings.text(keys::kTaskProgram, number);
    task.day = settings.integer(keys::kTaskDay, number);
    task.hour = settings.integer(keys::kTaskTime, number);
    task.type = settings.integer(keys::kTaskType, number);
    task.weekParameter = settings.integer(keys::kTaskWeekParameter, number) == 1;
    return task;
}

std::string writeTimedTask(Profile& profile, int number, const TimedTask& task) {
    SettingWriter writer(profile);
    writer.text(keys::kTaskProgram, number, task.program);
    if (task.type == 0)
        writer.flag(keys::kTaskWeekParameter, number, task.weekParameter);
    writer.integer(keys::kTaskDay, number, task.day);
    writer.integer(keys::kTaskTime, number, task.hour);
    writer.integer(keys::kTaskType, number, task.type);
    return writer.failure();
}

TaskParameters readTaskParameters(const SettingReader& settings, int number) {
    TaskParameters p;
    for (int k = 1; k <= 9; ++k) {
        p.texts[k - 1] = settings.text(keys::kTaskParameterText, k, number);
        p.numbers[k - 1] = settings.integer(keys::kTaskParameterNumber, k, number);
    }
    return p;
}

std::string writeTaskParameters(Profile& profile, int number, const TaskParameters& p) {
    SettingWriter writer(profile);
    for (int k = 1; k <= 9; ++k) {
        writer.text(keys::kTaskParameterText, k, p.texts[k - 1], number);
        writer.integer(keys::kTaskParameterNumber, k, p.numbers[k - 1], number);
    }
    return writer.failure();
}

DeletionRule readDeletionRule(const SettingReader& settings, int number) {
    DeletionRule rule;
    rule.directory = settings.text(keys::kDeletePath, number);
    rule.extension = settings.text(keys::kDeleteExtension, number);
    rule.weeks = std::max(1, settings.integer(keys::kDeleteWeeks, number));
    return rule;
}

std::string writeDeletionRule(Profile& profile, int number, const DeletionRule& rule) {
    SettingWriter writer(profile);
    writer.text(keys::kDeletePath, number, rule.directory);
    writer.text(keys::kDeleteExtension, number, rule.extension);
    writer.integer(keys::kDeleteWeeks, number, rule.weeks);
    return writer.failure();
}

std::vector<std::string> patternsOf(const DeletionRule& rule) {
    std::vector<std::string> patterns;
    std::string_view list = rule.extension;
    while (!list.empty()) {
        const std::size_t end = list.find(';');
        std::string_view part = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        while (!part.empty() && (part.front() == ' ' || part.front() == '\t'))
            part.remove_prefix(1);
        while (!part.empty() && (part.back() == ' ' || part.back() == '\t'))
            part.remove_suffix(1);
        if (!part.empty())
            patterns.emplace_back(part);
    }
    return patterns;
}

MonitoredDrive readMonitoredDrive(const SettingReader& settings, int number) {
    MonitoredDrive drive;
    drive.drive = settings.text(keys::kDrive, number);
    drive.percent = settings.integer(keys::kDriveSpace, number);
    drive.alarm = settings.text(keys::kDriveAlarm, number);
    drive.alarmNumber = settings.integer(keys::kDriveAlarm, number);
    return drive;
}

std::string writeMonitoredDrive(Profile& profile, int number, const MonitoredDrive& drive) {
    SettingWriter writer(profile);
    writer.text(keys::kDrive, number, drive.drive);
    writer.integer(keys::kDriveSpace, number, drive.percent);
    writer.text(keys::kDriveAlarm, number, drive.alarm);
    return writer.failure();
}

JobSlot readJobSlot(const SettingReader& settings, int number) {
    JobSlot slot;
    slot.watched = settings.integer(keys::kCheckJob, number) == 1;
    slot.directory = settings.text(keys::kCheckDir, number);
    slot.moveFiles = settings.flag(keys::kMoveFiles, number);
    slot.moveDirectory = settings.text(keys::kMoveDir, number);
    return slot;
}

JobWatcherSettings readJobWatcher(const SettingReader& settings) {
    JobWatcherSettings w;
    for (std::size_t i = 0; i < w.directories.size(); ++i)
        w.directories[i] = readJobSlot(settings, static_cast<int>(i) + 1);
    w.startOnErrorType = settings.flag(keys::kStartOnErrorType) ? 1 : 0;
    w.startOnErrorProgram = settings.text(keys::kStartOnErrorProg);
    w.startOnErrorAlarm = settings.integer(keys::kStartOnErrorAlarm);
    return w;
}

std::string writeJobWatcher(Profile& profile, const JobWatcherSettings& w) {
    SettingWriter writer(profile);
    for (std::size_t i = 0; i < w.directories.size(); ++i) {
        const JobSlot& slot = w.directories[i];
        const int n = static_cast<int>(i) + 1;
        writer.integer(keys::kCheckJob, n, slot.watched ? 1 : 0);
        writer.text(keys::kCheckDir, n, slot.directory);
        writer.flag(keys::kMoveFiles, n, slot.moveFiles);
        writer.text(keys::kMoveDir, n, slot.moveDirectory);
    }
    writer.flag(keys::kStartOnErrorType, 0, w.startOnErrorType != 0);
    writer.text(keys::kStartOnErrorProg, 0, w.startOnErrorProgram);
    if (w.startOnErrorAlarm >= 0)
        writer.integer(keys::kStartOnErrorAlarm, 0, w.startOnErrorAlarm);
    return writer.failure();
}

ConferenceSettings readConferenceSettings(const SettingReader& settings) {
    ConferenceSettings c;
    c.resultDirectory = settings.text(keys::kResultWavePath);
    c.moveStep = settings.flag(keys::kMoveToConferWav);
    c.moveWeeks = settings.integer(keys::kMoveConferWavWeeks);
    c.archiveDirectory = settings.text(keys::kMoveConferWavTo);
    c.deleteStep = settings.flag(keys::kDelConferWav);
    c.deleteWeeks = settings.integer(keys::kDelConferWavWeeks);
    c.deleteFrom = settings.text(keys::kDelConferWavFrom);
    c.deleteEventFiles = settings.flag(keys::kDelConferEvtFiles);
    c.deleteDatabaseEntries = settings.flag(keys::kDelEntriesInSqlDb);
    c.daily = settings.flag(keys::kMoveConferWavDaily);
    return c;
}

namespace {

// The delete step's switch, weeks and directory, as the settings dialog and "Delete now" store them.
void writeDeleteStep(SettingWriter& writer, bool on, int weeks, const std::string& directory) {
    writer.flag(keys::kDelConferWav, 0, on);
    writer.integer(keys::kDelConferWavWeeks, 0, weeks);
    writer.text(keys::kDelConferWavFrom, 0, directory);
}

}  // namespace

std::string writeConferenceSettings(Profile& profile, const ConferenceSettings& c) {
    SettingWriter writer(profile);
    writer.flag(keys::kMoveToConferWav, 0, c.moveStep);
    writer.integer(keys::kMoveConferWavWeeks, 0, c.moveWeeks);
    writer.text(keys::kMoveConferWavTo, 0, c.archiveDirectory);
    writeDeleteStep(writer, c.deleteStep, c.deleteWeeks, c.deleteFrom);
    writer.flag(keys::kMoveConferWavDaily, 0, c.daily);
    return writer.failure();
}

std::string writeConferenceDeleteSettings(Profile& profile, int weeks, const std::string& directory) {
    SettingWriter writer(profile);
    writeDeleteStep(writer, true, weeks, directory);
    return writer.failure();
}

WatchdogBoxSettings readWatchdogBox(const SettingReader& settings) {
    WatchdogBoxSettings w;
    w.active = settings.integer(keys::kBoxCallsActive) == 1;
    w.numberToDial = settings.text(keys::kBoxNumberToDial);
    w.interval = settings.integer(keys::kBoxInterval);
    w.startAlarmActive = settings.flag(keys::kBoxStartAlarmActive);
    w.startAlarmOnNoAnswer = settings.integer(keys::kBoxStartAlarmOnNoAnswer);
    w.sendConfCode = settings.flag(keys::kBoxSendConfCode);
    w.sendCode = settings.text(keys::kBoxSendCode);
    w.getConfCode = settings.flag(keys::kBoxGetConfCode);
    w.confCode = settings.text(keys::kBoxConfCode);
    w.alarmOnNoConf = settings.integer(keys::kBoxAlarmOnNoConf);
    w.writeWarning = settings.integer(keys::kBoxWriteWarning) == 1;
    w.warningMessage = settings.text(keys::kBoxWarningMessage);
    return w;
}

std::string writeWatchdogBox(Profile& profile, const WatchdogBoxSettings& w) {
    SettingWriter writer(profile);
    writer.integer(keys::kBoxCallsActive, 0, w.active ? 1 : 0);
    writer.text(keys::kBoxNumberToDial, 0, w.numberToDial);
    writer.integer(keys::kBoxInterval, 0, w.interval);
    writer.flag(keys::kBoxStartAlarmActive, 0, w.startAlarmActive);
    if (w.startAlarmOnNoAnswer >= 0)
        writer.integer(keys::kBoxStartAlarmOnNoAnswer, 0, w.startAlarmOnNoAnswer);
    writer.flag(keys::kBoxSendConfCode, 0, w.sendConfCode);
    writer.text(keys::kBoxSendCode, 0, w.sendCode);
    writer.flag(keys::kBoxGetConfCode, 0, w.getConfCode);
    writer.text(keys::kBoxConfCode, 0, w.confCode);
    if (w.alarmOnNoConf >= 0)
        writer.integer(keys::kBoxAlarmOnNoConf, 0, w.alarmOnNoConf);
    writer.integer(keys::kBoxWriteWarning, 0, w.writeWarning ? 1 : 0);
    writer.text(keys::kBoxWarningMessage, 0, w.warningMessage);
    return writer.failure();
}

}  // namespace qx
