#include "Startup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "ActivityLog.h"
#include "Launcher.h"
#include "OnDemandThreads.h"
#include "Profile.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "ServiceBundle.h"
#include "SettingRecords.h"
#include "StringTable.h"
#include "ThreadSet.h"
#include "qxclass/CDatabase.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace qx {
namespace {

class NoLauncher : public Launcher {
public:
    Result<> run(std::string_view, std::chrono::seconds) override { return {}; }
    Result<> start(std::string_view, Show) override { return {}; }
};

class StartupTest : public ::testing::Test, public test::BasicServiceBundle<NoLauncher> {};

TEST_F(StartupTest, LanguageIsChosenByExactCode) {
    EXPECT_EQ(languageFileName(profile), "");
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Config", "DefaultLanguage", "dt"));
    EXPECT_EQ(languageFileName(profile), "");
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Config", "DefaultLanguage", "FR"));
    EXPECT_EQ(languageFileName(profile), "qxmovefr.lng");
}

TEST_F(StartupTest, MissingLanguageFileIsReportedAndBuiltInTextsStay) {
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Config", "DefaultLanguage", "DT"));
    loadLanguage(profile, paths, strings, prompts);
    // The file that ships beside the program stands in for a missing one: the Windows build tree has
    // it beside the tests too.
    const bool shipped = !shippedLanguageFile("qxmovedt.lng").empty();
    if (shipped)
        EXPECT_THAT(prompts.warnings(), IsEmpty());
    else
        EXPECT_THAT(prompts.warnings(),
                    ElementsAre("Error !|The resource dll qxmovedt.lng could not be loaded !"));
    // One in the profile directory comes first.
    sandbox.file("root/windows/qxmovedt.lng", "[Strings]\n108=Fehler !!\n");
    loadLanguage(profile, paths, strings, prompts);
    EXPECT_EQ(prompts.warnings().size(), shipped ? 0u : 1u);
    EXPECT_EQ(strings.get(kStrErrorCaption), "Fehler !!");
}

TEST_F(StartupTest, ActiveLaunchersBecomeTimedTasksOnce) {
    ASSERT_TRUE(profile.writeString("qxmover.ini", "StartMore", "Prog1", "first.exe"));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher1", "StartProgram", "idle.exe"));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher2", "StartProgram", "backup.bat 1"));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher2", "AtHour", "5"));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher2", "Active", "1"));
    // An hour that is no hour would make a task that never starts: the launcher stays as it is.
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher3", "StartProgram", "night.bat"));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher3", "AtHour", "24"));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher3", "Active", "1"));
    convertLegacyLaunchers(profile);
    convertLegacyLaunchers(profile);
    EXPECT_EQ(get("qxmover.ini", "StartMore", "Prog2"), "backup.bat 1");
    EXPECT_EQ(get("qxmover.ini", "StartMore", "Day2"), "0");
    EXPECT_EQ(get("qxmover.ini", "StartMore", "Time2"), "5");
    EXPECT_EQ(get("qxmover.ini", "StartMore", "Type2"), "0");
    EXPECT_EQ(get("qxmover.ini", "StartMore", "Prog3"), "<none>");
    EXPECT_EQ(get("qxmover.ini", "Launcher2", "Active"), "0");
    EXPECT_EQ(get("qxmover.ini", "Launcher1", "Active"), "<none>");
    EXPECT_EQ(get("qxmover.ini", "Launcher3", "Active"), "1");
}

TEST_F(StartupTest, LauncherStaysActiveWhenEveryTaskIsTaken) {
    for (int n = 1; n <= 49; ++n)
        ASSERT_TRUE(profile.writeString("qxmover.ini", "StartMore", "Prog" + std::to_string(n), "p"));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher1", "StartProgram", "late.exe"));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Launcher1", "Active", "1"));
    convertLegacyLaunchers(profile);
    EXPECT_EQ(get("qxmover.ini", "StartMore", "Prog50"), "<none>");
    EXPECT_EQ(get("qxmover.ini", "Launcher1", "Active"), "1");
}

TEST_F(StartupTest, WebTriggerStartsOnlyWithItsBatch) {
    EXPECT_FALSE(webTriggerWanted(profile, paths));
    EXPECT_EQ(get("qxmover.ini", "WebTrigger", "WebTriggerBat"), "\\qx_web\\bin\\qxphp.bat");
    EXPECT_EQ(get("qxmover.ini", "WebTrigger", "ActivateWebTrigger"), "<none>");

    sandbox.file("root/qx_web/bin/qxphp.bat", "rem\n");
    EXPECT_TRUE(webTriggerWanted(profile, paths));
    EXPECT_EQ(get("qxmover.ini", "WebTrigger", "ActivateWebTrigger"), "1");

    ASSERT_TRUE(profile.writeString("qxmover.ini", "WebTrigger", "ActivateWebTrigger", "2"));
    EXPECT_FALSE(webTriggerWanted(profile, paths));
    ASSERT_TRUE(profile.writeString("qxmover.ini", "WebTrigger", "ActivateWebTrigger", "0"));
    EXPECT_FALSE(webTriggerWanted(profile, paths));
}

