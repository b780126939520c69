#include "JobWatcherThread.h"

#include "Clock.h"
#include "JobsFixture.h"
#include "Profile.h"
#include "ThreadSet.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

class JobWatcherTest : public JobsTest {
protected:
    void slot(int n, const std::string& directory, int moveFiles = 0, const std::string& moveDir = "") {
        const std::string number = std::to_string(n);
        ini("qxmover.ini", "JobDirWatcher", ("CheckJob" + number).c_str(), "1");
        ini("qxmover.ini", "JobDirWatcher", ("CheckDir" + number).c_str(), directory);
        ini("qxmover.ini", "JobDirWatcher", ("MoveFiles" + number).c_str(), std::to_string(moveFiles));
        ini("qxmover.ini", "JobDirWatcher", ("MoveDir" + number).c_str(), moveDir);
    }
    void alarmReaction(const std::string& alarm) {
        ini("qxmover.ini", "JobDirWatcher", "StartOnErrorType", "1");
        ini("qxmover.ini", "JobDirWatcher", "StartOnErrorAlarm", alarm);
    }
    // "clean", "reacted", or why the reaction could not start.
    std::string check(const std::string& directory, SysTime now, int moveFiles = 0,
                      const std::string& moveDir = "") {
        clock.advanceTo(now);
        const Result<bool> checked =
            CheckJobDir(services, files, JobSlot{true, directory, moveFiles != 0, moveDir}, now);
        return !checked ? checked.reason() : checked.value() ? "reacted" : "clean";
    }

    JobWatcherThread watcher{services, files};
};

TEST_F(JobWatcherTest, AgeAcrossMidnightAndAcrossDays) {
    alarmReaction("12");
    sandbox.file("root/qxt/jobs/a.job", "", at(2026, 12, 8, 23, 50));
    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 0, 5)), "clean");   // 15 minutes
    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 0, 10)), "clean");  // exactly 20
    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 0, 11)), "reacted");
    EXPECT_THAT(launcher.calls(), ElementsAre("run qxe qxarun 1 -i412"));
    EXPECT_THAT(activity(50),
                ElementsAre("09.12, 00:11,  Alarm 12 started because old JOB files found in \\qxt\\jobs"));

    // Left since yesterday morning: stale, not ten minutes old.
    sandbox.file("root/qxt/old/b.job", "", at(2026, 12, 8, 9, 0));
    EXPECT_EQ(check("\\qxt\\old", at(2026, 12, 9, 9, 10)), "reacted");
}

TEST_F(JobWatcherTest, WithoutMovingTheScanStopsAtTheFirstStaleFile) {
    for (const char* name : {"a.job", "b.job", "c.job"})
        sandbox.file(std::string("root/qxt/jobs/") + name, "", at(2026, 12, 9, 8));
    sandbox.dir("root/qxt/stale");
    ini("qxmover.ini", "JobDirWatcher", "StartOnErrorProg", "notify.exe \"jobs stuck\"");

    EXPECT_EQ(check("\\QXT\\Jobs\\", at(2026, 12, 9, 9), 0, "\\qxt\\stale"), "reacted");

    EXPECT_TRUE(sandbox.exists("root/qxt/jobs/a.job"));
    EXPECT_THAT(launcher.calls(), ElementsAre("run notify.exe \"jobs stuck\""));
    // The directory text is lower-cased for everything, the log line included.
    EXPECT_THAT(activity(50),
                ElementsAre("09.12, 09:00,  Program notify.exe \"jobs stuck\" started because old "
                            "JOB files found in \\qxt\\jobs\\"));
}

TEST_F(JobWatcherTest, MovingTakesEveryStaleEntryThenReactsOnce) {
    alarmReaction("15");
    sandbox.file("root/qxt/jobs/a.job", "a", at(2026, 12, 9, 8));
    sandbox.file("root/qxt/jobs/b.job", "b", at(2026, 12, 9, 8));
    sandbox.file("root/qxt/jobs/young.job", "y", at(2026, 12, 9, 8, 50));
    sandbox.file("root/qxt/jobs/other.tmp", "t", at(2026, 12, 9, 8));
    sandbox.dir("root/qxt/stale");

    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 9), 1, "\\qxt\\stale"), "reacted");

    EXPECT_EQ(sandbox.read("root/qxt/stale/a.job"), "a");
    EXPECT_EQ(sandbox.read("root/qxt/stale/b.job"), "b");
    EXPECT_TRUE(sandbox.exists("root/qxt/jobs/young.job"));
    EXPECT_TRUE(sandbox.exists("root/qxt/jobs/other.tmp"));
    EXPECT_THAT(launcher.calls(), ElementsAre("run qxe qxarun 1 -i415"));

    // Nothing stale is left, so nothing happens.
    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 9, 5), 1, "\\qxt\\stale"), "clean");
    EXPECT_EQ(launcher.calls().size(), 1u);
}

