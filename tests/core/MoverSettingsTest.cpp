#include "MoverSettings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Profile.h"
#include "Prompts.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "StringTable.h"

namespace qx {
namespace {

class MoverSettingsTest : public ::testing::Test {
protected:
    std::string ini(const char* name) { return sandbox.read(std::string("windows/") + name); }
    void set(const char* file, const char* section, const char* key, const char* value) {
        ASSERT_TRUE(profile.writeString(file, section, key, value));
    }

    test::Sandbox sandbox;
    Profile profile{sandbox.dir("windows")};
    SharedState state;
    test::RecordingPrompts prompts;
    StringTable strings;
};

TEST_F(MoverSettingsTest, FirstLoadWritesTheMissingDefaultsOnly) {
    MoverSettings s = loadSettings(profile);
    EXPECT_EQ(
        ini("qxmover.ini"),
        "[Config]\r\nStart2ndBatch=0\r\nDeleteMoreFiles=0\r\nMoveConferWav=0\r\nMoveConferWavDaily=0\r\n"
        "DelAlarmWav=0\r\nDelAlarmWavAfterWeeks=4\r\nMoveConferWavToSubDir=0\r\nPrintReport=0\r\n"
        "StartSaveBaseAsPostjob=0\r\n");
    EXPECT_FALSE(sandbox.exists("windows/qxaview.ini"));
    EXPECT_EQ(s.moveMode, 1);
    EXPECT_EQ(s.waitBeforeDel, 10);
    EXPECT_EQ(s.delAlarmWavAfterWeeks, 4);
    EXPECT_TRUE(s.writeLogFile);
    EXPECT_EQ(s.autoBackupPath, "\\qxsavebase\\");
    // Neither MoveToConferWav nor DelConferWav is set: the subdirectory move is forced on.
    EXPECT_TRUE(s.moveConferWavToSubDir);

    std::string before = ini("qxmover.ini");
    loadSettings(profile);
    EXPECT_EQ(ini("qxmover.ini"), before);
}

TEST_F(MoverSettingsTest, StoredMinusNineCountsAsMissing) {
    set("qxmover.ini", "Config", "DelAlarmWavAfterWeeks", "-9");
    EXPECT_EQ(loadSettings(profile).delAlarmWavAfterWeeks, 4);
    EXPECT_EQ(profile.getInt("qxmover.ini", "Config", "DelAlarmWavAfterWeeks", 0), 4);
}

TEST_F(MoverSettingsTest, WaitIsBoundedByTheMode) {
    set("qxmover.ini", "Config", "WaitBeforeDel", "60");
    EXPECT_EQ(loadSettings(profile).waitBeforeDel, 52);
    set("qxmover.ini", "Config", "WaitBeforeDel", "53");
    EXPECT_EQ(loadSettings(profile).waitBeforeDel, 53);
    set("qxmover.ini", "Config", "WaitBeforeDel", "0");
    EXPECT_EQ(loadSettings(profile).waitBeforeDel, 1);
    set("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    set("qxmover.ini", "Config", "WaitBeforeDel", "13");
    MoverSettings monthly = loadSettings(profile);
    EXPECT_EQ(monthly.moveMode, 2);
    EXPECT_EQ(monthly.waitBeforeDel, 12);
}

TEST_F(MoverSettingsTest, OnlyExactRangeWordsMove) {
    set("qxaview.ini", "Config", "AlarmSelectionRange", "Week");
    set("qxmover.ini", "Config", "DelLogFiles", "1");
    set("qxmover.ini", "Config", "WaitBeforeDel", "7");
    MoverSettings previous;
    previous.waitBeforeDel = 3;
    MoverSettings s = loadSettings(profile, previous);
    EXPECT_EQ(s.moveMode, 0);
    EXPECT_FALSE(s.delLogFiles);
    EXPECT_EQ(s.waitBeforeDel, 3);
    EXPECT_EQ(profile.getInt("qxmover.ini", "Config", "DelLogFiles", 0), 1);
}

TEST_F(MoverSettingsTest, AlarmKeyCountsOnlyWhenTheAlarmIsOn) {
    set("qxmover.ini", "HDCheck", "AlarmKey", "77");
    EXPECT_EQ(loadSettings(profile).alarmKey, -1);
    set("qxmover.ini", "HDCheck", "StartAlarmIfLow", "1");
    EXPECT_EQ(loadSettings(profile).alarmKey, 77);
}

TEST_F(MoverSettingsTest, PublishesTheDiskMonitorsView) {
    set("qxmover.ini", "HDCheck", "Active", "1");
    set("qxmover.ini", "HDCheck", "CheckTime", "3");
    set("qxmover.ini", "HDCheck", "PhoneNumber", "0123");
    set("qxmover.ini", "HDCheck", "SendSMSIfLow", "2");
    set("qxmover.ini", "HDCheck", "SMSNumber", "0170");
    set("qxmover.ini", "HDCheck", "BatchProg", "low.bat");
    publishSettings(loadSettings(profile), state);
    DiskMonitorSettings d = state.diskMonitor();
    EXPECT_EQ(d.checkHour, 3);
    EXPECT_EQ(d.phoneNumber, "");
    EXPECT_EQ(d.smsNumber, "0170");
    EXPECT_EQ(d.batchProgram, "");
    EXPECT_EQ(d.alarmKey, -1);
    EXPECT_EQ(state.moveMode, 1);
}

TEST_F(MoverSettingsTest, SavingNoMoveClearsDelLogFilesAndWarnsWithoutDrive) {
    MoverSettings s = loadSettings(profile);
    s.moveMode = 0;
    s.delLogFiles = true;
    s.hdActive = true;
    s.autoBackupActive = false;
    s.autoBackupPath = "\\elsewhere\\";
    saveSettings(profile, s, prompts, strings);
    EXPECT_EQ(profile.getString("qxaview.ini", "Config", "AlarmSelectionRange", "", 40), "none");
    EXPECT_EQ(profile.getInt("qxmover.ini", "Config", "DelLogFiles", 9), 0);
    EXPECT_THAT(prompts.warnings(),
                ::testing::ElementsAre("Error !|Please select a harddisk to check for free diskspace !"));
    EXPECT_EQ(profile.getString("qxmover.ini", "HDCheck", "CheckDrives", "x", 256), "");
    EXPECT_EQ(profile.getString("qxmover.ini", "AutoBackup", "Active", "", 8), "0");
    EXPECT_EQ(profile.getString("qxmover.ini", "AutoBackup", "Path", "unset", 128), "unset");
    EXPECT_EQ(profile.getString("qxmover.ini", "HDCheck", "AlarmKey", "unset", 8), "unset");
}

TEST_F(MoverSettingsTest, SaveThenLoadGivesTheSameSettings) {
    MoverSettings s = loadSettings(profile);
    s.moveMode = 2;
    s.waitBeforeDel = 5;
    s.delLogFiles = true;
    s.start2ndBatch = true;
    s.reportType = 1;
    s.checkDrives = "C:D:";
    s.startAlarmIfLow = true;
    s.alarmKey = 42;
    s.autoBackupActive = true;
    s.autoBackupPath = "\\bak\\";
    saveSettings(profile, s, prompts, strings);
    MoverSettings again = loadSettings(profile);
    EXPECT_EQ(again.moveMode, 2);
    EXPECT_EQ(again.waitBeforeDel, 5);
    EXPECT_TRUE(again.delLogFiles);
    EXPECT_TRUE(again.start2ndBatch);
    EXPECT_EQ(again.reportType, 1);
    EXPECT_EQ(again.checkDrives, "C:D:");
    EXPECT_EQ(again.alarmKey, 42);
    EXPECT_EQ(again.autoBackupPath, "\\bak\\");
    EXPECT_TRUE(prompts.warnings().empty());
}

TEST_F(MoverSettingsTest, ReadingForTheJobsWritesNothing) {
    EXPECT_FALSE(readSettings(profile).start2ndBatch);
    EXPECT_FALSE(sandbox.exists("windows/qxmover.ini"));

    set("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    set("qxmover.ini", "Config", "WaitBeforeDel", "13");
    set("qxmover.ini", "Config", "Start2ndBatch", "1");
    set("qxmover.ini", "Config", "DelAlarmWavAfterWeeks", "-9");
    set("qxmover.ini", "Config", "MoveToConferWav", "1");
    set("qxmover.ini", "HDCheck", "Active", "1");
    set("qxmover.ini", "HDCheck", "CheckDrives", "c:d:");
    set("qxmover.ini", "AutoBackup", "Path", "\\save");
    std::string before = ini("qxmover.ini");
    MoverSettings read = readSettings(profile);
    EXPECT_EQ(ini("qxmover.ini"), before);

    MoverSettings loaded = loadSettings(profile);
    EXPECT_EQ(read.moveMode, loaded.moveMode);
    EXPECT_EQ(read.waitBeforeDel, 12);
    EXPECT_EQ(read.waitBeforeDel, loaded.waitBeforeDel);
    EXPECT_EQ(read.start2ndBatch, loaded.start2ndBatch);
    EXPECT_EQ(read.delAlarmWavAfterWeeks, loaded.delAlarmWavAfterWeeks);
    EXPECT_EQ(read.moveConferWavToSubDir, loaded.moveConferWavToSubDir);
    EXPECT_EQ(read.hdActive, loaded.hdActive);
    EXPECT_EQ(read.checkDrives, loaded.checkDrives);
    EXPECT_EQ(read.autoBackupPath, loaded.autoBackupPath);
    EXPECT_EQ(read.writeLogFile, loaded.writeLogFile);
}

TEST(StringTableTest, LanguageFileReplacesEntries) {
    test::Sandbox sandbox;
    StringTable strings;
    EXPECT_FALSE(strings.loadLanguageFile(sandbox.path("missing.lng")));
    sandbox.file("qxmovedt.lng", "[Strings]\r\n108=\"Fehler !\"\r\n116=Datenbank %1 nicht offen\r\n");
    EXPECT_TRUE(strings.loadLanguageFile(sandbox.path("qxmovedt.lng")));
    EXPECT_EQ(strings.get(kStrErrorCaption), "Fehler !");
    EXPECT_EQ(strings.format(kStrOpenDatabaseFailed, "x.dbf"), "Datenbank x.dbf nicht offen");
    EXPECT_EQ(strings.get(kStrConfirmCaption), "Please confirm ...");
    EXPECT_EQ(strings.get(9999), "");
}

}  // namespace
}  // namespace qx
