#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "SharedState.h"
#include "StringTable.h"
#include "qxclass/CDatabase.h"

namespace qx {

// One alarm definition of the alarm server: record (alarm number + 1) of vm001.dbf. Each member is
// filled from the field of its name; text members hold at most their size - 1 characters.
struct AlarmRecord {
    std::int32_t T01, T02, T03, T04, T05, T06, T07, T08, T09, T10;
    std::int32_t T11, T12, T13, T14, T15, T16, T17, T18, T19, T20;
    std::int32_t T21, T22, T23, T24, T25, T26, T27, T28, T29, T30;
    char T31[50], T32[50], T33[50];  // T33: the alarm name
    char T34[65], T35[65], T36[65], T37[65], T38[65], T39[65], T40[65];
    char T41[100], T42[100], T43[100], T44[100];
    char T45[30], T46[30], T47[30], T48[30], T49[30], T50[30], T51[30], T52[30];
    char T53[60];
    char T54[22], T55[22], T56[22], T57[22], T58[22];
    std::int32_t T59, T60, T61, T62, T63, T64, T65, T66, T67, T68, T69;
    std::int32_t T70, T71, T72, T73, T74, T75, T76, T77, T78, T79;
    std::int32_t T80, T81, T82, T83, T84, T85, T86, T87, T88, T89;
    std::int32_t T90, T91, T92, T93, T94, T95, T96, T97, T98, T99;
};

// T02 of a record that defines an alarm.
inline constexpr std::int32_t kAlarmDefinitionKind = 91;

// The alarm table, read through the engine of CDatabase. Final: it is discarded as a CAlarmTable, and
// the base has no virtual destructor.
class CAlarmTable final : public CDatabase {
public:
    // As CDatabase::Open; also finds the field of each member once.
    int Open(const char* table) override;
    int Close() override;

    // Goes to record `recordNumber` and reads the fields T01..T99 into `record` (integers and trailing-
    // blank-cut texts); a field the table lacks leaves its member as it was. Returns 0, with `record`
    // untouched and without an error box, when no table is open or the record lies outside the table;
    // else 1.
    int ReadRecord(unsigned recordNumber, AlarmRecord& record);

    // T02 and T33 of record `recordNumber`, for the alarm lists, which need no more: false, with both
    // untouched, as ReadRecord returns 0.
    bool ReadKindAndName(unsigned recordNumber, std::int32_t& kind, char (&name)[50]);

private:
    // The 1-based field number of each member (T01 first), 0 where the table lacks the field.
    std::array<unsigned, 99> m_fieldOf{};
};

struct AlarmListEntry {
    int number = 0;
    std::string name;  // T33 without trailing blanks, up to 49 characters
};

// "%d  %s": the number, two blanks and the name, as the alarm lists show an alarm.
std::string alarmEntryText(int number, std::string_view name);

// The alarm table as the installation names it: [Config] Vm001Path of qxaconf.ini (default "\db1"),
// lower-cased, with ".\vm001.dbf" appended when it does not name vm001.dbf.
std::string alarmTablePath(const Profile& profile);

// The alarm definitions among the numbers FirstAlarmKey (default 10) to LastAlarmKey (default 9999) of
// [config] in qxalarm.ini, ascending: every number k whose record k + 1 has T02 = 91. Numbers whose
// record lies outside the table are skipped without a message. When the table cannot be opened,
// message 116 naming its path is shown under caption 108 and nullopt is returned.
std::optional<std::vector<AlarmListEntry>> readAlarmList(const Profile& profile, const PathMap& paths,
                                                         Prompts& prompts, const StringTable& strings);

// The alarms of an open table between `first` and `last` (none when first > last), as above.
std::vector<AlarmListEntry> collectAlarms(CAlarmTable& table, int first, int last);

// The shared alarm key table keeps names of up to 39 characters; longer ones are cut there.
std::vector<AlarmKeyEntry> alarmKeyTable(const std::vector<AlarmListEntry>& alarms);

}  // namespace qx
