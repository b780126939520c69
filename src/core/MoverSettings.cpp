#include "MoverSettings.h"

#include <algorithm>

#include "ActivityLog.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "Prompts.h"
#include "SettingKeys.h"
#include "SettingNotices.h"
#include "StringTable.h"

namespace qx {

namespace {

// Keys read with the marker -9 count as missing then (a stored -9 too): `settings` writes their default
// at once, when it may write.
MoverSettings read(const SettingReader& settings, const MoverSettings& previous, Profile* writeBack,
                   const ActivityLog* log) {
    MoverSettings s;
    s.delLogFiles = settings.integer(keys::kDelLogFiles) != 0;

    const std::string range = settings.text(keys::kAlarmSelectionRange);
    s.moveMode = range == "week" ? 1 : range == "month" ? 2 : 0;
    if (s.moveMode == 0) {
        s.delLogFiles = false;  // the dialog clears its box; the file keeps its value
        s.waitBeforeDel = previous.waitBeforeDel;
    } else {
        // Weeks or months, each reading with its own bounds: a month count beyond a year is a year.
        s.waitBeforeDel =
            settings.integer(s.moveMode == 1 ? keys::kWaitBeforeDel : keys::kWaitBeforeDelMonths);
    }

    s.start2ndBatch = settings.flag(keys::kStart2ndBatch);
    s.deleteMoreFiles = settings.flag(keys::kDeleteMoreFiles);
    s.moveConferWav = settings.flag(keys::kMoveConferWav);
    s.moveConferWavDaily = settings.flag(keys::kMoveConferWavDaily);
    s.delAlarmWav = settings.flag(keys::kDelAlarmWav);
    s.delAlarmWavAfterWeeks = settings.integer(keys::kDelAlarmWavWeeks);
    s.moveConferWavToSubDir = settings.flag(keys::kMoveConferWavToSubDir);
    // With neither conference step switched on (a missing switch counting as off here) the recordings
    // go to a subdirectory.
    auto on = [&](const SettingKey& key) { return settings.present(key) && settings.flag(key); };
    if (!on(keys::kMoveToConferWav) && !on(keys::kDelConferWav))
        s.moveConferWavToSubDir = true;
    s.printReport = settings.integer(keys::kPrintReport) != 0;
    s.reportType = settings.integer(keys::kReportType);

    s.hdActive = settings.flag(keys::kDiskCheckActive);
    s.checkTime = settings.integer(keys::kCheckTime);
    s.minSpace = settings.integer(keys::kMinSpace);
    s.dialPhoneIfLow = settings.flag(keys::kDialPhoneIfLow);
    s.phoneNumber = settings.text(keys::kPhoneNumber);
    s.sendSmsIfLow = settings.flag(keys::kSendSmsIfLow);
    s.smsNumber = settings.text(keys::kSmsNumber);
    s.startBatchIfLow = settings.flag(keys::kStartBatchIfLow);
    s.batchProg = settings.text(keys::kBatchProg);
    s.startAlarmIfLow = settings.flag(keys::kStartAlarmIfLow);
    s.alarmKey = s.startAlarmIfLow ? settings.integer(keys::kDiskAlarmKey) : -1;
    s.checkDrives = settings.text(keys::kCheckDrives);

    s.autoBackupActive = settings.flag(keys::kAutoBackupActive);
    s.autoBackupPath = settings.text(keys::kAutoBackupPath);
    s.writeLogFile = settings.flag(keys::kWriteLogFile);
    s.startSaveBaseAsPostjob = settings.flag(keys::kStartSaveBaseAsPostjob);
    // The backup's post-job switch is written whenever it reads as off, missing or not.
    if (!s.startSaveBaseAsPostjob && writeBack) {
        const SettingKey& key = keys::kStartSaveBaseAsPostjob;
        const ProfileWriteResult result = writeBack->writeString(key.file, key.section, key.name, "0");
        if (!result && log)
            log->write(profileWriteFailure(key.file, key.section, key.name, result));
    }
    return s;
}

}  // namespace

MoverSettings loadSettings(Profile& profile, const MoverSettings& previous, const ActivityLog* log) {
    // The load's own memory of what it told: it runs once, at start and when the dialog opens.
    SettingNotices notices;
    std::optional<SettingReport> report;
    if (log)
        report.emplace(SettingReport{*log, notices});
    const SettingReader settings(profile, report, &profile);
    return read(settings, previous, &profile, log);
}

MoverSettings readSettings(const Profile& profile, const MoverSettings& previous,
                           std::optional<SettingReport> report) {
    return read(SettingReader(profile, report), previous, nullptr, nullptr);
}

bool saveSettings(Profile& profile, const MoverSettings& s, Prompts& prompts, const StringTable& strings) {
    SettingWriter writer(profile);
    writer.integer(keys::kDelLogFiles, 0, s.delLogFiles ? 1 : 0);
    writer.integer(keys::kWaitBeforeDel, 0, s.waitBeforeDel);
    writer.text(keys::kAlarmSelectionRange, 0, s.moveMode == 1 ? "week" : s.moveMode == 2 ? "month" : "none");
    if (s.moveMode != 1 && s.moveMode != 2)
        writer.integer(keys::kDelLogFiles, 0, 0);
    writer.flag(keys::kStart2ndBatch, 0, s.start2ndBatch);
    writer.flag(keys::kDeleteMoreFiles, 0, s.deleteMoreFiles);
    writer.flag(keys::kMoveConferWav, 0, s.moveConferWav);
    writer.flag(keys::kDelAlarmWav, 0, s.delAlarmWav);
    writer.integer(keys::kDelAlarmWavWeeks, 0, s.delAlarmWavAfterWeeks);
    writer.integer(keys::kPrintReport, 0, s.printReport ? 1 : 0);
    writer.integer(keys::kReportType, 0, s.reportType);

    writer.flag(keys::kDiskCheckActive, 0, s.hdActive);
    writer.integer(keys::kCheckTime, 0, s.checkTime);
    writer.integer(keys::kMinSpace, 0, s.minSpace);
    writer.flag(keys::kDialPhoneIfLow, 0, s.dialPhoneIfLow);
    writer.flag(keys::kSendSmsIfLow, 0, s.sendSmsIfLow);
    writer.flag(keys::kStartBatchIfLow, 0, s.startBatchIfLow);
    writer.flag(keys::kStartAlarmIfLow, 0, s.startAlarmIfLow);
    // No alarm chosen in the list: the stored key stays rather than becoming a meaningless number.
    if (s.alarmKey >= 0)
        writer.integer(keys::kDiskAlarmKey, 0, s.alarmKey);
    if (s.checkDrives.empty() && s.hdActive)
        prompts.warn(strings.get(kStrSelectDrive), strings.get(kStrErrorCaption));
    writer.text(keys::kCheckDrives, 0, s.checkDrives);
    writer.text(keys::kPhoneNumber, 0, s.phoneNumber);
    writer.text(keys::kSmsNumber, 0, s.smsNumber);
    writer.text(keys::kBatchProg, 0, s.batchProg);

    writer.flag(keys::kAutoBackupActive, 0, s.autoBackupActive);
    if (s.autoBackupActive)
        writer.text(keys::kAutoBackupPath, 0, s.autoBackupPath);
    // Every key is tried; the first failure is told, as the user's settings did not all arrive.
    if (!writer.failure().empty())
        prompts.warn(writer.failure(), strings.get(kStrErrorCaption));
    return writer.failure().empty();
}

DiskMonitorSettings diskMonitorOf(const MoverSettings& s) {
    DiskMonitorSettings d;
    d.checkHour = s.hdActive ? s.checkTime : -1;
    d.minSpaceMb = s.minSpace;
    d.alarmKey = s.startAlarmIfLow ? s.alarmKey : -1;
    d.phoneNumber = s.dialPhoneIfLow ? s.phoneNumber : std::string();
    d.smsNumber = s.sendSmsIfLow ? s.smsNumber : std::string();
    d.batchProgram = s.startBatchIfLow ? s.batchProg : std::string();
    return d;
}

void publishSettings(const MoverSettings& s, SharedState& state) {
    state.moveMode = s.moveMode;
    state.waitBeforeDel = s.waitBeforeDel;
    state.writeLogFile = s.writeLogFile;
    state.start2ndBatch = s.start2ndBatch;
    state.deleteMoreFiles = s.deleteMoreFiles;
    state.moveConferWav = s.moveConferWav;
    state.moveConferWavDaily = s.moveConferWavDaily;
    state.moveConferWavToSubDir = s.moveConferWavToSubDir;
    state.delAlarmWav = s.delAlarmWav;
    state.delAlarmWavAfterWeeks = s.delAlarmWavAfterWeeks;
    state.printReport = s.printReport;
    state.reportType = s.reportType;
    state.autoBackupActive = s.autoBackupActive;
    state.startSaveBaseAsPostjob = s.startSaveBaseAsPostjob;
    state.setAutoBackupPath(s.autoBackupPath);
    state.setDriveList(s.checkDrives);
    state.setDiskMonitor(diskMonitorOf(s));
}

}  // namespace qx
