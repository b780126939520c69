#include "SchedulerThread.h"

#include <algorithm>

#include "JobsFixture.h"
#include "ThreadSet.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

class SchedulerThreadTest : public JobsTest {
protected:
    // The scheduler's own thread on the virtual clock, from `start` until `until`; `check` runs on the
    // way at each of `stops` while the scheduler waits for the clock.
    void rehearse(SysTime start, SysTime until,
                  std::vector<std::pair<SysTime, std::function<void()>>> stops = {}) {
        clock.advanceTo(start);
        ThreadSet threads(clock);
        {
            // Enrolled before the thread starts: alone, the thread would let the clock run on.
            ClockMember self(clock);
            threads.start("SchedulerThread", [this](std::stop_token stop) { scheduler.run(stop); });
            for (auto& [time, check] : stops) {
                clock.sleepUntil(time, threads.token());
                check();
            }
            clock.sleepUntil(until, threads.token());
            threads.stop();  // before leaving the clock, which would let it run on
        }
    }

    void weeklySettings() {
        ini("qxaview.ini", "Config", "AlarmSelectionRange", "week");
        ini("qxmover.ini", "Config", "WaitBeforeDel", "2");
        ini("qxmover.ini", "Config", "DelLogFiles", "1");
        ini("qxmover.ini", "Config", "Start2ndBatch", "1");
    }

    // The lines the recording scripts wrote (a batch file's echo ends them in CR LF).
    std::string record() const {
        std::string text = sandbox.exists("record.txt") ? sandbox.read("record.txt") : "";
        std::erase(text, '\r');
        return text;
    }

    SchedulerThread scheduler{services, &hooks, &files};
};

TEST_F(SchedulerThreadTest, WeeklyRehearsalFromSundayNightToMondayMorning) {
    weeklySettings();
    std::unique_ptr<Launcher> real = makeSystemLauncher(paths);
    launcher.forwardTo = real.get();
    sandbox.recordingScript("work/qxmove2.bat", sandbox.path("record.txt"));
    sandbox.recordingScript("work/qxdel2.bat", sandbox.path("record.txt"));

    const SysTime oldTime = at(2026, 12, 5, 10);
    const SysTime youngTime = at(2026, 12, 6, 20);  // five hours before the move at 01:00
    std::vector<std::string> moved;
    for (std::string_view pattern : kStatisticPatterns) {
        std::string name = "a" + std::string(pattern.substr(1));
        sandbox.file("root/qxt/log/" + name, name, oldTime);
        moved.push_back(name);
    }
    sandbox.file("root/qxt/log/LINE0001.LOG", "being written", youngTime);
    sandbox.file("root/qxt/log/qxalarm.log", "rotated", youngTime);
    sandbox.file("root/qxt/log/qxaview.inf", "viewer", oldTime);
    sandbox.file("root/qxt/log/b.INF", "viewer", youngTime);
    sandbox.file("root/qxt/log/keep.xyz", "not statistic", oldTime);
    sandbox.dir("root/qxt/log/sub.log");
    for (std::string_view pattern : kDeletionPatterns)
        sandbox.file("root/qxt/log/log47/z" + std::string(pattern.substr(1)), "two weeks old", oldTime);
    sandbox.file("root/qxt/log/log47/other.xyz", "not statistic", oldTime);

    auto atMidnight = [&] {
        EXPECT_THAT(namesIn(logDir() / "log49"), ElementsAre(".qxcycle", "b.INF", "qxaview.inf"));
        EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));
        EXPECT_EQ(record(), "");
    };
    rehearse(at(2026, 12, 6, 23, 50), at(2026, 12, 7, 1, 5), {{at(2026, 12, 7, 0, 30), atMidnight}});

    EXPECT_THAT(namesIn(logDir()), ElementsAre("LINE0001.LOG", "keep.xyz", "log47", "log49", "sub.log"));
    moved.insert(moved.end(), {".qxcycle", "LINE0001.LOG", "b.INF", "qxalarm.log", "qxaview.inf"});
    std::sort(moved.begin(), moved.end());
    EXPECT_THAT(namesIn(logDir() / "log49"), ElementsAreArray(moved));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/LINE0001.LOG"), "being written");
    EXPECT_EQ(sandbox.read("root/qxt/log/LINE0001.LOG"), "being written");
    EXPECT_THAT(namesIn(logDir() / "log47"), ElementsAre("other.xyz"));
    EXPECT_EQ(record(), "qxmove2.bat [49] [50] [12] [2026]\nqxdel2.bat [47]\n");
    EXPECT_THAT(
        activity(50),
        ElementsAre("07.12, 00:00,  Moved inf files to directory " + joinedPath("log49"),
                    "07.12, 00:00,  Move wavfiles to directory " + joinedPath("confwav/wav49"),
                    "07.12, 01:00,  Move all logfiles to directory " + joinedPath("log49"),
                    "07.12, 01:00,  Delete all files in directory " + joinedPath("log47"),
                    "07.12, 01:00,  Deleted 28 files in " + shownPath("log47") +
                        ": WaitBeforeDel 2 weeks have passed",
                    "07.12, 01:00,  Delete wavfiles from subdirectory " + joinedPath("confwav/wav47")));
    EXPECT_THAT(activity(49), IsEmpty());
    EXPECT_THAT(prompts.warnings(), IsEmpty());
}

