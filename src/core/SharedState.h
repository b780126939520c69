#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "SettingNotices.h"

namespace qx {

// What the disk monitor acts on, as published from the main settings: -1 and empty texts mean "off".
struct DiskMonitorSettings {
    int checkHour = -1;
    int minSpaceMb = 200;
    int alarmKey = -1;
    std::string phoneNumber;
    std::string smsNumber;
    std::string batchProgram;
};

struct AlarmKeyEntry {
    int key = 0;
    std::string name;  // at most 39 characters
};

// The process-wide values that the threads share. Each has one writer; integers and flags are
// atomics, texts sit behind one mutex and are handed out as copies.
class SharedState {
public:
    // Weeks and months of the mover (written by the clock timer / headless runner and the scheduler).
    std::atomic<int> dayState{2};
    std::atomic<int> previousWeek{0};
    std::atomic<int> dueWeek{10};
    std::atomic<bool> lateNewYear{true};
    std::atomic<int> rememberedMonth{1};
    std::atomic<int> dueMonth{1};

    // Main settings (written by the settings load and save).
    std::atomic<int> moveMode{1};  // 0 no move, 1 weekly, 2 monthly
    std::atomic<int> waitBeforeDel{10};
    std::atomic<bool> writeLogFile{true};
    std::atomic<bool> start2ndBatch{false};
    std::atomic<bool> deleteMoreFiles{false};
    std::atomic<bool> moveConferWav{false};
    std::atomic<bool> moveConferWavDaily{false};
    std::atomic<bool> moveConferWavToSubDir{false};
    std::atomic<bool> delAlarmWav{false};
    std::atomic<int> delAlarmWavAfterWeeks{4};
    std::atomic<bool> printReport{false};
    std::atomic<int> reportType{0};
    std::atomic<bool> autoBackupActive{false};
    std::atomic<bool> startSaveBaseAsPostjob{false};

    // Started marks of the on-demand threads: each runs at most once at a time.
    std::atomic<bool> lineWatchdogStarted{false};
    std::atomic<bool> jobWatcherStarted{false};
    std::atomic<bool> alarmReportStarted{false};

    // The bad setting values told so far (SettingReader): each is told once, not at every pass.
    SettingNotices settingNotices;

    DiskMonitorSettings diskMonitor() const;
    void setDiskMonitor(DiskMonitorSettings settings);
    std::string driveList() const;
    void setDriveList(std::string drives);
    std::string autoBackupPath() const;
    void setAutoBackupPath(std::string path);
    std::string logDirectory() const;
    void setLogDirectory(std::string directory);
    std::vector<AlarmKeyEntry> alarmKeys() const;
    void setAlarmKeys(std::vector<AlarmKeyEntry> keys);

private:
    mutable std::mutex m_mutex;
    DiskMonitorSettings m_diskMonitor;
    std::string m_driveList;
    std::string m_autoBackupPath = "\\qxsavebase\\";
    std::string m_logDirectory = "\\qxt\\log";
    std::vector<AlarmKeyEntry> m_alarmKeys;
};

}  // namespace qx
