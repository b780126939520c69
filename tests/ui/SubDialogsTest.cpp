#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <thread>

#include "Clock.h"
#include "ConferenceDialog.h"
#include "DialogJobs.h"
#include "DriveSelectionDialog.h"
#include "Launcher.h"
#include "ListEditors.h"
#include "Profile.h"
#include "Prompts.h"
#include "ServiceBundle.h"
#include "SettingsListDialog.h"
#include "WaitUntil.h"
#include "WatchdogBoxDialog.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace qx {
namespace {

class SubDialogsTest : public ::testing::Test {
protected:
    std::string drive(int n) {
        return s.get("qxmover.ini", "MonitorAddtionalDrives", ("Drive" + std::to_string(n)).c_str());
    }
    test::ServiceBundle s;
};

TEST_F(SubDialogsTest, DeletingEntryTwoOfFourInTheListDialog) {
    for (int n = 1; n <= 4; ++n)
        writeMonitoredDrive(s.profile, n, {std::string(1, char('c' + n)) + ":", 90, ""});
    SettingsListDialog dialog(s.services, ListKind::Drives);
    ASSERT_EQ(dialog.rows()->topLevelItemCount(), 4);

    dialog.deleteSelected();
    EXPECT_THAT(s.prompts.warnings(), ElementsAre("Error !|Select the entry to delete first !"));

    dialog.rows()->setCurrentItem(dialog.rows()->topLevelItem(1));
    s.prompts.answer = false;
    dialog.deleteSelected();
    EXPECT_EQ(drive(2), "e:");

    s.prompts.answer = true;
    dialog.deleteSelected();
    EXPECT_THAT(s.prompts.questions().back(),
                "Please confirm ...|Delete the entry to monitor the used space on drive e: ?");
    EXPECT_EQ(drive(1), "d:");
    EXPECT_EQ(drive(2), "f:");
    EXPECT_EQ(drive(3), "g:");
    EXPECT_EQ(drive(4), "");
    EXPECT_EQ(dialog.rows()->topLevelItemCount(), 3);
}

TEST_F(SubDialogsTest, DriveTextDIsRefusedSilentlyAndDColonIsStored) {
    DriveEditor editor(s.services, 0);
    auto warnings = s.prompts.warnings();  // the alarm table of the sandbox is missing
    editor.driveField()->setText("d");
    editor.percentField()->setValue(75);
    editor.accept();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_EQ(drive(1), "<none>");
    EXPECT_EQ(s.prompts.warnings(), warnings);
    editor.driveField()->setText("d:");
    editor.accept();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(drive(1), "d:");
    EXPECT_EQ(s.get("qxmover.ini", "MonitorAddtionalDrives", "Space1"), "75");
}

TEST_F(SubDialogsTest, DeletionRuleForTheWorkingDirectoryCannotBeSaved) {
    DeletionEditor editor(s.services, 0);
    editor.pathField()->setText(QString::fromStdString(s.sandbox.path("work").string()));
    editor.accept();
    EXPECT_EQ(s.prompts.warnings().size(), 1u);
    EXPECT_THAT(s.prompts.questions(), IsEmpty());
    EXPECT_EQ(s.get("qxmover.ini", "DeleteAddtionalLogs", "DelPath1"), "<none>");

    editor.pathField()->setText("\\qxt\\tmp");
    editor.weeksList()->setCurrentIndex(2);
    editor.accept();
    EXPECT_THAT(
        s.prompts.questions(),
        ElementsAre(
            "Please confirm ...|Delete all files from directory \\qxt\\tmp which are older than 3 weeks ?"));
    EXPECT_EQ(s.get("qxmover.ini", "DeleteAddtionalLogs", "DelExt1"), "*.*");
    EXPECT_EQ(s.get("qxmover.ini", "DeleteAddtionalLogs", "DelAfterWeeks1"), "3");
}

TEST_F(SubDialogsTest, CheckingDAndFGivesTheDriveListDColonCommaFColon) {
    DriveSelectionDialog dialog(s.services, "C:");
    EXPECT_TRUE(dialog.check(0)->isChecked());
    EXPECT_FALSE(dialog.check(2)->isEnabled());  // E: is not mapped
    dialog.check(0)->setChecked(false);
    dialog.check(1)->setChecked(true);
    dialog.check(3)->setChecked(true);
    dialog.accept();
    EXPECT_EQ(dialog.driveList(), "D:,F:");
}

TEST_F(SubDialogsTest, IntervalRoundTripOf24Hours) {
    {
        WatchdogBoxDialog dialog(s.services);
        dialog.intervalList()->setCurrentIndex(dialog.intervalList()->findText("24 hours"));
        dialog.accept();
    }
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "Intervall"), "1560");
    WatchdogBoxDialog again(s.services);
    EXPECT_EQ(again.intervalList()->currentText().toStdString(), "24 hours");
}

