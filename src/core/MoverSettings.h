#pragma once

#include <optional>
#include <string>

#include "SettingKeys.h"
#include "SharedState.h"

namespace qx {

class ActivityLog;
class Profile;
class Prompts;
class StringTable;

// The settings of the main dialog (qxmover.ini unless noted), as loaded, edited and saved.
struct MoverSettings {
    bool delLogFiles = false;  // [Config] DelLogFiles; shown off in "no move" mode
    int waitBeforeDel = 10;    // weeks (weekly) or months (monthly)
    int moveMode = 1;          // qxaview.ini [Config] AlarmSelectionRange: 1 "week", 2 "month", 0 other
    bool start2ndBatch = false;
    bool deleteMoreFiles = false;
    bool moveConferWav = false;
    bool moveConferWavDaily = false;
    bool delAlarmWav = false;
    int delAlarmWavAfterWeeks = 4;
    bool moveConferWavToSubDir = false;
    bool printReport = false;
    int reportType = 0;  // [AlarmReport] 0 weekly, 1 daily

    bool hdActive = false;  // [HDCheck]
    int checkTime = 7;
    int minSpace = 200;
    bool dialPhoneIfLow = false;
    std::string phoneNumber;
    bool sendSmsIfLow = false;
    std::string smsNumber;
    bool startBatchIfLow = false;
    std::string batchProg;
    bool startAlarmIfLow = false;
    int alarmKey = -1;  // -1 when StartAlarmIfLow is off; when saving, -1 means "none selected"
    std::string checkDrives;

    bool autoBackupActive = false;  // [AutoBackup]
    std::string autoBackupPath = "\\qxsavebase\\";
    bool writeLogFile = true;
    bool startSaveBaseAsPostjob = false;
};

// Reads every setting in the file order of the main dialog, each key through its row of the key table,
// and writes the defaults of the keys that must exist ("write-back" keys read as -9) into the file.
// `previous` supplies the wait that "no move" mode keeps. A bad value, and a default that cannot be
// written, is told in `log`.
MoverSettings loadSettings(Profile& profile, const MoverSettings& previous = {},
                           const ActivityLog* log = nullptr);

// The same reading without writing anything, for jobs that read the settings afresh on every pass:
// a missing write-back key gives the default that the load would have written. A bad value takes its
// row's default, bound or fallback, told in `report`.
MoverSettings readSettings(const Profile& profile, const MoverSettings& previous = {},
                           std::optional<SettingReport> report = std::nullopt);

// Writes the settings in the save order. With the disk monitor on and no drive selected, warns with
// text 118 and still saves. A key that cannot be written, or a value its row would not read back (a
// path too long), is shown with a warning naming it and why; the other keys are still written. Does not
// publish (see publishSettings). False when a key could not be written.
bool saveSettings(Profile& profile, const MoverSettings& settings, Prompts& prompts,
                  const StringTable& strings);

// Hands the loaded settings to the threads, the disk monitor's values included.
void publishSettings(const MoverSettings& settings, SharedState& state);

// The disk monitor's view of the settings: -1 and empty for whatever is switched off.
DiskMonitorSettings diskMonitorOf(const MoverSettings& settings);

}  // namespace qx
