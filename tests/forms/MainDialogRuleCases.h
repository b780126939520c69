#pragma once

#include <ostream>
#include <set>
#include <vector>

#include "MainDialogRules.h"

namespace qx::test {

// The enabling rules of the main dialog as cases: the boxes and radio buttons that are set (the others
// clear) and the controls that must then be enabled and disabled. Checked against the rules themselves
// and through every view of the dialog.
struct RuleCase {
    const char* name;
    std::set<int> checked;
    std::vector<int> enabled;
    std::vector<int> disabled;
};

// Tests print a case by its name.
inline void PrintTo(const RuleCase& rule, std::ostream* out) {
    *out << rule.name;
}

inline const std::vector<RuleCase>& mainDialogRuleCases() {
    static const std::vector<RuleCase> cases = {
        {"NoMoveDisablesTheWaitWhateverTheDeleteBoxSays",
         {ctl::kNoMove, ctl::kDelLogFiles},
         {},
         {ctl::kDelLogFiles, ctl::kWaitList, ctl::kWaitUnit, ctl::kTestDelete}},
        {"WeeklyWithoutDeletionLeavesTheWaitOff",
         {ctl::kWeekly},
         {ctl::kDelLogFiles},
         {ctl::kWaitList, ctl::kTestDelete}},
        {"MonthlyWithDeletionOffersTheWait",
         {ctl::kMonthly, ctl::kDelLogFiles},
         {ctl::kDelLogFiles, ctl::kWaitList, ctl::kTestDelete},
         {}},
        {"DiskMonitorOffDisablesEveryOption",
         {ctl::kWeekly, ctl::kDialPhone, ctl::kStartAlarm},
         {},
         {ctl::kCheckHour, ctl::kDriveList, ctl::kSelectDrives, ctl::kMinSpace, ctl::kDialPhone,
          ctl::kPhoneNumber, ctl::kSendSms, ctl::kSmsNumber, ctl::kStartBatch, ctl::kBatchProg,
          ctl::kStartAlarm, ctl::kAlarmList}},
        {"DiskMonitorOnRestoresEachOptionByItsOwnBox",
         {ctl::kWeekly, ctl::kHdActive, ctl::kDialPhone, ctl::kStartAlarm},
         {ctl::kCheckHour, ctl::kDialPhone, ctl::kSendSms, ctl::kStartBatch, ctl::kStartAlarm,
          ctl::kPhoneNumber, ctl::kAlarmList},
         {ctl::kSmsNumber, ctl::kBatchProg}},
        {"OptionBoxesClearDisableTheirButtons",
         {ctl::kWeekly},
         {},
         {ctl::kTestBatch, ctl::kEditBatch, ctl::kPrintWeekly, ctl::kPrintDaily, ctl::kConferenceSettings,
          ctl::kDelAlarmWavList, ctl::kDeleteMoreSettings, ctl::kBackupPath}},
        {"OptionBoxesSetEnableTheirButtons",
         {ctl::kWeekly, ctl::kStart2ndBatch, ctl::kPrintReport, ctl::kConference, ctl::kDelAlarmWav,
          ctl::kDeleteMoreFiles, ctl::kBackupActive},
         {ctl::kTestBatch, ctl::kEditBatch, ctl::kPrintWeekly, ctl::kPrintDaily, ctl::kConferenceSettings,
          ctl::kDelAlarmWavList, ctl::kDeleteMoreSettings, ctl::kBackupPath},
         {}},
    };
    return cases;
}

}  // namespace qx::test
