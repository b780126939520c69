// The sub-dialogs' forms, which both views drive: what their switches leave usable, how the editors
// take their entry's number, and the checks before anything is stored.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "ConferenceForm.h"
#include "JobWatcherForm.h"
#include "ListEditorForms.h"
#include "ServiceBundle.h"
#include "WatchdogBoxForm.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace qx {
namespace {

// One switch state of a dialog and the fields it must leave usable, in the order `usable` lists them.
struct SwitchCase {
    const char* name;
    std::function<std::vector<bool>()> usable;
    std::vector<bool> expected;
};

void PrintTo(const SwitchCase& c, std::ostream* out) {
    *out << c.name;
}

class FormSwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(FormSwitchTest, LeavesUsableWhatTheSwitchesGovern) {
    EXPECT_EQ(GetParam().usable(), GetParam().expected);
}

std::vector<bool> watchdog(bool active, bool noAnswer, bool send, bool get, bool warn) {
    WatchdogBoxSettings w;
    w.active = active;
    w.startAlarmActive = noAnswer;
    w.sendConfCode = send;
    w.getConfCode = get;
    w.writeWarning = warn;
    const WatchdogBoxEnabled on = watchdogBoxEnabled(w);
    return {on.number, on.interval, on.noAnswerAlarm, on.sendCode, on.confCode, on.noCodeAlarm, on.warning};
}

std::vector<bool> jobWatcher(int slot, bool watched, bool move, int reaction) {
    JobWatcherSettings w;
    w.directories[slot].watched = watched;
    w.directories[slot].moveFiles = move;
    w.startOnErrorType = reaction;
    const JobWatcherEnabled on = jobWatcherEnabled(w);
    std::vector<bool> usable;
    for (const auto& each : on.directories)
        usable.insert(usable.end(), {each.directory, each.moveFiles, each.moveDirectory});
    usable.insert(usable.end(), {on.program, on.alarm});
    return usable;
}

std::vector<bool> conference(bool move, bool remove) {
    ConferenceSettings c;
    c.moveStep = move;
    c.deleteStep = remove;
    const ConferenceEnabled on = conferenceEnabled(c);
    return {on.move, on.remove};
}

std::vector<bool> task(int kind) {
    const TaskEditorEnabled on = taskEditorEnabled(kind);
    return {on.program, on.module, on.alarm};
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, FormSwitchTest,
    ::testing::Values(
        SwitchCase{"WatchdogAllOff",
                   [] { return watchdog(false, false, false, false, false); },
                   {false, false, false, false, false, false, false}},
        SwitchCase{"WatchdogCallOnly",
                   [] { return watchdog(true, false, false, false, false); },
                   {true, true, false, false, false, false, false}},
        // The expected code governs its text and the alarm without it; the others their own field.
        SwitchCase{"WatchdogCodeExpected",
                   [] { return watchdog(false, false, false, true, false); },
                   {false, false, false, false, true, true, false}},
        SwitchCase{"WatchdogEachOther",
                   [] { return watchdog(false, true, true, false, true); },
                   {false, false, true, true, false, false, true}},
        SwitchCase{"JobSlotOff",
                   [] { return jobWatcher(1, false, true, 0); },
                   {false, false, false, false, false, false, false, false, false, true, false}},
        SwitchCase{"JobSlotWatchedNoMove",
                   [] { return jobWatcher(1, true, false, 0); },
                   {false, false, false, true, true, false, false, false, false, true, false}},
        SwitchCase{"JobSlotWatchedAndMoving",
                   [] { return jobWatcher(2, true, true, 1); },
                   {false, false, false, false, false, false, true, true, true, false, true}},
        // Any stored reaction but 0 is the alarm, as the watcher reads it.
        SwitchCase{"JobReactionOtherThanZeroIsTheAlarm",
                   [] { return jobWatcher(0, false, false, 7); },
                   {false, false, false, false, false, false, false, false, false, false, true}},
        SwitchCase{"ConferenceMoveOnly", [] { return conference(true, false); }, {true, false}},
        SwitchCase{"ConferenceDeleteOnly", [] { return conference(false, true); }, {false, true}},
        SwitchCase{"TaskProgram", [] { return task(0); }, {true, false, false}},
        SwitchCase{"TaskModule", [] { return task(1); }, {false, true, false}},
        SwitchCase{"TaskAlarm", [] { return task(2); }, {false, false, true}}),
    [](const auto& c) { return std::string(c.param.name); });

class ListEditorFormsTest : public ::testing::Test {
protected:
    test::ServiceBundle s;
};

TEST_F(ListEditorFormsTest, ANewTaskTakesTheLowestFreeNumberOnceForItsParametersAndItself) {
    writeTimedTask(s.profile, 1, {"one.bat", 0, 1, 0, false, 1});
    writeTimedTask(s.profile, 2, {"two.bat", 0, 2, 0, false, 2});
    s.sandbox.file("work/beta.qxe");
    s.sandbox.file("work/alpha.qxe");
    TaskEditorForm form(s.services, 0, s.sandbox.path("work"));
    EXPECT_EQ(form.number(), 0);
    EXPECT_EQ(form.heading(), listLayout(ListKind::TimedTasks).addHeading);
    EXPECT_THAT(form.modules().texts, ElementsAre("alpha", "beta"));
    EXPECT_EQ(form.modules().selected, -1);
    // The parameters come first: the entry is taken then, and the task lands in it.
    EXPECT_EQ(form.storeNumber(), 3);
    EXPECT_TRUE(saveTaskParameterForm(s.services, 3, TaskParameters{{"M\xE4rz"}, {7}}));
    TimedTask task;
    task.type = 1;
    task.program = "beta";
    EXPECT_TRUE(form.save(task));
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "Prog3"), "beta");
    EXPECT_EQ(s.get("qxmover.ini", "QxeTaskParameter3", "s1"), "M\xE4rz");
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "Prog4"), "<none>");
    // A task without a program is not stored: it would end the list there.
    task.program.clear();
    EXPECT_FALSE(form.save(task));
    EXPECT_EQ(s.get("qxmover.ini", "StartMore", "Prog3"), "beta");
}