TEST_F(JobWatcherTest, MissingMoveDirectoryMovesNothingButStillReacts) {
    alarmReaction("15");
    sandbox.file("root/qxt/jobs/a.job", "a", at(2026, 12, 9, 8));
    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 9), 1, "\\qxt\\missing"), "reacted");
    EXPECT_TRUE(sandbox.exists("root/qxt/jobs/a.job"));
    EXPECT_EQ(launcher.calls().size(), 1u);
}

TEST_F(JobWatcherTest, PatternSlotSearchesItsOwnFilesAndMovesFromItsDirectory) {
    alarmReaction("15");
    sandbox.file("root/qxt/spool/a.tmp", "t", at(2026, 12, 9, 8));
    sandbox.file("root/qxt/spool/b.job", "j", at(2026, 12, 9, 8));
    sandbox.dir("root/qxt/stale");

    EXPECT_EQ(check("\\qxt\\spool\\*.TMP", at(2026, 12, 9, 9), 1, "\\qxt\\stale"), "reacted");

    EXPECT_TRUE(sandbox.exists("root/qxt/stale/a.tmp"));
    EXPECT_TRUE(sandbox.exists("root/qxt/spool/b.job"));
    EXPECT_EQ(check("\\qxt\\nowhere", at(2026, 12, 9, 9)), "clean");
}

TEST_F(JobWatcherTest, OnlyOneEnablesASlotAndTheIntervalIsWrittenBack) {
    slot(1, "\\qxt\\one");
    slot(2, "\\qxt\\two");
    ini("qxmover.ini", "JobDirWatcher", "CheckJob2", "2");
    alarmReaction("15");
    sandbox.file("root/qxt/one/a.job", "", at(2026, 12, 9, 8));
    sandbox.file("root/qxt/two/a.job", "", at(2026, 12, 9, 8));

    EXPECT_EQ(watcher.checkAll(at(2026, 12, 9, 9)).reactions, 1);
    EXPECT_EQ(watcher.readInterval(), std::chrono::minutes(5));
    EXPECT_EQ(profile.getString("qxmover.ini", "JobDirWatcher", "CheckJobIntervalMin", "", 8), "5");
    ini("qxmover.ini", "JobDirWatcher", "CheckJobIntervalMin", "-3");
    EXPECT_EQ(watcher.readInterval(), std::chrono::minutes(5));
    // Past a week is a typing error: the interval would overflow the sleep and the thread would spin.
    ini("qxmover.ini", "JobDirWatcher", "CheckJobIntervalMin", "200000000");
    EXPECT_EQ(watcher.readInterval(), std::chrono::minutes(5));
    EXPECT_THAT(activity(49), Contains(HasSubstr("CheckJobIntervalMin=200000000 is out of range")));
}

// A stale a.job moved out of the way never replaces the a.job that an earlier stall put there.
TEST_F(JobWatcherTest, MovingNeverReplacesAFileOfTheSameName) {
    alarmReaction("15");
    sandbox.file("root/qxt/jobs/a.job", "new", at(2026, 12, 9, 8));
    sandbox.file("root/qxt/jobs/b.job", "b", at(2026, 12, 9, 8));
    sandbox.file("root/qxt/stale/a.job", "earlier", at(2026, 12, 8, 8));

    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 9), 1, "\\qxt\\stale"), "reacted");

    EXPECT_EQ(sandbox.read("root/qxt/stale/a.job"), "earlier");
    EXPECT_EQ(sandbox.read("root/qxt/jobs/a.job"), "new");
    EXPECT_EQ(sandbox.read("root/qxt/stale/b.job"), "b");
    EXPECT_THAT(
        activity(50),
        ElementsAre("09.12, 09:00,  JOB file a.job not moved to \\qxt\\stale: a file of that name is there "
                    "already",
                    "09.12, 09:00,  Alarm 15 started because old JOB files found in \\qxt\\jobs"));
}