TEST_F(SchedulerThreadTest, MonthlyBatchStartsOnceAtTheMonthChange) {
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    ini("qxmover.ini", "Config", "WaitBeforeDel", "2");
    ini("qxmover.ini", "Config", "DelLogFiles", "1");
    ini("qxmover.ini", "Config", "Start2ndBatch", "1");
    std::unique_ptr<Launcher> real = makeSystemLauncher(paths);
    launcher.forwardTo = real.get();
    for (const char* batch : {"work/qxmover.bat", "work/qxlogdel.bat", "work/qxmove2.bat"})
        sandbox.recordingScript(batch, sandbox.path("record.txt"));

    rehearse(at(2026, 11, 30, 23, 50), at(2026, 12, 1, 1, 5));

    EXPECT_EQ(record(), "qxmover.bat [" + logDir().string() + "] [log11]\nqxlogdel.bat [" + logPath("log09") +
                            "]\nqxmove2.bat [48]\n");
    EXPECT_EQ(state.rememberedMonth.load(), 12);
    EXPECT_EQ(state.dueMonth.load(), 10);
    // The batches get native paths; the log names them as configured.
    EXPECT_THAT(
        activity(49),
        ElementsAre("01.12, 00:00,  Start move batchprogram qxmover.bat \\qxt\\log log11",
                    "01.12, 00:00,  Move wavfiles to directory " + joinedPath("confwav/wav11"),
                    "01.12, 00:00,  Start del batchprogram qxlogdel.bat " + joinedPath("log09"),
                    "01.12, 00:00,  Delete wavfiles from subdirectory " + joinedPath("confwav/wav09")));
}

TEST_F(SchedulerThreadTest, WeeksAreComputedAfreshNotTakenFromTheDayLatch) {
    weeklySettings();
    // The clock timer's values of last week: its latch skipped this midnight after a Sunday start.
    state.previousWeek = 48;
    state.dueWeek = 46;
    sandbox.file("root/qxt/log/a.dbf", "this week", at(2026, 12, 5, 10));
    sandbox.file("root/qxt/log/log48/a.dbf", "last week");
    scheduler.begin(at(2026, 12, 6, 15));
    clock.advanceTo(at(2026, 12, 7, 1));
    scheduler.pass(at(2026, 12, 7, 1));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "this week");
    EXPECT_EQ(sandbox.read("root/qxt/log/log48/a.dbf"), "last week");
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden qxmove2.bat 49 50 12 2026", "start hidden qxdel2.bat 47"));
    EXPECT_EQ(state.previousWeek.load(), 48);  // the display's values stay the timer's
}