TEST_F(ListEditorFormsTest, AStoredModuleThatIsNotOfferedStaysTheTasksChoice) {
    s.sandbox.file("work/alpha.qxe");
    writeTimedTask(s.profile, 1, {"gone", 4, 30, 1, false, 1});
    TaskEditorForm form(s.services, 1, s.sandbox.path("work"));
    EXPECT_EQ(form.heading(), listLayout(ListKind::TimedTasks).editHeading);
    EXPECT_THAT(form.modules().texts, ElementsAre("alpha", "gone"));
    EXPECT_EQ(form.modules().selected, 1);
    // An hour beyond the list shows as its first entry rather than as none.
    EXPECT_EQ(form.task().hour, 0);
    EXPECT_EQ(form.task().day, 4);
}

TEST_F(ListEditorFormsTest, EditorsRefuseWhatWouldHarmBeforeTheyStore) {
    DeletionEditorForm deletion(s.services, 0);
    EXPECT_FALSE(deletion.save({"\\qxt\\tmp", "", 2}, s.sandbox.path("work")));
    EXPECT_FALSE(deletion.save({s.sandbox.path("work").string(), "*.*", 2}, s.sandbox.path("work")));
    EXPECT_EQ(s.prompts.warnings().size(), 1u);
    s.prompts.answer = false;
    EXPECT_FALSE(deletion.save({"\\qxt\\tmp", "*.*", 2}, s.sandbox.path("work")));
    EXPECT_EQ(s.get("qxmover.ini", "DeleteAddtionalLogs", "DelPath1"), "<none>");
    s.prompts.answer = true;
    EXPECT_TRUE(deletion.save({"\\qxt\\tmp", "*.*", 2}, s.sandbox.path("work")));
    EXPECT_EQ(s.get("qxmover.ini", "DeleteAddtionalLogs", "DelAfterWeeks1"), "2");
    EXPECT_EQ(s.prompts.questions().size(), 2u);

    DriveEditorForm drive(s.services, 0);
    EXPECT_EQ(drive.entry().percent, 90);
    EXPECT_FALSE(drive.save({"d", 50, ""}));
    EXPECT_FALSE(drive.save({"dd:", 50, ""}));
    EXPECT_TRUE(drive.save({"d:", 50, "12  Caf\xe9"}));
    EXPECT_EQ(s.get("qxmover.ini", "MonitorAddtionalDrives", "StartAlarm1"), "12  Caf\xe9");
    // Opened again, the stored alarm is offered and chosen though the table does not name it.
    DriveEditorForm again(s.services, 1);
    ASSERT_EQ(again.alarms().selected, 0);
    EXPECT_EQ(again.alarms().texts[0], "12  Caf\xe9");
}

