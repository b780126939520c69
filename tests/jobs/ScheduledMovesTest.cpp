#include "WeeklyMove.h"

#include <sstream>

#include "ActivityLog.h"
#include "Clock.h"
#include "DryRun.h"
#include "JobsFixture.h"
#include "MonthlyMove.h"
#include "SharedState.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

class ScheduledMovesTest : public JobsTest {
protected:
    ScheduledMovesTest() {
        clock.advanceTo(now);
        ini("qxaview.ini", "Config", "AlarmSelectionRange", "week");
        ini("qxmover.ini", "Config", "WaitBeforeDel", "2");
        ini("qxmover.ini", "Config", "DelLogFiles", "1");
    }
    MoverContext context() { return readMoverContext(profile, now, 12); }

    SysTime now = at(2026, 12, 7, 1);
    SysTime old = at(2026, 12, 1, 10);
};

TEST_F(ScheduledMovesTest, LastYearsFilesOfTheWeekGoBeforeTheNewOnesComeIn) {
    sandbox.file("root/qxt/log/a.dbf", "this year", old);
    sandbox.file("root/qxt/log/qxaview.inf", "this year's index", old);
    const SysTime lastYear = at(2025, 12, 3, 10);
    sandbox.file("root/qxt/log/log49/.qxcycle", "2025-12-08\n", lastYear);
    sandbox.file("root/qxt/log/log49/a.dbf", "last year", lastYear);
    sandbox.file("root/qxt/log/log49/gone.l1", "last year", lastYear);
    sandbox.file("root/qxt/log/log49/qxaview.inf", "last year's index", lastYear);
    EXPECT_TRUE(weeklyAtMidnight(mover, readMoverContext(profile, now - std::chrono::hours(1), 12)));
    EXPECT_TRUE(weeklyAtOne(mover, context()));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "this year");
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/qxaview.inf"), "this year's index");
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49/gone.l1"));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/.qxcycle"), "2026-12-07\n");
}

TEST_F(ScheduledMovesTest, AWaitOfAYearDeletesOnlyWhatHasWaitedIt) {
    ini("qxmover.ini", "Config", "Start2ndBatch", "1");
    sandbox.file("root/qxt/log/a.dbf", "this year", old);
    sandbox.file("root/qxt/log/log48/.qxcycle", "2026-11-30\n");
    sandbox.file("root/qxt/log/log48/b.dbf", "the week before");
    for (const char* wait : {"52", "53"}) {
        ini("qxmover.ini", "Config", "WaitBeforeDel", wait);
        MoverContext c = context();
        // 52 weeks back names the week just filled, 53 the week before it: both filled again since.
        ASSERT_EQ(c.calendar.dueWeek, std::string(wait) == "52" ? 49 : 48);
        EXPECT_TRUE(weeklyAtOne(mover, c));
        EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "this year");
        EXPECT_EQ(sandbox.read("root/qxt/log/log48/b.dbf"), "the week before");
    }
    // The deletion batch is skipped, with a line that says so.
    EXPECT_THAT(launcher.calls(), ElementsAre("start hidden qxmove2.bat 49 50 12 2026",
                                              "start hidden qxmove2.bat 49 50 12 2026"));
    EXPECT_THAT(activity(50), Contains(HasSubstr("Keep directory " + shownPath("log48"))));
    EXPECT_THAT(activity(50), Contains("07.12, 01:00,  Skip qxdel2.bat 48: week directory " +
                                       joinedPath("log48") + " was filled again since"));
}

TEST_F(ScheduledMovesTest, OnlyDelLogFilesOneDeletes) {
    ini("qxmover.ini", "Config", "DelLogFiles", "2");
    sandbox.file("root/qxt/log/log47/a.dbf", "old");
    (void)weeklyAtOne(mover, context());
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log47/a.dbf"));
}

TEST_F(ScheduledMovesTest, SecondBatchUsesTheOldNameWhenTheNewOneIsMissing) {
    ini("qxmover.ini", "Config", "Start2ndBatch", "1");
    sandbox.file("work/qxmover2.bat", "rem old name\n");
    EXPECT_TRUE(weeklyAtOne(mover, context()));
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden qxmover2.bat 49 50 12 2026", "start hidden qxdel2.bat 47"));
}

// The delete batch that cannot be started fails the week's work, with the launcher's reason, after the
// moves and the first batch have been done.
TEST_F(ScheduledMovesTest, ADeleteBatchThatCannotStartFailsTheWeekWithItsReason) {
    ini("qxmover.ini", "Config", "Start2ndBatch", "1");
    sandbox.file("root/qxt/log/a.dbf", "a", old);
    launcher.missing.insert("qxdel2.bat");
    const Result<> week = weeklyAtOne(mover, context());
    EXPECT_EQ(week.reason(), "\"qxdel2.bat 47\" could not be started: program not found");
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "a");
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden qxmove2.bat 49 50 12 2026", "start hidden qxdel2.bat 47"));
}

