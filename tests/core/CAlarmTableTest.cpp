#include "CAlarmTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "PathMap.h"
#include "PeerTools.h"
#include "Profile.h"
#include "Prompts.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "StringTable.h"
#include "WideText.h"
#include "qxclass/ErrorBox.h"

namespace qx {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const fs::path kMakeAlarmTable = fs::path(QX_SOURCE_DIR) / "tests/support/make_alarm_table.py";

std::vector<std::string> texts(const std::vector<AlarmListEntry>& alarms) {
    std::vector<std::string> lines;
    for (const AlarmListEntry& alarm : alarms)
        lines.push_back(alarmEntryText(alarm.number, alarm.name));
    return lines;
}

class CAlarmTableTest : public ::testing::Test {
protected:
    // The 10,000-record table takes python3-dbf seconds to write: it is made once for the build tree
    // (beside the test executables, replaced atomically, so parallel test processes share it) and
    // copied into each test's own directory.
    static const fs::path& bigTable() {
        static const fs::path table = [] {
            fs::path cache = fs::path(QX_TEST_CACHE_DIR) / "alarm-table-10000.dbf";
            if (fs::exists(cache) && fs::last_write_time(cache) >= fs::last_write_time(kMakeAlarmTable))
                return cache;
            fs::create_directories(cache.parent_path());
            // The writer wants the .dbf ending on its file name.
            fs::path partial =
                cache.parent_path() / ("alarm-table-10000." + std::to_string(::getpid()) + ".dbf");
            test::CommandResult made = test::runCommand(test::shellQuote(test::kPython.string()) + " " +
                                                        test::shellQuote(kMakeAlarmTable.string()) + " " +
                                                        test::shellQuote(partial.string()) + " 10000");
            if (made.exitCode != 0) {
                bigTableError = made.output.empty() ? "python3-dbf missing" : made.output;
                return fs::path();
            }
            fs::rename(partial, cache);
            return cache;
        }();
        return table;
    }

    void SetUp() override {
        previousBoxHandler = setErrorBoxHandler([this](const char* text, const char* caption) {
            boxes.push_back(std::string(caption) + ": " + text);
        });
    }
    void TearDown() override { setErrorBoxHandler(std::move(previousBoxHandler)); }

    // The big table where the alarm server keeps it, spelled as a Windows installation may spell it.
    void installBigTable() {
        const fs::path& table = bigTable();
        ASSERT_TRUE(bigTableError.empty()) << bigTableError;
        fs::copy_file(table, sandbox.dir("root/DB1") / "VM001.DBF");
    }

    // A table of `records` records with the given fields; every record gets `row`'s values except the
    // ones `overrides` (record number, python tuple) set.
    void makeSmallTable(const std::string& path, const std::string& fields, const std::string& row,
                        int records, const std::string& overrides = "{}") {
        test::CommandResult made = test::runPython(sandbox, R"(
import sys, dbf
t = dbf.Table(sys.argv[1], sys.argv[2], dbf_type='db3')
t.open(dbf.READ_WRITE)
overrides = eval(sys.argv[5])
for r in range(1, int(sys.argv[4]) + 1):
    t.append(overrides.get(r, eval(sys.argv[3])))
t.close()
)",
                                                   {path, fields, row, std::to_string(records), overrides});
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }

    void setRange(int first, int last) {
        ASSERT_TRUE(profile.writeInt("qxalarm.ini", "config", "FirstAlarmKey", first));
        ASSERT_TRUE(profile.writeInt("qxalarm.ini", "config", "LastAlarmKey", last));
    }

    std::optional<std::vector<AlarmListEntry>> list() {
        return readAlarmList(profile, paths, prompts, strings);
    }

    static inline std::string bigTableError;

    test::Sandbox sandbox;
    PathMap paths{sandbox.dir("root"), sandbox.dir("root/windows")};
    Profile profile{sandbox.path("root/windows")};
    test::RecordingPrompts prompts;
    StringTable strings;
    std::vector<std::string> boxes;
    ErrorBoxHandler previousBoxHandler;
};

