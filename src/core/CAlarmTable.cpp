#include "CAlarmTable.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "SettingKeys.h"
#include "WideText.h"

namespace qx {
namespace {

struct MemberField {
    const char* name;
    std::size_t offset;
    std::size_t size;  // 0 for integers
};

#define QX_INT(n) \
    { "T" #n, offsetof(AlarmRecord, T##n), 0 }
#define QX_TEXT(n) \
    { "T" #n, offsetof(AlarmRecord, T##n), sizeof(AlarmRecord::T##n) }

// Field order is member order, which is how the alarm server's programs read the record too.
constexpr MemberField kMembers[] = {
    QX_INT(01),  QX_INT(02),  QX_INT(03),  QX_INT(04),  QX_INT(05),  QX_INT(06),  QX_INT(07),  QX_INT(08),
    QX_INT(09),  QX_INT(10),  QX_INT(11),  QX_INT(12),  QX_INT(13),  QX_INT(14),  QX_INT(15),  QX_INT(16),
    QX_INT(17),  QX_INT(18),  QX_INT(19),  QX_INT(20),  QX_INT(21),  QX_INT(22),  QX_INT(23),  QX_INT(24),
    QX_INT(25),  QX_INT(26),  QX_INT(27),  QX_INT(28),  QX_INT(29),  QX_INT(30),  QX_TEXT(31), QX_TEXT(32),
    QX_TEXT(33), QX_TEXT(34), QX_TEXT(35), QX_TEXT(36), QX_TEXT(37), QX_TEXT(38), QX_TEXT(39), QX_TEXT(40),
    QX_TEXT(41), QX_TEXT(42), QX_TEXT(43), QX_TEXT(44), QX_TEXT(45), QX_TEXT(46), QX_TEXT(47), QX_TEXT(48),
    QX_TEXT(49), QX_TEXT(50), QX_TEXT(51), QX_TEXT(52), QX_TEXT(53), QX_TEXT(54), QX_TEXT(55), QX_TEXT(56),
    QX_TEXT(57), QX_TEXT(58), QX_INT(59),  QX_INT(60),  QX_INT(61),  QX_INT(62),  QX_INT(63),  QX_INT(64),
    QX_INT(65),  QX_INT(66),  QX_INT(67),  QX_INT(68),  QX_INT(69),  QX_INT(70),  QX_INT(71),  QX_INT(72),
    QX_INT(73),  QX_INT(74),  QX_INT(75),  QX_INT(76),  QX_INT(77),  QX_INT(78),  QX_INT(79),  QX_INT(80),
    QX_INT(81),  QX_INT(82),  QX_INT(83),  QX_INT(84),  QX_INT(85),  QX_INT(86),  QX_INT(87),  QX_INT(88),
    QX_INT(89),  QX_INT(90),  QX_INT(91),  QX_INT(92),  QX_INT(93),  QX_INT(94),  QX_INT(95),  QX_INT(96),
    QX_INT(97),  QX_INT(98),  QX_INT(99),
};
static_assert(std::size(kMembers) == 99);

#undef QX_INT
#undef QX_TEXT

constexpr std::size_t kKeyTableNameLength = 39;

}  // namespace

int CAlarmTable::Open(const char* table) {
    m_fieldOf.fill(0);
    if (!CDatabase::Open(table))
        return 0;
    // The first field of a name wins, as a lookup by name finds it.
    for (unsigned number = FieldCount(); number >= 1; --number) {
        const char* name = Fieldname(number);
        for (std::size_t m = 0; m < std::size(kMembers); ++m)
            if (equalsIgnoreCase(name, kMembers[m].name))
                m_fieldOf[m] = number;
    }
    return 1;
}

int CAlarmTable::Close() {
    m_fieldOf.fill(0);
    return CDatabase::Close();
}

namespace {

void readMember(CAlarmTable& table, unsigned field, const MemberField& member, char* base) {
    if (field == 0)
        return;
    if (member.size == 0) {
        int value;
        if (table.ReadField(field, value))
            std::memcpy(base + member.offset, &value, sizeof value);
    } else {
        table.ReadField(field, base + member.offset, member.size);
    }
}

constexpr std::size_t kKindMember = 1;   // T02
constexpr std::size_t kNameMember = 32;  // T33

}  // namespace

int CAlarmTable::ReadRecord(unsigned recordNumber, AlarmRecord& record) {
    // Seek rather than Go: a number beyond the table's end costs no error box (the lists ask for whole
    // ranges of numbers, most of which the table may not hold), and a record inside the count known
    // to the table costs one read and nothing more.
    if (recordNumber < 1 || !Seek(recordNumber))
        return 0;
    char* base = reinterpret_cast<char*>(&record);
    for (std::size_t m = 0; m < std::size(kMembers); ++m)
        readMember(*this, m_fieldOf[m], kMembers[m], base);
    return 1;
}

bool CAlarmTable::ReadKindAndName(unsigned recordNumber, std::int32_t& kind, char (&name)[50]) {
    if (recordNumber < 1 || !Seek(recordNumber))
        return false;
    int value;
    if (unsigned field = m_fieldOf[kKindMember]; field != 0 && ReadField(field, value))
        kind = value;
    if (unsigned field = m_fieldOf[kNameMember]; field != 0)
        ReadField(field, name, sizeof name);
    return true;
}

std::string alarmEntryText(int number, std::string_view name) {
    return std::to_string(number) + "  " + std::string(name);
}

std::string alarmTablePath(const Profile& profile) {
    std::string path = asciiLower(SettingReader(profile).text(keys::kAlarmTablePath));
    if (path.find("vm001.dbf") == std::string::npos)
        path += ".\\vm001.dbf";
    return path;
}

std::vector<AlarmListEntry> collectAlarms(CAlarmTable& table, int first, int last) {
    std::vector<AlarmListEntry> alarms;
    // Number k lives in record k + 1: only numbers from 0 to count - 1 can have a record, which also
    // keeps an absurd range in the settings from running for hours.
    long long from = std::max<long long>(first, 0);
    long long to = std::min<long long>(last, static_cast<long long>(table.RecCount()) - 1);
    for (long long number = from; number <= to; ++number) {
        // Fresh values each time: a field the table lacks must not keep the previous alarm's value.
        std::int32_t kind = 0;
        char name[50] = {};
        if (!table.ReadKindAndName(static_cast<unsigned>(number + 1), kind, name) ||
            kind != kAlarmDefinitionKind)
            continue;
        alarms.push_back({static_cast<int>(number), name});
    }
    return alarms;
}

std::optional<std::vector<AlarmListEntry>> readAlarmList(const Profile& profile, const PathMap& paths,
                                                         Prompts& prompts, const StringTable& strings) {
    std::string path = alarmTablePath(profile);
    CAlarmTable table;
    const std::optional<std::string> file = pathBytes(paths.native(path));
    if (!file || !table.Open(file->c_str())) {
        prompts.warn(strings.format(kStrOpenDatabaseFailed, path), strings.get(kStrErrorCaption));
        return std::nullopt;
    }
    const SettingReader settings(profile);
    const int first = settings.integer(keys::kFirstAlarmKey);
    const int last = settings.integer(keys::kLastAlarmKey);
    std::vector<AlarmListEntry> alarms = collectAlarms(table, first, last);
    table.Close();
    return alarms;
}

std::vector<AlarmKeyEntry> alarmKeyTable(const std::vector<AlarmListEntry>& alarms) {
    std::vector<AlarmKeyEntry> keys;
    keys.reserve(alarms.size());
    for (const AlarmListEntry& alarm : alarms)
        keys.push_back({alarm.number, alarm.name.substr(0, kKeyTableNameLength)});
    return keys;
}

}  // namespace qx
