#include "JobSettings.h"

#include "JobsFixture.h"

namespace qx::test {
namespace {

class JobSettingsTest : public JobsTest {};

TEST_F(JobSettingsTest, ReadsWhatTheSettingsLoadReadsButWritesNothing) {
    EXPECT_EQ(readJobSettings(profile).start2ndBatch, false);
    EXPECT_FALSE(sandbox.exists("root/windows/qxmover.ini"));

    ini("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    ini("qxmover.ini", "Config", "WaitBeforeDel", "13");
    ini("qxmover.ini", "Config", "Start2ndBatch", "1");
    ini("qxmover.ini", "Config", "DelAlarmWavAfterWeeks", "-9");
    ini("qxmover.ini", "Config", "MoveToConferWav", "1");
    ini("qxmover.ini", "HDCheck", "Active", "1");
    ini("qxmover.ini", "HDCheck", "CheckDrives", "c:d:");
    ini("qxmover.ini", "AutoBackup", "Path", "\\save");
    std::string before = sandbox.read("root/windows/qxmover.ini");
    MoverSettings read = readJobSettings(profile);
    EXPECT_EQ(sandbox.read("root/windows/qxmover.ini"), before);

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

}  // namespace
}  // namespace qx::test
