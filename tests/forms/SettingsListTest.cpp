#include "SettingsList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ActivityLog.h"
#include "ListEntries.h"
#include "Profile.h"
#include "ServiceBundle.h"
#include "StringTable.h"

using ::testing::ElementsAre;

namespace qx {
namespace {

class SettingsListTest : public ::testing::Test {
protected:
    void addDrives(int count) {
        for (int n = 1; n <= count; ++n)
            writeMonitoredDrive(s.profile, n,
                                {std::string(1, char('c' + n)) + ":", 80 + n, std::to_string(n)});
    }
    std::string drive(int n) {
        return s.get("qxmover.ini", "MonitorAddtionalDrives", ("Drive" + std::to_string(n)).c_str());
    }

    test::ServiceBundle s;
};

TEST_F(SettingsListTest, DeletingEntryTwoOfFourShiftsTheLaterOnesDown) {
    addDrives(4);
    // Moved as stored, byte for byte, however long: the shift once cut values at 255 characters.
    const std::string longAlarm = "12  " + std::string(300, '\xe4');
    s.set("qxmover.ini", "MonitorAddtionalDrives", "StartAlarm3", longAlarm);
    SettingsList list(s.profile, ListKind::Drives);
    list.removeEntry(2);
    EXPECT_EQ(s.get("qxmover.ini", "MonitorAddtionalDrives", "StartAlarm2"), longAlarm);
    EXPECT_EQ(drive(1), "d:");
    EXPECT_EQ(drive(2), "f:");
    EXPECT_EQ(drive(3), "g:");
    EXPECT_EQ(drive(4), "");
    EXPECT_EQ(s.get("qxmover.ini", "MonitorAddtionalDrives", "Space2"), "83");
    EXPECT_EQ(list.rows(s.strings).size(), 3u);
    EXPECT_EQ(list.newEntryNumber(), 4);
}

TEST_F(SettingsListTest, AWriteThatFailsEndsTheShiftAndSaysWhy) {
    addDrives(3);
    std::filesystem::permissions(s.sandbox.path("root/windows/qxmover.ini"),
                                 std::filesystem::perms::owner_read);
    EXPECT_EQ(SettingsList(s.profile, ListKind::Drives).removeEntry(1),
              "Cannot write Drive1 in [MonitorAddtionalDrives] of qxmover.ini: the file is read-only");
    EXPECT_EQ(drive(1), "d:");
    EXPECT_EQ(drive(2), "e:");
    EXPECT_EQ(drive(3), "f:");
}

TEST_F(SettingsListTest, EntriesFrom51UpAreNeverShifted) {
    for (int n = 1; n <= 52; ++n)
        s.set("qxmover.ini", "StartMore", ("Prog" + std::to_string(n)).c_str(),
              ("p" + std::to_string(n)).c_str());
    SettingsList list(s.profile, ListKind::TimedTasks);
    EXPECT_EQ(list.rows(s.strings).size(), 49u);
    // A 50th entry would be shown by no list and overwritten by the next Add.
    EXPECT_EQ(list.newEntryNumber(), std::nullopt);
    list.removeEntry(48);
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "Prog48"), "p49");
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "Prog50"), "p51");
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "Prog51"), "p51");
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "Prog52"), "p52");
}

TEST_F(SettingsListTest, DeletingATimedTaskMovesTheParametersOfTheLaterTasksWithThem) {
    writeTimedTask(s.profile, 1, {"first", 0, 1, 1, false});
    s.set("qxmover.ini", "QxeTaskParameter1", "s1", "one");
    s.set("qxmover.ini", "QxeTaskParameter1", "i5", "5");
    writeTimedTask(s.profile, 2, {"second", 0, 2, 1, false});
    s.set("qxmover.ini", "QxeTaskParameter2", "s1", "three");
    s.set("qxmover.ini", "QxeTaskParameter2", "i1", "27");
    writeTimedTask(s.profile, 3, {"backup.bat", 0, 3, 0, false});
    writeTimedTask(s.profile, 4, {"fourth", 0, 4, 1, false});
    s.set("qxmover.ini", "QxeTaskParameter4", "s9", "M\xe4rz");
    SettingsList list(s.profile, ListKind::TimedTasks);
    ASSERT_EQ(list.removeEntry(1), "");
    auto rows = list.rows(s.strings);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "second -s1three -i127");
    EXPECT_EQ(rows[1][0], "backup.bat");
    EXPECT_EQ(rows[2][0], "fourth -s9M\xe4rz");
    // The deleted task's parameters are gone with it, and none wait for the next task 4.
    EXPECT_EQ(s.get("qxmover.ini", "QxeTaskParameter1", "i5"), "<none>");
    EXPECT_EQ(s.get("qxmover.ini", "QxeTaskParameter2", "s1"), "<none>");
    EXPECT_EQ(s.get("qxmover.ini", "QxeTaskParameter4", "s9"), "<none>");
    EXPECT_THAT(s.sandbox.read("root/windows/qxmover.ini"),
                ::testing::Not(::testing::HasSubstr("[QxeTaskParameter4]")));
}