TEST_F(SchedulerThreadTest, TopOfTheHourIsHandledOnce) {
    ini("qxmover.ini", "StartMore", "Prog1", "hourly.exe");
    ini("qxmover.ini", "StartMore", "Time1", "2");
    // 25 October 2026: at 03:00 summer time the clocks go back to 02:00, so 02:00 comes twice.
    const SysTime one = at(2026, 10, 25, 1);
    scheduler.begin(one);
    for (SysTime t : {one + std::chrono::minutes(59), one + std::chrono::hours(1),
                      one + std::chrono::hours(1) + std::chrono::seconds(40), one + std::chrono::minutes(61),
                      one + std::chrono::hours(2)})
        scheduler.pass(t);
    EXPECT_EQ(toLocal(one + std::chrono::hours(2)).hour, 2);
    EXPECT_THAT(launcher.calls(), ElementsAre("start shown hourly.exe"));
}

// 28 March 2027: the clocks go from 02:00 to 03:00 in Berlin. The 02:00 task and the 02:00 disk check
// run at 03:00, once, before the 03:00 work; no other hour runs anything twice.
TEST_F(SchedulerThreadTest, WorkOfAnHourSkippedByDaylightSavingRunsOnceAfterTheGap) {
    ini("qxmover.ini", "StartMore", "Prog1", "two.exe");
    ini("qxmover.ini", "StartMore", "Time1", "2");
    ini("qxmover.ini", "StartMore", "Prog2", "three.exe");
    ini("qxmover.ini", "StartMore", "Time2", "3");
    ini("qxmover.ini", "HDCheck", "Active", "1");
    ini("qxmover.ini", "HDCheck", "CheckTime", "2");
    ini("qxmover.ini", "HDCheck", "CheckDrives", "c:");
    const SysTime one = at(2027, 3, 28, 1);
    scheduler.begin(one);
    clock.advanceTo(one);
    for (int minute = 0; minute <= 3 * 60; ++minute)
        scheduler.pass(one + std::chrono::minutes(minute));
    EXPECT_EQ(toLocal(one + std::chrono::hours(1)).hour, 3);
    EXPECT_THAT(launcher.calls(), ElementsAre("start shown two.exe", "start shown three.exe"));
    EXPECT_THAT(hooks.calls(), ElementsAre("checkDrive C:", "checkAdditionalDrives"));
}

// A disk check hour that no day has (24, 31, -1) switched the check off without a word.
TEST_F(SchedulerThreadTest, DiskCheckHourOutOfRangeTakesItsDefaultAndIsToldOnce) {
    ini("qxmover.ini", "HDCheck", "Active", "1");
    ini("qxmover.ini", "HDCheck", "CheckTime", "24");
    ini("qxmover.ini", "HDCheck", "CheckDrives", "c:");
    scheduler.begin(at(2026, 12, 9, 6));
    clock.advanceTo(at(2026, 12, 9, 6));
    for (int minute = 0; minute <= 90; ++minute)
        scheduler.pass(at(2026, 12, 9, 6) + std::chrono::minutes(minute));
    EXPECT_THAT(hooks.calls(), ElementsAre("checkDrive C:", "checkAdditionalDrives"));
    EXPECT_THAT(activity(50),
                ElementsAre("09.12, 06:00,  qxmover.ini [HDCheck] CheckTime=24 is out of range (0 "
                            "to 23); 7 is used instead"));
}

TEST_F(SchedulerThreadTest, SettingsTakeEffectAtTheNextPass) {
    ini("qxmover.ini", "StartMore", "Prog1", "first.exe");
    ini("qxmover.ini", "StartMore", "Time1", "9");
    scheduler.begin(at(2026, 12, 9, 8));
    clock.advanceTo(at(2026, 12, 9, 10));
    scheduler.pass(at(2026, 12, 9, 9));
    ini("qxmover.ini", "StartMore", "Prog1", "changed.exe");
    ini("qxmover.ini", "StartMore", "Time1", "10");
    scheduler.pass(at(2026, 12, 9, 10));
    EXPECT_THAT(launcher.calls(), ElementsAre("start shown first.exe", "start shown changed.exe"));
}

