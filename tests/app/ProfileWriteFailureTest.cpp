#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ActivityLog.h"
#include "Clock.h"
#include "PathMap.h"
#include "Profile.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "SharedState.h"
#include "Startup.h"
#include "StringTable.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace qx {
namespace {

// Writes that fail must be told: the callers of the profile writes, with a read-only qxmover.ini.
class ProfileWriteFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        QX_REQUIRE_CENTRAL_EUROPEAN_TIME();
        sandbox.dir("work/log");
    }
    void readOnlyIni(std::string_view content) {
        fs::path ini = sandbox.file("root/windows/qxmover.ini", content);
        fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    std::string logText() { return sandbox.read("work/log/qxmover_50.log"); }

    test::Sandbox sandbox;
    PathMap paths{sandbox.path("root"), sandbox.path("root/windows")};
    Profile profile{[this](std::string_view f) { return paths.profileFile(f); }};
    VirtualClock clock{fromLocal(2026, 12, 7, 8, 5)};
    SharedState state;
    test::RecordingPrompts prompts;
    StringTable strings;
    ActivityLog log{clock, state, sandbox.path("work/log")};
};

TEST_F(ProfileWriteFailureTest, LauncherStaysActiveWhenItsTaskCannotBeWritten) {
    const std::string ini = "[Launcher1]\r\nStartProgram=backup.bat\r\nAtHour=5\r\nActive=1\r\n";
    readOnlyIni(ini);
    convertLegacyLaunchers(profile, SettingReport{log, state.settingNotices});
    EXPECT_EQ(sandbox.read("root/windows/qxmover.ini"), ini);
    EXPECT_EQ(profile.getInt("qxmover.ini", "Launcher1", "Active", 0), 1);
    EXPECT_THAT(logText(),
                HasSubstr("Cannot write Day1 in [StartMore] of qxmover.ini: the file is read-only"));
}

TEST_F(ProfileWriteFailureTest, LoadLogsDefaultsThatCannotBeWritten) {
    readOnlyIni("[Config]\r\nWriteLogFile=1\r\n");
    MoverSettings s = loadSettings(profile, {}, &log);
    EXPECT_EQ(s.delAlarmWavAfterWeeks, 4);  // the default is still used
    EXPECT_THAT(logText(), HasSubstr("Cannot write Start2ndBatch in [Config] of qxmover.ini: the file is "
                                     "read-only"));
}

TEST_F(ProfileWriteFailureTest, SaveWarnsOnceNamingTheFirstKeyNotSaved) {
    readOnlyIni("[Config]\r\nWaitBeforeDel=10\r\n");
    MoverSettings s;
    s.checkDrives = "C:";
    saveSettings(profile, s, prompts, strings);
    EXPECT_THAT(
        prompts.warnings(),
        ElementsAre("Error !|Cannot write DelLogFiles in [Config] of qxmover.ini: the file is read-only"));
    // What could be written elsewhere was written.
    EXPECT_EQ(profile.getString("qxaview.ini", "Config", "AlarmSelectionRange", "", 40), "week");
}

TEST_F(ProfileWriteFailureTest, WebTriggerLogsTheDefaultBatchItCannotWrite) {
    readOnlyIni("[Config]\r\n");
    EXPECT_FALSE(webTriggerWanted(profile, paths, SettingReport{log, state.settingNotices}));
    EXPECT_THAT(logText(), HasSubstr("Cannot write WebTriggerBat in [WebTrigger] of qxmover.ini"));
}

}  // namespace
}  // namespace qx