TEST_F(SettingsListTest, TimedTaskRowsNameDayTimeAndTypeWithModuleParameters) {
    writeTimedTask(s.profile, 1, {"backup.bat", 8, 5, 0, true});
    writeTimedTask(s.profile, 2, {"qxarun", 7, 23, 1, false});
    s.set("qxmover.ini", "QxeTaskParameter2", "s2", "nightly");
    s.set("qxmover.ini", "QxeTaskParameter2", "i3", "4");
    writeTimedTask(s.profile, 3, {"11 Fire", 0, 0, 2, false});
    auto rows = SettingsList(s.profile, ListKind::TimedTasks).rows(s.strings);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_THAT(rows[0], ElementsAre("backup.bat", "Every weekday", "05:00", "Program"));
    EXPECT_THAT(rows[1], ElementsAre("qxarun -s2nightly -i34", "Sunday", "23:00", "QXE Module"));
    EXPECT_THAT(rows[2], ElementsAre("11 Fire", "every day", "00:00", "Alarm"));
    // WeekParameter is written for program tasks only.
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "WeekParameter1"), "1");
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "WeekParameter2"), "<none>");
}

TEST_F(SettingsListTest, DeletionRowsNameAllFilesAndTheWeeks) {
    writeDeletionRule(s.profile, 1, {"\\qxt\\tmp", "*.*", 1});
    writeDeletionRule(s.profile, 2, {"\\qxt\\err", "*.err;*.log", 3});
    auto rows = SettingsList(s.profile, ListKind::ExtraDeletion).rows(s.strings);
    EXPECT_THAT(rows[0], ElementsAre("\\qxt\\tmp", "All files", "1 week"));
    EXPECT_THAT(rows[1], ElementsAre("\\qxt\\err", "*.err;*.log", "3 weeks"));
}

TEST(ListEntriesTest, DriveTextIsALetterAndAColon) {
    EXPECT_FALSE(validDriveText("d"));
    EXPECT_FALSE(validDriveText("dd"));
    EXPECT_FALSE(validDriveText("d:\\"));
    EXPECT_TRUE(validDriveText("d:"));
}

TEST_F(SettingsListTest, DeletionRuleForTheWorkingDirectoryIsRecognisedInAnyCase) {
    auto work = s.sandbox.path("work");
    EXPECT_TRUE(namesWorkingDirectory(work, work));
    EXPECT_TRUE(namesWorkingDirectory(work.string() + "/", work));
    EXPECT_TRUE(namesWorkingDirectory(s.sandbox.path("WORK"), work));
    EXPECT_TRUE(namesWorkingDirectory(".", work));
    EXPECT_FALSE(namesWorkingDirectory(s.sandbox.path("work/log"), work));
}

TEST_F(SettingsListTest, DeletionQuestionNamesPatternPathAndWeeks) {
    EXPECT_EQ(deletionQuestion(s.strings, {"\\tmp", "*.*", 2}),
              "Delete all files from directory \\tmp which are older than 2 weeks ?");
    EXPECT_EQ(deletionQuestion(s.strings, {"\\tmp", "*.log", 3}),
              "Delete files with the extension *.log from directory \\tmp which are older than 3 weeks ?");
}

TEST_F(SettingsListTest, ModuleChoicesAreTheQxeFilesOfTheWorkingDirectory) {
    s.sandbox.file("work/zeta.qxe");
    s.sandbox.file("work/alpha.QXE");
    s.sandbox.file("work/other.exe");
    EXPECT_THAT(moduleNames("."), ElementsAre("alpha", "zeta"));
}

}  // namespace
}  // namespace qx