TEST_F(CAlarmTableTest, TheTablePathFollowsVm001Path) {
    EXPECT_EQ(alarmTablePath(profile), "\\db1.\\vm001.dbf");
    ASSERT_TRUE(profile.writeString("qxaconf.ini", "Config", "Vm001Path", "\\ALARM\\DB\\"));
    EXPECT_EQ(alarmTablePath(profile), "\\alarm\\db\\.\\vm001.dbf");
    ASSERT_TRUE(profile.writeString("qxaconf.ini", "Config", "Vm001Path", "D:\\Data\\VM001.DBF"));
    EXPECT_EQ(alarmTablePath(profile), "d:\\data\\vm001.dbf");
}

TEST_F(CAlarmTableTest, ATableThatCannotBeOpenedIsNamedInMessage116) {
    EXPECT_EQ(list(), std::nullopt);
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|Failed to open the database \\db1.\\vm001.dbf !"));
}

TEST_F(CAlarmTableTest, ListsTheAlarmDefinitionsOfTheWholeTable) {
    QX_SKIP_WITHOUT_LINUX_PEERS();  // the tables are written by python3-dbf
    installBigTable();
    auto alarms = list();
    ASSERT_TRUE(alarms);
    // Numbers 10..9999 with number % 3 == 0 are definitions: 12, 15, ..., 9999.
    ASSERT_EQ(alarms->size(), 3330u);
    EXPECT_EQ(alarmEntryText((*alarms)[0].number, (*alarms)[0].name), "12  Alarm 12");
    EXPECT_EQ(alarmEntryText(alarms->back().number, alarms->back().name), "9999  Alarm 9999");
    EXPECT_EQ(alarmEntryText((*alarms)[10].number, (*alarms)[10].name), "42  ");  // T33 of blanks only
    auto longName = std::find_if(alarms->begin(), alarms->end(), [](auto& a) { return a.number == 3999; });
    ASSERT_NE(longName, alarms->end());
    EXPECT_EQ(longName->name, std::string(49, 'N'));
    EXPECT_EQ(alarmKeyTable(*alarms)[(longName - alarms->begin())].name, std::string(39, 'N'));
    EXPECT_THAT(prompts.warnings(), IsEmpty());
    EXPECT_THAT(boxes, IsEmpty());
}

TEST_F(CAlarmTableTest, ReadRecordFillsEveryMemberFromItsField) {
    QX_SKIP_WITHOUT_LINUX_PEERS();  // the tables are written by python3-dbf
    installBigTable();
    CAlarmTable table;
    ASSERT_EQ(table.Open(pathBytes(paths.native(alarmTablePath(profile))).value().c_str()), 1);
    AlarmRecord record{};
    ASSERT_EQ(table.ReadRecord(5001, record), 1);
    EXPECT_EQ(record.T01, 100000 + 5001);
    EXPECT_EQ(record.T02, 90);
    EXPECT_EQ(record.T30, 3000000 + 5001);
    EXPECT_STREQ(record.T31, "31:5001");
    EXPECT_STREQ(record.T33, "Alarm 5000");
    EXPECT_STREQ(record.T40, "40:5001");
    EXPECT_STREQ(record.T44, "44:5001");
    EXPECT_STREQ(record.T52, "52:5001");
    EXPECT_STREQ(record.T53, "53:5001");
    EXPECT_STREQ(record.T58, "58:5001");
    EXPECT_EQ(record.T59, 5900000 + 5001);
    EXPECT_EQ(record.T99, 9900000 + 5001);
    table.Close();
}

TEST_F(CAlarmTableTest, OnlyRecordsMarkedAsDefinitionsAreListed) {
    QX_SKIP_WITHOUT_LINUX_PEERS();  // the tables are written by python3-dbf
    makeSmallTable(sandbox.dir("root/db1").string() + "/vm001.dbf", "T02 N(4,0); T33 C(49)", "(90, 'other')",
                   20, "{12: (91, 'Eleven   ')}");
    setRange(10, 12);
    auto alarms = list();
    ASSERT_TRUE(alarms);
    EXPECT_THAT(texts(*alarms), ElementsAre("11  Eleven"));
}

