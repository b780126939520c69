#include "MainDialogRules.h"

#include <cstdio>
#include <cstdlib>

namespace qx {

std::map<int, bool> enabledControls(const std::set<int>& checked) {
    auto on = [&](int id) { return checked.count(id) != 0; };
    std::map<int, bool> enabled;
    bool moving = !on(ctl::kNoMove);
    bool deleting = moving && on(ctl::kDelLogFiles);
    enabled[ctl::kDelLogFiles] = moving;
    enabled[ctl::kWaitList] = deleting;
    enabled[ctl::kWaitUnit] = deleting;
    enabled[ctl::kTestDelete] = deleting;
    enabled[ctl::kTestBatch] = on(ctl::kStart2ndBatch);
    enabled[ctl::kEditBatch] = on(ctl::kStart2ndBatch);
    enabled[ctl::kPrintWeekly] = on(ctl::kPrintReport);
    enabled[ctl::kPrintDaily] = on(ctl::kPrintReport);
    enabled[ctl::kConferenceSettings] = on(ctl::kConference);
    enabled[ctl::kDelAlarmWavList] = on(ctl::kDelAlarmWav);
    enabled[ctl::kDeleteMoreSettings] = on(ctl::kDeleteMoreFiles);
    enabled[ctl::kBackupPath] = on(ctl::kBackupActive);

    bool monitor = on(ctl::kHdActive);
    for (int id :
         {ctl::kCheckHour, ctl::kDrivesLabel, ctl::kDriveList, ctl::kMinSpaceLabel, ctl::kSelectDrives,
          ctl::kMinSpace, ctl::kMbLabel, ctl::kDialPhone, ctl::kSendSms, ctl::kStartBatch, ctl::kStartAlarm})
        enabled[id] = monitor;
    enabled[ctl::kPhoneNumber] = monitor && on(ctl::kDialPhone);
    enabled[ctl::kSmsNumber] = monitor && on(ctl::kSendSms);
    enabled[ctl::kBatchProg] = monitor && on(ctl::kStartBatch);
    enabled[ctl::kAlarmList] = monitor && on(ctl::kStartAlarm);
    return enabled;
}

std::string weekEntry(int number) {
    char text[16];
    std::snprintf(text, sizeof text, " %02d", number);
    return text;
}

std::vector<std::string> waitEntries(int moveMode) {
    int count = moveMode == 1 ? 51 : moveMode == 2 ? 12 : 0;
    std::vector<std::string> entries;
    for (int n = 1; n <= count; ++n)
        entries.push_back(weekEntry(n));
    return entries;
}

int entryIndexFor(int count, int entries) {
    if (entries <= 0)
        return -1;
    int index = count - 1;
    return index < 0 ? 0 : index >= entries ? entries - 1 : index;
}

int alarmNumberOf(const std::string& entry) {
    const char* text = entry.c_str();
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (end == text)
        return -1;
    return static_cast<int>(number);
}

}  // namespace qx