// The watcher starts for a slot it watches: CheckJob<n> exactly 1, for every slot alike. Any other value
// (which once started a thread that then watched nothing) is told once and starts none.
TEST_F(StartupTest, JobWatcherIsWantedOnlyForAWatchedSlot) {
    const SettingReader settings = settingsOf(services);
    EXPECT_FALSE(jobWatcherWanted(settings));
    std::size_t told = 0;
    for (const char* bad : {"2", "5", "-1", "on"})
        for (int slot = 1; slot <= kJobSlots; ++slot) {
            const std::string key = "CheckJob" + std::to_string(slot);
            set("qxmover.ini", "JobDirWatcher", key.c_str(), bad);
            EXPECT_FALSE(jobWatcherWanted(settings)) << key << "=" << bad;
            EXPECT_FALSE(jobWatcherWanted(settings)) << key << "=" << bad;
            ++told;
            set("qxmover.ini", "JobDirWatcher", key.c_str(), "0");
        }
    for (int slot = 1; slot <= kJobSlots; ++slot) {
        const std::string key = "CheckJob" + std::to_string(slot);
        set("qxmover.ini", "JobDirWatcher", key.c_str(), "1");
        EXPECT_TRUE(jobWatcherWanted(settings)) << key;
        set("qxmover.ini", "JobDirWatcher", key.c_str(), "0");
    }
    const std::string logged = sandbox.read("work/log/qxmover_50.log");
    std::size_t lines = 0;
    for (std::size_t at = logged.find("the slot is not watched"); at != std::string::npos;
         at = logged.find("the slot is not watched", at + 1))
        ++lines;
    EXPECT_EQ(lines, told);
}

TEST_F(StartupTest, StartWritesMoverStartedWhenLoggingIsOn) {
    Startup(services).run();
    EXPECT_EQ(sandbox.read("work/log/qxmover_50.log"), "07.12, 08:05,  Mover started\n");
    EXPECT_EQ(state.moveMode, 1);

    ASSERT_TRUE(profile.writeString("qxmover.ini", "Config", "WriteLogFile", "0"));
    Startup(services).run();
    EXPECT_EQ(sandbox.read("work/log/qxmover_50.log"), "07.12, 08:05,  Mover started\n");
}

TEST_F(StartupTest, StartsTheAlwaysRunningThreads) {
    ClockMember self(clock);  // keeps the virtual time still while the test looks
    ThreadSet threads(clock);
    services.threads = &threads;
    Startup(services).run();
    // The alive log, the scheduler and the event watchdog, and nothing more while no setting asks for
    // the others.
    EXPECT_EQ(threads.size(), 3u);
    threads.stop();
    EXPECT_EQ(threads.size(), 0u);
}

TEST_F(StartupTest, MissingAlarmTableIsReportedAndStartGoesOn) {
    Startup(services).run();
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|Failed to open the database \\db1.\\vm001.dbf !"));
    EXPECT_TRUE(state.alarmKeys().empty());
    EXPECT_THAT(sandbox.read("work/log/qxmover_50.log"), ::testing::HasSubstr("Mover started"));
}

TEST_F(StartupTest, AlarmKeysOfTheTableAreShared) {
    ASSERT_TRUE(profile.writeString("qxalarm.ini", "config", "LastAlarmKey", "12"));
    sandbox.dir("root/DB1");
    {
        const FIELD4INFO fields[] = {{"T02", 'N', 4, 0}, {"T33", 'C', 49, 0}, {nullptr, 0, 0, 0}};
        CDatabase table;
        ASSERT_EQ(table.Create(sandbox.path("root/DB1/VM001.DBF").string().c_str(), fields), 1);
        for (int number = 0; number <= 12; ++number) {
            ASSERT_EQ(table.Append(), 1);
            table.Replace("T02", number == 11 ? 91 : 0);
            table.Replace("T33", number == 11 ? "Fire alarm hall 1" : "");
        }
        table.Close();
    }
    Startup(services).run();
    EXPECT_TRUE(prompts.warnings().empty());
    auto keys = state.alarmKeys();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].key, 11);
    EXPECT_EQ(keys[0].name, "Fire alarm hall 1");
}

}  // namespace
}  // namespace qx