TEST_F(CAlarmTableTest, AnEmptyOrReversedRangeListsNothing) {
    QX_SKIP_WITHOUT_LINUX_PEERS();  // the tables are written by python3-dbf
    makeSmallTable(sandbox.dir("root/db1").string() + "/vm001.dbf", "T02 N(4,0); T33 C(49)", "(91, 'a')", 20);
    setRange(12, 10);
    auto alarms = list();
    ASSERT_TRUE(alarms);
    EXPECT_THAT(*alarms, IsEmpty());
}

TEST_F(CAlarmTableTest, NumbersBeyondTheTableAreSkippedWithoutABox) {
    QX_SKIP_WITHOUT_LINUX_PEERS();  // the tables are written by python3-dbf
    makeSmallTable(sandbox.dir("root/db1").string() + "/vm001.dbf", "T02 N(4,0); T33 C(49)", "(91, 'a')", 13);
    setRange(-5, 2000000000);
    auto alarms = list();
    ASSERT_TRUE(alarms);
    ASSERT_EQ(alarms->size(), 13u);
    EXPECT_EQ(alarms->front().number, 0);
    EXPECT_EQ(alarms->back().number, 12);
    EXPECT_THAT(boxes, IsEmpty());

    CAlarmTable table;
    ASSERT_EQ(table.Open(pathBytes(paths.native(alarmTablePath(profile))).value().c_str()), 1);
    AlarmRecord record{};
    record.T02 = 7;
    EXPECT_EQ(table.ReadRecord(14, record), 0);
    EXPECT_EQ(table.ReadRecord(0, record), 0);
    EXPECT_EQ(record.T02, 7);
    EXPECT_THAT(boxes, IsEmpty());
}

TEST_F(CAlarmTableTest, FieldsTheTableLacksLeaveTheirMembersAlone) {
    QX_SKIP_WITHOUT_LINUX_PEERS();  // the tables are written by python3-dbf
    std::string file = sandbox.dir("root/db1").string() + "/vm001.dbf";
    makeSmallTable(file, "T02 N(4,0); T33 C(60)", "(91, 'x' * 60)", 3);
    CAlarmTable table;
    AlarmRecord record{};
    record.T01 = 5;
    std::strcpy(record.T31, "kept");
    EXPECT_EQ(table.ReadRecord(1, record), 0);  // no table open
    ASSERT_EQ(table.Open(file.c_str()), 1);
    ASSERT_EQ(table.ReadRecord(2, record), 1);
    EXPECT_EQ(record.T01, 5);
    EXPECT_STREQ(record.T31, "kept");
    EXPECT_EQ(record.T02, 91);
    EXPECT_EQ(std::string(record.T33), std::string(49, 'x'));  // cut to the member, not past it
    table.Close();
}

TEST_F(CAlarmTableTest, AReopenedTableFindsItsOwnFieldOrder) {
    QX_SKIP_WITHOUT_LINUX_PEERS();  // the tables are written by python3-dbf
    std::string first = sandbox.dir("root/db1").string() + "/first.dbf";
    std::string second = sandbox.dir("root/db1").string() + "/second.dbf";
    makeSmallTable(first, "T02 N(4,0); T33 C(20)", "(91, 'first')", 2);
    makeSmallTable(second, "t33 C(20); T01 N(4,0); t02 N(4,0)", "('second', 7, 91)", 2,
                   "{1: ('none', 7, 5)}");
    CAlarmTable table;
    ASSERT_EQ(table.Open(first.c_str()), 1);
    EXPECT_THAT(texts(collectAlarms(table, 0, 5)), ElementsAre("0  first", "1  first"));
    ASSERT_EQ(table.Open(second.c_str()), 1);
    EXPECT_THAT(texts(collectAlarms(table, 0, 5)), ElementsAre("1  second"));
    AlarmRecord record{};
    ASSERT_EQ(table.ReadRecord(2, record), 1);
    EXPECT_EQ(record.T01, 7);
    EXPECT_EQ(record.T02, 91);
    EXPECT_STREQ(record.T33, "second");
    table.Close();
    EXPECT_EQ(table.ReadRecord(2, record), 0);
}

}  // namespace
}  // namespace qx
