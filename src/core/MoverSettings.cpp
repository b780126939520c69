#include "MoverSettings.h"

#include <algorithm>

#include "ActivityLog.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "ProfileWrites.h"
#include "Prompts.h"
#include "SettingKeys.h"
#include "StringTable.h"

namespace qx {

namespace {

constexpr int kMissing = -9;

// Where the load writes the defaults of missing keys, and where a failed write is told.
struct WriteBack {
    Profile& profile;
    const ActivityLog* log;

    void check(const char* section, const char* key, const ProfileWriteResult& result) const {
        if (!result && log)
            log->write(profileWriteFailure(ini::kMover, section, key, result));
    }
};

// A key read with the marker -9 counts as missing (a stored -9 too): its default is written at once
// into `writeBack`, when there is one.
int readMarked(const Profile& profile, const WriteBack* writeBack, const char* section, const char* key,
               int defaultValue) {
    int value = profile.getInt(ini::kMover, section, key, kMissing);
    if (value == kMissing) {
        if (writeBack)
            writeBack->check(section, key,
                             writeBack->profile.writeInt(ini::kMover, section, key, defaultValue));
        return defaultValue;
    }
    return value;
}

bool flag(int value) {
    return value != 0;
}

MoverSettings read(const Profile& profile, const WriteBack* writeBack, const MoverSettings& previous,
                   std::optional<SettingReport> report) {
    const SettingReader keyTable(profile, report);
    auto readWriteBack = [&](const char* section, const char* key, int defaultValue) {
        return readMarked(profile, writeBack, section, key, defaultValue);
    };
    MoverSettings s;
    const char* cfg = ini::kConfig;
    s.delLogFiles = flag(profile.getInt(ini::kMover, cfg, "DelLogFiles", 0));

    std::string range = profile.getString(ini::kAview, cfg, "AlarmSelectionRange", "week", 40);
    s.moveMode = range == "week" ? 1 : range == "month" ? 2 : 0;
    if (s.moveMode == 0) {
        s.delLogFiles = false;  // the dialog clears its box; the file keeps its value
        s.waitBeforeDel = previous.waitBeforeDel;
    } else {
        int wait = profile.getInt(ini::kMover, cfg, "WaitBeforeDel", 10);
        int upper = s.moveMode == 1 ? 53 : 12;
        int clampTo = s.moveMode == 1 ? 52 : 12;
        s.waitBeforeDel = wait < 1 ? 1 : wait > upper ? clampTo : wait;
    }

    s.start2ndBatch = flag(readWriteBack(cfg, "Start2ndBatch", 0));
    s.deleteMoreFiles = flag(readWriteBack(cfg, "DeleteMoreFiles", 0));
    s.moveConferWav = flag(readWriteBack(cfg, "MoveConferWav", 0));
    s.moveConferWavDaily = flag(readWriteBack(cfg, "MoveConferWavDaily", 0));
    s.delAlarmWav = flag(readWriteBack(cfg, "DelAlarmWav", 0));
    s.delAlarmWavAfterWeeks = readWriteBack(cfg, "DelAlarmWavAfterWeeks", 4);
    s.moveConferWavToSubDir = flag(readWriteBack(cfg, "MoveConferWavToSubDir", 0));
    if (profile.getInt(ini::kMover, cfg, "MoveToConferWav", 0) == 0 &&
        profile.getInt(ini::kMover, cfg, "DelConferWav", 0) == 0)
        s.moveConferWavToSubDir = true;
    s.printReport = flag(readWriteBack(cfg, "PrintReport", 0));
    s.reportType = profile.getInt(ini::kMover, ini::kAlarmReport, "ReportType", 0);

    const char* hd = ini::kHDCheck;
    s.hdActive = flag(profile.getInt(ini::kMover, hd, "Active", 0));
    s.checkTime = keyTable.integer(keys::kCheckTime);
    s.minSpace = keyTable.integer(keys::kMinSpace);
    s.dialPhoneIfLow = flag(profile.getInt(ini::kMover, hd, "DialPhoneIfLow", 0));
    s.phoneNumber = profile.getString(ini::kMover, hd, "PhoneNumber", "", 256);
    s.sendSmsIfLow = flag(profile.getInt(ini::kMover, hd, "SendSMSIfLow", 0));
    s.smsNumber = profile.getString(ini::kMover, hd, "SMSNumber", "", 256);
    s.startBatchIfLow = flag(profile.getInt(ini::kMover, hd, "StartBatchIfLow", 0));
    s.batchProg = profile.getString(ini::kMover, hd, "BatchProg", "", 256);
    s.startAlarmIfLow = flag(profile.getInt(ini::kMover, hd, "StartAlarmIfLow", 0));
    s.alarmKey = s.startAlarmIfLow ? profile.getInt(ini::kMover, hd, "AlarmKey", 0) : -1;
    s.checkDrives = profile.getString(ini::kMover, hd, "CheckDrives", "", 256);

    s.autoBackupActive = flag(profile.getInt(ini::kMover, ini::kAutoBackup, "Active", 0));
    s.autoBackupPath = profile.getString(ini::kMover, ini::kAutoBackup, "Path", "\\qxsavebase\\", 128);
    s.writeLogFile = flag(profile.getInt(ini::kMover, cfg, "WriteLogFile", 1));
    int postjob = profile.getInt(ini::kMover, cfg, "StartSaveBaseAsPostjob", 0);
    if (postjob == 0 && writeBack)
        writeBack->check(cfg, "StartSaveBaseAsPostjob",
                         writeBack->profile.writeString(ini::kMover, cfg, "StartSaveBaseAsPostjob", "0"));
    s.startSaveBaseAsPostjob = flag(postjob);
    return s;
}

}  // namespace

MoverSettings loadSettings(Profile& profile, const MoverSettings& previous, const ActivityLog* log) {
    WriteBack writeBack{profile, log};
    return read(profile, &writeBack, previous, std::nullopt);
}

MoverSettings readSettings(const Profile& profile, const MoverSettings& previous,
                           std::optional<SettingReport> report) {
    return read(profile, nullptr, previous, report);
}

bool saveSettings(Profile& target, const MoverSettings& s, Prompts& prompts, const StringTable& strings) {
    ProfileWrites profile(target);
    const char* cfg = ini::kConfig;
    auto writeFlag = [&](const char* section, const char* key, bool value) {
        profile.writeString(ini::kMover, section, key, value ? "1" : "0");
    };
    writeFlag(cfg, "DelLogFiles", s.delLogFiles);
    profile.writeInt(ini::kMover, cfg, "WaitBeforeDel", s.waitBeforeDel);
    const char* range = s.moveMode == 1 ? "week" : s.moveMode == 2 ? "month" : "none";
    profile.writeString(ini::kAview, cfg, "AlarmSelectionRange", range);
    if (s.moveMode != 1 && s.moveMode != 2)
        profile.writeString(ini::kMover, cfg, "DelLogFiles", "0");
    writeFlag(cfg, "Start2ndBatch", s.start2ndBatch);
    writeFlag(cfg, "DeleteMoreFiles", s.deleteMoreFiles);
    writeFlag(cfg, "MoveConferWav", s.moveConferWav);
    writeFlag(cfg, "DelAlarmWav", s.delAlarmWav);
    profile.writeInt(ini::kMover, cfg, "DelAlarmWavAfterWeeks", s.delAlarmWavAfterWeeks);
    writeFlag(cfg, "PrintReport", s.printReport);
    profile.writeInt(ini::kMover, ini::kAlarmReport, "ReportType", s.reportType);

    const char* hd = ini::kHDCheck;
    profile.writeInt(ini::kMover, hd, "Active", s.hdActive ? 1 : 0);
    profile.writeInt(ini::kMover, hd, "CheckTime", s.checkTime);
    profile.writeInt(ini::kMover, hd, "MinSpace", s.minSpace);
    profile.writeInt(ini::kMover, hd, "DialPhoneIfLow", s.dialPhoneIfLow ? 1 : 0);
    profile.writeInt(ini::kMover, hd, "SendSMSIfLow", s.sendSmsIfLow ? 1 : 0);
    profile.writeInt(ini::kMover, hd, "StartBatchIfLow", s.startBatchIfLow ? 1 : 0);
    profile.writeInt(ini::kMover, hd, "StartAlarmIfLow", s.startAlarmIfLow ? 1 : 0);
    // No alarm chosen in the list: the stored key stays rather than becoming a meaningless number.
    if (s.alarmKey >= 0)
        profile.writeInt(ini::kMover, hd, "AlarmKey", s.alarmKey);
    if (s.checkDrives.empty() && s.hdActive)
        prompts.warn(strings.get(kStrSelectDrive), strings.get(kStrErrorCaption));
    profile.writeString(ini::kMover, hd, "CheckDrives", s.checkDrives);
    profile.writeString(ini::kMover, hd, "PhoneNumber", s.phoneNumber);
    profile.writeString(ini::kMover, hd, "SMSNumber", s.smsNumber);
    profile.writeString(ini::kMover, hd, "BatchProg", s.batchProg);

    if (s.autoBackupActive) {
        profile.writeString(ini::kMover, ini::kAutoBackup, "Active", "1");
        profile.writeString(ini::kMover, ini::kAutoBackup, "Path", s.autoBackupPath);
    } else {
        profile.writeString(ini::kMover, ini::kAutoBackup, "Active", "0");
    }
    // Every key is tried; the first failure is told, as the user's settings did not all arrive.
    if (!profile.ok())
        prompts.warn(profile.failure(), strings.get(kStrErrorCaption));
    return profile.ok();
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