TEST_F(SchedulerThreadTest, DiskCheckAtItsHourForTheChosenDrivesInOrder) {
    ini("qxmover.ini", "HDCheck", "CheckTime", "7");
    ini("qxmover.ini", "HDCheck", "CheckDrives", "f:d:c:");
    scheduler.begin(at(2026, 12, 9, 6));
    clock.advanceTo(at(2026, 12, 9, 8));
    scheduler.pass(at(2026, 12, 9, 7));  // not active
    ini("qxmover.ini", "HDCheck", "Active", "1");
    scheduler.pass(at(2026, 12, 10, 7));
    scheduler.pass(at(2026, 12, 10, 8));
    EXPECT_THAT(hooks.calls(),
                ElementsAre("checkDrive C:", "checkDrive D:", "checkDrive F:", "checkAdditionalDrives"));
}

TEST_F(SchedulerThreadTest, BackupStartsOncePerMonday) {
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "none");
    ini("qxmover.ini", "AutoBackup", "Active", "1");
    std::string target = sandbox.path("root/qxsavebase").string();
    scheduler.begin(at(2026, 12, 6, 12));
    clock.advanceTo(at(2026, 12, 15, 2));
    scheduler.pass(at(2026, 12, 7, 0));
    ini("qxmover.ini", "Config", "StartSaveBaseAsPostjob", "1");
    // Not again at 01:00, where two backups would run into one target at once.
    scheduler.pass(at(2026, 12, 7, 1));
    scheduler.pass(at(2026, 12, 7, 2));
    scheduler.pass(at(2026, 12, 8, 0));
    scheduler.pass(at(2026, 12, 14, 0));
    scheduler.pass(at(2026, 12, 14, 1));
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden qxsavebase.exe " + target,
                            "run qxtque.exe postjob 1 _startprog -s1qxsavebase.exe -s2" + target));
}

TEST_F(SchedulerThreadTest, RememberedMonthFollowsTheCalendarOutsideMonthlyMode) {
    // Weekly since October; switched to monthly in November: the first monthly job hands on November.
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "week");
    ini("qxmover.ini", "Config", "WaitBeforeDel", "2");
    scheduler.begin(at(2026, 10, 20, 12));
    clock.advanceTo(at(2026, 12, 2, 0));
    scheduler.pass(at(2026, 11, 2, 12, 30));
    EXPECT_EQ(state.rememberedMonth.load(), 11);
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    scheduler.pass(at(2026, 11, 16, 12, 30));
    EXPECT_EQ(state.dueMonth.load(), 9);
    scheduler.pass(at(2026, 12, 1, 0));
    scheduler.pass(at(2026, 12, 1, 1));
    EXPECT_THAT(launcher.calls(), ElementsAre("start hidden qxmover.bat " + logDir().string() + " log11"));
    EXPECT_EQ(state.rememberedMonth.load(), 12);
}

TEST_F(SchedulerThreadTest, HousekeepingHooksFollowTheirSettings) {
    ini("qxmover.ini", "Config", "MoveConferWav", "1");
    ini("qxmover.ini", "Config", "MoveConferWavDaily", "1");
    ini("qxmover.ini", "Config", "DelAlarmWav", "1");
    ini("qxmover.ini", "Config", "DeleteMoreFiles", "1");
    scheduler.begin(at(2026, 12, 6, 12));
    clock.advanceTo(at(2026, 12, 8, 2));
    scheduler.pass(at(2026, 12, 7, 0));  // Monday: daily conference job, then the weekly half's jobs
    scheduler.pass(at(2026, 12, 7, 1));  // the daily job again
    ini("qxmover.ini", "Config", "MoveConferWavDaily", "0");
    scheduler.pass(at(2026, 12, 8, 0));  // Tuesday: nothing
    EXPECT_THAT(hooks.calls(), ElementsAre("conferenceRecordings", "alarmRecordings", "extraDeletion",
                                           "conferenceRecordings"));
}

