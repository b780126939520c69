#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace qx {

// Control ids of the main settings dialog; the text of a control is the string of the same id.
namespace ctl {
enum : int {
    kSave = 1000,
    kClock = 1001,
    kWeek = 1002,
    kWeekly = 1003,
    kMonthly = 1004,
    kNoMove = 1005,
    kDelLogFiles = 1006,
    kWaitList = 1007,
    kWaitUnit = 1008,
    kAbout = 1009,
    kStartTasks = 1010,
    kCancel = 1011,
    kStart2ndBatch = 1022,
    kTestMove = 1023,
    kTestDelete = 1024,
    kTestBatch = 1025,
    kHdActive = 1028,
    kSelectDrives = 1029,
    kMinSpace = 1031,
    kDialPhone = 1032,
    kPhoneNumber = 1033,
    kSendSms = 1034,
    kSmsNumber = 1035,
    kStartAlarm = 1036,
    kAlarmList = 1037,
    kCheckHour = 1038,
    kDriveList = 1039,
    kDrivesLabel = 1040,
    kMinSpaceLabel = 1041,
    kMbLabel = 1042,
    kStartBatch = 1043,
    kBatchProg = 1044,
    kConference = 1045,
    kPrintReport = 1046,
    kPrintNow = 1047,
    kCheckJobFiles = 1070,
    kWatchDog = 1071,
    kBackupActive = 1072,
    kBackupPath = 1073,
    kConferenceSettings = 1085,
    kDelAlarmWav = 1087,
    kDelAlarmWavList = 1088,
    kDeleteMoreFiles = 1106,
    kDeleteMoreSettings = 1107,
    kEditBatch = 1108,
    kExtendedMonitor = 1122,
    kPrintDaily = 1132,
    kPrintWeekly = 1133,
    kPicture = 1150,
};
}  // namespace ctl

// Which controls of the main dialog are usable when the check boxes and radio buttons in `checked`
// are set (the others clear). Every control that some check box governs has an entry; the rules
// are those that the clicks apply, taken as one state, so that the result never depends on the order
// of the clicks:
//  - "no move" disables the wait (1006, 1007, 1008); otherwise the wait list and its unit follow 1006;
//  - "Test delete" follows 1006, which "no move" clears;
//  - the disk monitor (1028) governs its fields, and each option field also its own check box.
std::map<int, bool> enabledControls(const std::set<int>& checked);

// The entries of the wait list for a move mode: " 01" to " 51" weekly (1), " 01" to " 12" monthly (2),
// none for no move (0).
std::vector<std::string> waitEntries(int moveMode);

// " %02d": the entries of the week lists.
std::string weekEntry(int number);

// The list index that shows a stored count of weeks or months (count - 1), kept inside a list of
// `entries` entries, so that a stored value beyond the list still selects its last entry and a
// later save does not write 0.
int entryIndexFor(int count, int entries);

// The alarm number at the start of an alarm list entry ("%d  %s"); -1 when it does not start with one.
int alarmNumberOf(const std::string& entry);

}  // namespace qx