TEST_F(SubDialogsTest, TestCallWithAnEmptyNumberPlacesNoCall) {
    s.sandbox.file("work/qxawdcall.qxe");
    WatchdogBoxDialog dialog(s.services);
    dialog.numberField()->clear();
    dialog.testCall();
    EXPECT_THAT(s.prompts.warnings().back(),
                "Error !|ERROR ! No phonenumber defined for line watchdog to dial !");
    EXPECT_THAT(s.launcher.calls(), IsEmpty());
}

TEST_F(SubDialogsTest, ASaveThatCannotBeWrittenSaysWhyAndKeepsTheDialogOpen) {
    s.set("qxmover.ini", "Config", "MoveConferWavAfterWeeks", "10");
    std::filesystem::permissions(s.sandbox.path("root/windows/qxmover.ini"),
                                 std::filesystem::perms::owner_read);
    auto warningsBefore = s.prompts.warnings().size();
    ConferenceDialog conference(s.services, DialogJobs{});
    conference.accept();
    EXPECT_EQ(conference.result(), QDialog::Rejected);
    ASSERT_EQ(s.prompts.warnings().size(), warningsBefore + 1);
    EXPECT_EQ(s.prompts.warnings().back(),
              "Error !|Cannot write MoveToConferWav in [Config] of qxmover.ini: the file is read-only");

    // Delete now stores its weeks and directory first; the job must not run on the old ones.
    bool ran = false;
    DialogJobs jobs;
    jobs.conferenceRecordings = [&ran](Services&, SysTime) { ran = true; };
    std::unique_ptr<QDialog> test(ConferenceDialog::testDeleteDialog(s.services, jobs, nullptr));
    static_cast<TestDeleteDialog*>(test.get())->deleteNow();
    EXPECT_FALSE(ran);
    EXPECT_EQ(s.prompts.warnings().size(), warningsBefore + 2);
}

TEST_F(SubDialogsTest, CancelInTheSubDialogsWritesNothing) {
    std::string before =
        s.sandbox.read("root/windows/qxmover.ini") + s.sandbox.read("root/windows/qxalarm.ini");
    {
        WatchdogBoxDialog watchdog(s.services);
        watchdog.numberField()->setText("123");
        watchdog.reject();
        DriveEditor editor(s.services, 0);
        editor.driveField()->setText("d:");
        editor.reject();
        ConferenceDialog conference(s.services, DialogJobs{});
        conference.reject();
    }
    EXPECT_EQ(s.sandbox.read("root/windows/qxmover.ini") + s.sandbox.read("root/windows/qxalarm.ini"),
              before);
}

TEST_F(SubDialogsTest, TestDeleteListsTheOldRecordingsOrSaysThereAreNone) {
    s.set("qxmover.ini", "Config", "MoveConferWavTo", "\\arch");
    s.sandbox.file("root/arch/old.wav", "", s.clock.now() - std::chrono::hours(24 * 7 * 30));
    ConferenceDialog conference(s.services, DialogJobs{});
    std::unique_ptr<QDialog> dialog(ConferenceDialog::testDeleteDialog(s.services, DialogJobs{}, nullptr));
    auto* list = static_cast<TestDeleteDialog*>(dialog.get())->files();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text().toStdString(), s.sandbox.path("root/arch/old.wav").string());

    ConferenceSettings newer = readConferenceSettings(s.profile);
    newer.deleteWeeks = 40;
    std::unique_ptr<QDialog> none(
        ConferenceDialog::testDeleteDialog(s.services, DialogJobs{}, nullptr, &newer));
    auto* empty = static_cast<TestDeleteDialog*>(none.get())->files();
    EXPECT_EQ(empty->item(0)->text().toStdString(), "No wavfiles found to delete");
}