TEST_F(SchedulerThreadTest, HousekeepingRunsEachMondayWhateverTheMoveMode) {
    ini("qxmover.ini", "Config", "MoveConferWav", "1");
    ini("qxmover.ini", "Config", "DelAlarmWav", "1");
    ini("qxmover.ini", "Config", "DeleteMoreFiles", "1");
    scheduler.begin(at(2026, 12, 6, 12));
    clock.advanceTo(at(2026, 12, 22, 2));
    // Monthly, then "no move": the jobs of Monday 00:00 without the weekly move's files; once a week.
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    scheduler.pass(at(2026, 12, 7, 0));
    scheduler.pass(at(2026, 12, 7, 1));
    scheduler.pass(at(2026, 12, 8, 0));
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "");
    scheduler.pass(at(2026, 12, 14, 0));
    scheduler.pass(at(2026, 12, 14, 1));
    // Switched off: nothing is owed, nor caught up when they come on again later in the week.
    for (const char* key : {"MoveConferWav", "DelAlarmWav", "DeleteMoreFiles"})
        ini("qxmover.ini", "Config", key, "0");
    scheduler.pass(at(2026, 12, 21, 0));
    ini("qxmover.ini", "Config", "DelAlarmWav", "1");
    scheduler.pass(at(2026, 12, 21, 12));
    const std::vector<std::string> week{"conferenceRecordings", "alarmRecordings", "extraDeletion"};
    std::vector<std::string> twice = week;
    twice.insert(twice.end(), week.begin(), week.end());
    EXPECT_THAT(hooks.calls(), ElementsAreArray(twice));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log50"));
}

TEST_F(SchedulerThreadTest, FailedSecondBatchShowsItsBoxAndTheWorkGoesOn) {
    weeklySettings();
    launcher.missing.insert("qxmove2.bat");
    ini("qxmover.ini", "StartMore", "Prog1", "after.exe");
    ini("qxmover.ini", "StartMore", "Time1", "2");
    scheduler.begin(at(2026, 12, 6, 12));
    clock.advanceTo(at(2026, 12, 7, 2));
    scheduler.pass(at(2026, 12, 7, 1));
    scheduler.pass(at(2026, 12, 7, 2));
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|Unable to start qxmove2.bat program !"));
    EXPECT_THAT(launcher.calls(), ElementsAre("start hidden qxmove2.bat 49 50 12 2026",
                                              "start hidden qxdel2.bat 47", "start shown after.exe"));
}

TEST_F(SchedulerThreadTest, ThreadGoesOnAfterAFailingPass) {
    weeklySettings();
    sandbox.file("root/qxt/log/a.dbf", "x", at(2026, 12, 1, 0));
    // The week directory cannot be made: a file is in the way and md fails too.
    sandbox.file("root/qxt/log/log49", "in the way");
    launcher.missing.insert("md");
    ini("qxmover.ini", "Config", "Start2ndBatch", "0");
    ini("qxmover.ini", "StartMore", "Prog1", "later.exe");
    ini("qxmover.ini", "StartMore", "Time1", "3");
    rehearse(at(2026, 12, 7, 0, 30), at(2026, 12, 7, 3, 5));
    EXPECT_EQ(sandbox.read("root/qxt/log/a.dbf"), "x");
    EXPECT_THAT(launcher.calls(), Contains("start shown later.exe"));
    EXPECT_THAT(activity(50),
                Contains(::testing::HasSubstr("Cannot create directory " + joinedPath("log49"))));
}

}  // namespace
}  // namespace qx::test
