#include "ManualOperations.h"

#include "ActivityLog.h"
#include "Clock.h"
#include "JobsFixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

class ManualOperationsTest : public JobsTest {
protected:
    ManualOperationsTest() {
        clock.advanceTo(now);
        ini("qxmover.ini", "Config", "WaitBeforeDel", "3");
    }
    MoverContext context(const char* range) {
        ini("qxaview.ini", "Config", "AlarmSelectionRange", range);
        return readMoverContext(profile, now, 12);
    }

    SysTime now = at(2026, 12, 9, 14);  // Wednesday of week 50: previous week 49, due week 46
    SysTime young = at(2026, 12, 9, 13);
};

TEST_F(ManualOperationsTest, MoveNowMovesTheCoreFilesWhateverTheirAge) {
    for (const char* name :
         {"a.dbf", "LINE0001.LOG", "b.l1", "c.l2", "d.dlf", "e.alr", "f.vox", "QXAVIEW.INF"})
        sandbox.file(std::string("root/qxt/log/") + name, name, young);
    sandbox.file("root/qxt/log/other.inf", "stays", young);
    sandbox.file("root/qxt/log/g.txt", "stays", young);
    sandbox.file("root/qxt/log/log49/a.dbf", "last year", at(2025, 12, 3, 10));
    sandbox.file("root/qxt/log/log49/.qxcycle", "2025-12-08\n");  // filled by last year's cycle
    EXPECT_EQ(moveNow(mover, context("week")).reason(), "");
    EXPECT_THAT(prompts.questions(),
                ElementsAre("Please confirm ...|Move all logfiles to the directory " + joinedPath("log49") +
                            " ?\nMoves 8 file(s) there; first deletes 1 file(s) of an earlier year there."));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "a.dbf");
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/LINE0001.LOG"), "LINE0001.LOG");
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log49/QXAVIEW.INF"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/other.inf"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/g.txt"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/a.dbf"));
}

TEST_F(ManualOperationsTest, NoDoesNothing) {
    prompts.answer = false;
    sandbox.file("root/qxt/log/a.dbf", "x");
    sandbox.file("root/qxt/log/log46/a.dbf", "x");
    EXPECT_TRUE(declined(moveNow(mover, context("week"))));
    EXPECT_TRUE(declined(deleteNow(mover, context("week"))));
    EXPECT_TRUE(declined(startSecondBatchNow(mover, context("week"))));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log46/a.dbf"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49"));
    EXPECT_THAT(launcher.calls(), IsEmpty());
}

TEST_F(ManualOperationsTest, DeleteNowLeavesTheEventFiles) {
    sandbox.file("root/qxt/log/log46/a.dbf");
    sandbox.file("root/qxt/log/log46/a.cip");
    sandbox.file("root/qxt/log/log46/a.evt");
    sandbox.file("root/qxt/log/log46/a.inf");
    EXPECT_EQ(deleteNow(mover, context("week")).reason(), "");
    EXPECT_THAT(prompts.questions(), ElementsAre("Please confirm ...|Delete all logfiles in the directory: " +
                                                 joinedPath("log46") + " ?"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log46/a.dbf"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log46/a.cip"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log46/a.evt"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log46/a.inf"));
}

TEST_F(ManualOperationsTest, MonthlyModeHandsBothToTheBatchPrograms) {
    // Remembered month 12 with a wait of 3: the due month is 9.
    launcher.missing.insert("qxlogdel.bat");
    EXPECT_EQ(moveNow(mover, context("month")).reason(), "");
    EXPECT_FALSE(deleteNow(mover, context("month")));
    EXPECT_THAT(launcher.calls(), ElementsAre("start hidden qxmover.bat " + logDir().string() + " log12",
                                              "start hidden qxlogdel.bat " + logPath("log09")));
    EXPECT_THAT(
        prompts.questions(),
        ElementsAre(
            "Please confirm ...|Move all logfiles to the directory " + joinedPath("log12") + " ?",
            "Please confirm ...|Delete all logfiles in the directory: " + joinedPath("log09") + " ?"));
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|Failed to move statisticfiles !"));
}

TEST_F(ManualOperationsTest, ButtonsActOnTheWeeksTheDialogShows) {
    state.previousWeek = 48;
    state.dueWeek = 45;
    state.rememberedMonth = 11;
    state.dueMonth = 8;
    prompts.answer = false;
    EXPECT_TRUE(declined(deleteNow(mover, buttonContext(services, now, 1))));
    EXPECT_TRUE(declined(moveNow(mover, buttonContext(services, now, 1))));
    EXPECT_TRUE(declined(deleteNow(mover, buttonContext(services, now, 2))));
    EXPECT_THAT(prompts.questions(),
                ElementsAre(HasSubstr(joinedPath("log45")), HasSubstr(joinedPath("log48")),
                            HasSubstr(joinedPath("log08"))));
}

TEST_F(ManualOperationsTest, SecondBatchIsStartedShownWithTheFourValues) {
    EXPECT_EQ(startSecondBatchNow(mover, context("week")).reason(), "");
    EXPECT_THAT(prompts.questions(),
                ElementsAre("Please confirm ...|Start batchprogram qxmove2.bat with parameter: 49 ?"));
    sandbox.file("work/qxmover2.bat", "rem old\n");
    launcher.missing.insert("qxmover2.bat");
    EXPECT_FALSE(startSecondBatchNow(mover, context("week")));
    EXPECT_THAT(launcher.calls(), ElementsAre("start shown qxmove2.bat 49 50 12 2026",
                                              "start shown qxmover2.bat 49 50 12 2026"));
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|Unable to start qxmove2.bat program !"));
}

TEST_F(ManualOperationsTest, EditCreatesTheTemplateOnlyWhenNoBatchExists) {
    EXPECT_EQ(editSecondBatch(mover).reason(), "");
    std::string dashes = "rem " + std::string(62, '-');
    EXPECT_EQ(sandbox.read("work/qxmove2.bat"),
              "rem qxmove2.bat %1 %2 %3 %4\nrem Last week    : %1\nrem Current week : %2\n"
              "rem Current month: %3\nrem Current year : %4\n" +
                  dashes +
                  "\nrem Example: move \\qxt\\qxtest\\*.log \\qxt\\qxtest\\log%1\\*.log \n"
                  "rem Moves all logfiles at the end of the week to weekly logdir\n" +
                  dashes + "\n");
    sandbox.file("work/qxmove2.bat", "mine\n");
    EXPECT_EQ(editSecondBatch(mover).reason(), "");
    EXPECT_EQ(sandbox.read("work/qxmove2.bat"), "mine\n");
    sandbox.file("work/QXMOVER2.BAT", "older\n");
    EXPECT_EQ(editSecondBatch(mover).reason(), "");
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start shown notepad qxmove2.bat", "start shown notepad qxmove2.bat",
                            "start shown notepad qxmover2.bat"));
    EXPECT_THAT(prompts.questions(), IsEmpty());
}

}  // namespace
}  // namespace qx::test