TEST_F(SubDialogsTest, AFullListTakesNoFurtherEntry) {
    for (int n = 1; n <= 49; ++n)
        writeMonitoredDrive(s.profile, n, {"d:", 90, ""});
    SettingsListDialog dialog(s.services, ListKind::Drives);
    // An editor opened by mistake would wait for an answer: close it, so that the test fails, not hangs.
    QTimer::singleShot(500, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    dialog.addEntry();
    EXPECT_THAT(s.prompts.warnings(), ElementsAre("Error !|The list is full: it holds 49 entries. Delete an "
                                                  "entry before adding a new one."));
    // An editor opened before the list filled up stores nothing either.
    DriveEditor editor(s.services, 0);
    editor.driveField()->setText("e:");
    editor.accept();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_EQ(drive(50), "<none>");
    EXPECT_EQ(s.prompts.warnings().size(), 3u);  // the missing alarm table, then the full list
}

TEST_F(SubDialogsTest, AlarmTextsInTheCodePageAreStoredBackByteForByte) {
    writeMonitoredDrive(s.profile, 1,
                        {"d:", 90,
                         "11 Caf\xe9 M\xfc"
                         "ller"});
    DriveEditor editor(s.services, 1);
    editor.accept();
    ASSERT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(s.get("qxmover.ini", "MonitorAddtionalDrives", "StartAlarm1"),
              "11 Caf\xe9 M\xfc"
              "ller");
}

// "Delete now" deletes what the dialog listed when deleting is ticked, saved or not; with deleting
// off it says so; what is still there afterwards is named.
class DeleteNowTest : public SubDialogsTest {
protected:
    void SetUp() override {
        s.set("qxmover.ini", "Config", "MoveConferWavTo", "\\arch");
        s.set("qxmover.ini", "Config", "DelConferWav", "0");
        s.sandbox.file("root/arch/old.wav", "", s.clock.now() - std::chrono::hours(24 * 7 * 30));
    }
    void deleteNow(bool ticked, DialogJobs jobs) {
        ConferenceSettings form = readConferenceSettings(s.profile);
        form.deleteStep = ticked;
        std::unique_ptr<QDialog> dialog(ConferenceDialog::testDeleteDialog(s.services, jobs, nullptr, &form));
        auto* test = static_cast<TestDeleteDialog*>(dialog.get());
        ASSERT_EQ(test->files()->count(), 1);
        test->deleteNow();
        test::waitUntil(
            [&] {
                QApplication::processEvents();
                return dialog->result() == QDialog::Accepted || !s.prompts.warnings().empty();
            },
            std::chrono::seconds(5), std::chrono::milliseconds(10));
    }
};

TEST_F(DeleteNowTest, TickedButNotSavedDeletesTheListedFile) {
    deleteNow(true, dialogJobs());
    EXPECT_FALSE(s.sandbox.exists("root/arch/old.wav"));
    EXPECT_EQ(s.get("qxmover.ini", "Config", "DelConferWav"), "1");
    EXPECT_THAT(s.prompts.warnings(), IsEmpty());
}

TEST_F(DeleteNowTest, NotTickedDeletesNothingAndSaysWhy) {
    bool ran = false;
    DialogJobs jobs;
    jobs.conferenceRecordings = [&ran](Services&, SysTime) { ran = true; };
    deleteNow(false, jobs);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(s.sandbox.exists("root/arch/old.wav"));
    EXPECT_THAT(s.prompts.warnings(),
                ElementsAre("Error !|Nothing was deleted: deleting is switched off in these settings."));
}

TEST_F(DeleteNowTest, AListedFileThatIsStillThereIsNamed) {
    DialogJobs jobs;
    jobs.conferenceRecordings = [](Services&, SysTime) {};
    deleteNow(true, jobs);
    EXPECT_THAT(s.prompts.warnings(),
                ElementsAre("Error !|1 of the listed files were not deleted; the activity log says why:\n" +
                            s.sandbox.path("root/arch/old.wav").string()));
}

}  // namespace
}  // namespace qx