// A job file dated more than a day ahead came from a wrong clock: it is stale at once, and the log
// says why. Less than a day ahead is left alone as before.
TEST_F(JobWatcherTest, FileDatedMoreThanADayAheadIsStaleAtOnce) {
    alarmReaction("15");
    sandbox.file("root/qxt/soon/a.job", "", at(2026, 12, 10, 8));
    EXPECT_EQ(check("\\qxt\\soon", at(2026, 12, 9, 9)), "clean");
    sandbox.file("root/qxt/far/a.job", "", at(2030, 1, 1, 0));
    EXPECT_EQ(check("\\qxt\\far", at(2026, 12, 9, 9)), "reacted");
    EXPECT_THAT(
        activity(50),
        ElementsAre("09.12, 09:00,  JOB file a.job in \\qxt\\far is dated 2030-01-01 00:00:00, more than a "
                    "day ahead: taken as stale",
                    "09.12, 09:00,  Alarm 15 started because old JOB files found in \\qxt\\far"));
}

// A reaction that could not be started is never logged as started, and text where the alarm number
// belongs starts no alarm 0.
TEST_F(JobWatcherTest, ReactionThatCouldNotStartIsToldAsSuch) {
    sandbox.file("root/qxt/jobs/a.job", "", at(2026, 12, 9, 8));
    alarmReaction("15");
    launcher.missing = {"qxe"};
    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 9)),
              "Old JOB files found in \\qxt\\jobs, but alarm 15 could not be started");
    ini("qxmover.ini", "JobDirWatcher", "StartOnErrorType", "0");
    ini("qxmover.ini", "JobDirWatcher", "StartOnErrorProg", "notify.exe");
    launcher.missing = {"notify.exe"};
    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 9, 1)),
              "Old JOB files found in \\qxt\\jobs, but program notify.exe could not be started");
    alarmReaction("abc");
    EXPECT_EQ(check("\\qxt\\jobs", at(2026, 12, 9, 9, 2)),
              "Old JOB files found in \\qxt\\jobs, but StartOnErrorAlarm names no alarm: nothing started");

    EXPECT_THAT(launcher.calls(), ElementsAre("run qxe qxarun 1 -i415", "run notify.exe"));
    EXPECT_THAT(
        activity(50),
        ElementsAre("09.12, 09:00,  Old JOB files found in \\qxt\\jobs, but alarm 15 could not be started",
                    "09.12, 09:01,  Old JOB files found in \\qxt\\jobs, but program notify.exe could not be "
                    "started",
                    "09.12, 09:02,  qxmover.ini [JobDirWatcher] StartOnErrorAlarm=abc is not a number; no "
                    "alarm is started",
                    "09.12, 09:02,  Old JOB files found in \\qxt\\jobs, but StartOnErrorAlarm names no "
                    "alarm: nothing started"));
}

// The thread on the virtual clock: a slot that reacted holds the next slot back an hour.
TEST_F(JobWatcherTest, NextSlotIsExaminedAnHourAfterAReaction) {
    slot(1, "\\qxt\\one");
    slot(3, "\\qxt\\three");
    ini("qxmover.ini", "JobDirWatcher", "CheckJobIntervalMin", "10");
    alarmReaction("15");
    sandbox.file("root/qxt/one/a.job", "", at(2026, 12, 9, 8));
    sandbox.file("root/qxt/three/a.job", "", at(2026, 12, 9, 8));

    clock.advanceTo(at(2026, 12, 9, 9));
    ThreadSet threads(clock);
    {
        // Enrolled before the thread starts: alone, the thread would let the clock run on.
        ClockMember self(clock);
        threads.start("JobWatcherThread", [this](std::stop_token stop) { watcher.run(stop); });
        clock.sleepUntil(at(2026, 12, 9, 11, 30), threads.token());
        threads.stop();  // before leaving the clock, which would let it run on
    }

    // 09:00 slot 1, 10:00 slot 3, 11:10 slot 1 again after the pass interval.
    EXPECT_THAT(activity(50),
                ElementsAre("09.12, 09:00,  Alarm 15 started because old JOB files found in \\qxt\\one",
                            "09.12, 10:00,  Alarm 15 started because old JOB files found in \\qxt\\three",
                            "09.12, 11:10,  Alarm 15 started because old JOB files found in \\qxt\\one"));
}

}  // namespace
}  // namespace qx::test