TEST_F(ScheduledMovesTest, MidnightHandsConferenceRecordingsToTheirJobOrMovesWaveFiles) {
    sandbox.file("root/qxt/log/a.wav", "RIFF", old);
    ini("qxmover.ini", "Config", "MoveConferWav", "1");
    EXPECT_TRUE(weeklyAtMidnight(mover, context()));
    EXPECT_THAT(hooks.calls(), ElementsAre("conferenceRecordings"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.wav"));

    ini("qxmover.ini", "Config", "MoveConferWav", "0");
    ini("qxmover.ini", "Config", "MoveToConferWav", "1");  // the sub-directory move is now off
    EXPECT_TRUE(weeklyAtMidnight(mover, context()));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.wav"));

    ini("qxmover.ini", "Config", "MoveConferWavToSubDir", "1");
    ini("qxalarm.ini", "qxaconf", "ResultWavePath", "\\rec");
    EXPECT_TRUE(weeklyAtMidnight(mover, context()));
    EXPECT_EQ(sandbox.read("root/rec/wav49/a.wav"), "RIFF");
}

TEST_F(ScheduledMovesTest, AStatisticDirectoryThatIsTheInstallationRootIsRefused) {
    ini("qxaview.ini", "Config", "AlarmDBPath", "\\");
    sandbox.file("root/a.dbf", "the installation's own", old);
    sandbox.file("root/qxaview.inf", "index", old);
    EXPECT_FALSE(weeklyAtMidnight(mover, readMoverContext(profile, now - std::chrono::hours(1), 12)));
    EXPECT_FALSE(weeklyAtOne(mover, context()));
    EXPECT_EQ(sandbox.read("root/a.dbf"), "the installation's own");
    EXPECT_EQ(sandbox.read("root/qxaview.inf"), "index");
    EXPECT_THAT(activity(50),
                Contains(HasSubstr("Refused to move files from \\: it is the installation root")));
}

TEST_F(ScheduledMovesTest, DryRunPrintsWhatWouldBeDoneAndChangesNothing) {
    ini("qxmover.ini", "Config", "Start2ndBatch", "1");
    sandbox.file("root/qxt/log/a.dbf", "new", old);
    sandbox.file("root/qxt/log/LINE0001.LOG", "young", now - std::chrono::hours(1));
    sandbox.file("root/qxt/log/log47/z.txt", "old");
    std::ostringstream out;
    DryRunFileOperations dryFiles(out);
    DryRunLauncher dryLauncher(out);
    SharedState quiet;
    quiet.writeLogFile = false;
    ActivityLog noLog(clock, quiet, sandbox.path("work/log"));
    Services dry{paths, profile, clock, state, dryLauncher, prompts, strings, noLog, nullptr};
    StatisticMover dryMover(dry, dryFiles, hooks);
    EXPECT_TRUE(weeklyAtOne(dryMover, context()));
    auto in = [this](const char* relative) { return (logDir() / relative).make_preferred().string(); };
    EXPECT_EQ(out.str(), "create-directory " + in("log49") + "\ncopy " + in("LINE0001.LOG") + " " +
                             in("log49/LINE0001.LOG") + "\nmove " + in("a.dbf") + " " + in("log49/a.dbf") +
                             "\ndelete " + in("log47/z.txt") +
                             "\nstart qxmove2.bat 49 50 12 2026\nstart qxdel2.bat 47\n");
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log47/z.txt"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));
    EXPECT_FALSE(sandbox.exists("work/log/qxmover_50.log"));
}

TEST_F(ScheduledMovesTest, MonthlyFailuresAreShownAndLogged) {
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    ini("qxmover.ini", "Config", "WaitBeforeDel", "12");
    launcher.missing.insert("qxmover.bat");
    MoverContext c = readMoverContext(profile, now, 11);
    EXPECT_FALSE(monthlyMove(mover, c));
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|Failed to move statisticfiles !"));
    // A wait of twelve months names the month just handed on: not deleted.
    EXPECT_THAT(launcher.calls(), ElementsAre("start hidden qxmover.bat " + logDir().string() + " log11"));
    EXPECT_THAT(activity(50),
                ElementsAre(HasSubstr("FAILED to start move batchprogram qxmover.bat"),
                            HasSubstr("Move wavfiles to directory"), HasSubstr("Keep directory")));
}

}  // namespace
}  // namespace qx::test