TEST_F(ListEditorFormsTest, DeleteInTheListAsksForARowThenForConsent) {
    SettingsList list(s.profile, ListKind::Drives);
    for (int n = 1; n <= 2; ++n)
        writeMonitoredDrive(s.profile, n, {std::string(1, char('c' + n)) + ":", 90, ""});
    EXPECT_FALSE(deleteListRow(s.services, list, -1));
    s.prompts.answer = false;
    EXPECT_FALSE(deleteListRow(s.services, list, 0));
    s.prompts.answer = true;
    EXPECT_TRUE(deleteListRow(s.services, list, 0));
    EXPECT_EQ(s.get("qxmover.ini", "MonitorAddtionalDrives", "Drive1"), "e:");
    EXPECT_THAT(s.prompts.warnings(), ElementsAre("Error !|Select the entry to delete first !"));
    EXPECT_TRUE(listTakesEntry(s.services, list));
}

class TestDeleteFormTest : public ListEditorFormsTest {
protected:
    void SetUp() override {
        s.set("qxmover.ini", "Config", "MoveConferWavTo", "\\arch");
        s.sandbox.file("root/arch/old.wav", "", s.clock.now() - std::chrono::hours(24 * 7 * 30));
    }
    ConferenceSettings settings(bool deleting) {
        ConferenceSettings c = readConferenceSettings(s.profile);
        c.deleteStep = deleting;
        return c;
    }
};

TEST_F(TestDeleteFormTest, ListsWhatWouldGoAndDeletesItWithDeletingOn) {
    TestDeleteForm form(s.services, dialogJobs(), settings(true));
    EXPECT_THAT(form.lines(), ElementsAre(s.sandbox.path("root/arch/old.wav").string()));
    EXPECT_NE(form.caption().find("20"), std::string::npos);
    ASSERT_TRUE(form.prepareDeletion());
    form.deleteListed();
    EXPECT_TRUE(form.finished());
    EXPECT_FALSE(s.sandbox.exists("root/arch/old.wav"));
    EXPECT_THAT(s.prompts.warnings(), IsEmpty());
}

TEST_F(TestDeleteFormTest, WithDeletingOffNothingRunsAndWhatStaysIsNamed) {
    TestDeleteForm off(s.services, DialogJobs{}, settings(false));
    EXPECT_FALSE(off.prepareDeletion());
    TestDeleteForm idle(s.services, DialogJobs{}, settings(true));
    ASSERT_TRUE(idle.prepareDeletion());
    idle.deleteListed();
    EXPECT_FALSE(idle.finished());
    EXPECT_THAT(s.prompts.warnings(),
                ElementsAre("Error !|Nothing was deleted: deleting is switched off in these settings.",
                            "Error !|1 of the listed files were not deleted; the activity log says why:\n" +
                                s.sandbox.path("root/arch/old.wav").string()));
    TestDeleteForm none(s.services, DialogJobs{}, [&] {
        ConferenceSettings c = settings(true);
        c.deleteWeeks = 40;
        return c;
    }());
    EXPECT_THAT(none.lines(), ElementsAre("No wavfiles found to delete"));
}

}  // namespace
}  // namespace qx
