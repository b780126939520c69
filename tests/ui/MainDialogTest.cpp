#include "CMoverDlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "ActivityLog.h"
#include "MainDialogRules.h"
#include "OperationRunner.h"
#include "Prompts.h"
#include "ServiceBundle.h"
#include "SharedState.h"
#include "UiText.h"

using ::testing::ElementsAre;

namespace qx {
namespace {

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.set("qxmover.ini", "Config", "DelLogFiles", "1");
        s.set("qxmover.ini", "Config", "WaitBeforeDel", "4");
        s.set("qxmover.ini", "HDCheck", "Active", "1");
        s.set("qxmover.ini", "HDCheck", "DialPhoneIfLow", "1");
        s.set("qxmover.ini", "HDCheck", "StartBatchIfLow", "0");
        s.set("qxmover.ini", "HDCheck", "CheckDrives", "C:");
        s.set("qxaview.ini", "Config", "AlarmSelectionRange", "week");
    }
    void TearDown() override { setUiCodePage(kDefaultCodePage); }
    CMoverDlg& dialog() {
        if (!m_dialog)
            m_dialog = std::make_unique<CMoverDlg>(s.services, DialogJobs{});
        return *m_dialog;
    }
    bool enabled(int id) { return dialog().control(id)->isEnabled(); }
    void click(int id) { dialog().button(id)->click(); }
    std::string files() {
        return s.sandbox.read("root/windows/qxmover.ini") + s.sandbox.read("root/windows/qxaview.ini");
    }

    test::ServiceBundle s;
    std::unique_ptr<CMoverDlg> m_dialog;
};

TEST_F(MainDialogTest, ClearingTheDiskMonitorAndCheckingItAgainRestoresEachFieldByItsOwnBox) {
    ASSERT_TRUE(enabled(ctl::kPhoneNumber));
    EXPECT_FALSE(enabled(ctl::kBatchProg));
    click(ctl::kHdActive);
    for (int id : {ctl::kCheckHour, ctl::kSelectDrives, ctl::kMinSpace, ctl::kDialPhone, ctl::kPhoneNumber,
                   ctl::kSendSms, ctl::kSmsNumber, ctl::kStartBatch, ctl::kBatchProg, ctl::kStartAlarm,
                   ctl::kAlarmList})
        EXPECT_FALSE(enabled(id)) << id;
    click(ctl::kHdActive);
    EXPECT_TRUE(enabled(ctl::kDialPhone));
    EXPECT_TRUE(enabled(ctl::kPhoneNumber));
    EXPECT_TRUE(enabled(ctl::kStartBatch));
    EXPECT_FALSE(enabled(ctl::kBatchProg));
    EXPECT_FALSE(enabled(ctl::kSmsNumber));
    EXPECT_FALSE(enabled(ctl::kAlarmList));
}

TEST_F(MainDialogTest, WeeklyTwiceKeepsTheListAndItsSelection) {
    QComboBox* wait = dialog().list(ctl::kWaitList);
    ASSERT_EQ(wait->count(), 51);
    EXPECT_EQ(wait->currentIndex(), 3);
    wait->setCurrentIndex(7);
    click(ctl::kWeekly);
    click(ctl::kWeekly);
    EXPECT_EQ(wait->count(), 51);
    EXPECT_EQ(wait->currentIndex(), 7);

    click(ctl::kMonthly);
    EXPECT_EQ(wait->count(), 12);
    EXPECT_EQ(s.state.moveMode.load(), 2);
    EXPECT_EQ(qobject_cast<QLabel*>(dialog().control(ctl::kWaitUnit))->text().toStdString(), "months");
}

TEST_F(MainDialogTest, SavingWithNoMoveWritesNoneAndSwitchesTheDeletionOff) {
    ASSERT_TRUE(dialog().button(ctl::kDelLogFiles)->isChecked());
    click(ctl::kNoMove);
    EXPECT_FALSE(enabled(ctl::kDelLogFiles));
    EXPECT_FALSE(enabled(ctl::kWaitList));
    dialog().save();
    EXPECT_EQ(s.get("qxaview.ini", "Config", "AlarmSelectionRange"), "none");
    EXPECT_EQ(s.get("qxmover.ini", "Config", "DelLogFiles"), "0");
    // The wait of the weekly mode is kept for a later change back.
    EXPECT_EQ(s.get("qxmover.ini", "Config", "WaitBeforeDel"), "4");
}

TEST_F(MainDialogTest, CancelLeavesEveryKeyUnchanged) {
    dialog();
    std::string before = files();
    click(ctl::kMonthly);
    click(ctl::kHdActive);
    click(ctl::kStart2ndBatch);
    click(ctl::kCancel);
    dialog().close();
    EXPECT_EQ(files(), before);
}

TEST_F(MainDialogTest, SaveWithTheMonitorOnAndNoDriveWarnsAndStillSaves) {
    s.set("qxmover.ini", "HDCheck", "CheckDrives", "");
    click(ctl::kSendSms);
    dialog().save();
    EXPECT_THAT(s.prompts.warnings(),
                ElementsAre("Error !|Please select a harddisk to check for free diskspace !"));
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "SendSMSIfLow"), "1");
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "CheckDrives"), "");
}

TEST_F(MainDialogTest, StoredAlarmKeyIsSelectedAndSavedBack) {
    s.state.setAlarmKeys({{11, "Fire"}, {15, "Water"}});
    s.set("qxmover.ini", "HDCheck", "StartAlarmIfLow", "1");
    s.set("qxmover.ini", "HDCheck", "AlarmKey", "15");
    EXPECT_EQ(dialog().list(ctl::kAlarmList)->currentText().toStdString(), "15  Water");
    dialog().list(ctl::kAlarmList)->setCurrentIndex(0);
    dialog().save();
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "AlarmKey"), "11");
    EXPECT_EQ(s.state.diskMonitor().alarmKey, 11);
}

TEST_F(MainDialogTest, StoredWaitBeyondTheListIsSavedAsTheLastEntryNotAsZero) {
    s.set("qxmover.ini", "Config", "WaitBeforeDel", "53");
    dialog().save();
    EXPECT_EQ(s.get("qxmover.ini", "Config", "WaitBeforeDel"), "51");
}

TEST_F(MainDialogTest, ClockAndWeekAreShownAtTheFirstTick) {
    EXPECT_EQ(qobject_cast<QLabel*>(dialog().control(ctl::kClock))->text().toStdString(),
              "07.12.2026   08:05:00");
    EXPECT_EQ(qobject_cast<QLabel*>(dialog().control(ctl::kWeek))->text().toStdString(), "Week (50)");
    EXPECT_EQ(s.state.previousWeek.load(), 49);
}

TEST_F(MainDialogTest, ShowingFromTheTrayReloadsAndNotesIt) {
    dialog();
    s.set("qxmover.ini", "HDCheck", "DialPhoneIfLow", "0");
    dialog().showFromTray();
    EXPECT_FALSE(dialog().button(ctl::kDialPhone)->isChecked());
    EXPECT_THAT(s.sandbox.read("work/log/qxmover_50.log"), ::testing::HasSubstr("Show mover"));
}

TEST_F(MainDialogTest, ValuesInTheCodePageAreShownAsTheirLettersAndSavedByteForByte) {
    s.state.setAlarmKeys({{11,
                           "Caf\xe9 M\xfc"
                           "ller"}});
    s.set("qxmover.ini", "HDCheck", "StartBatchIfLow", "1");
    s.set("qxmover.ini", "HDCheck", "BatchProg", "C:\\Skripte\\L\xf6schen.bat");
    s.set("qxmover.ini", "AutoBackup", "Active", "1");
    s.set("qxmover.ini", "AutoBackup", "Path", "\\Sicherung\\M\xe4rz\\");
    auto text = [&](int id) { return qobject_cast<QLineEdit*>(dialog().control(id))->text().toStdString(); };
    EXPECT_EQ(text(ctl::kBatchProg), "C:\\Skripte\\Löschen.bat");
    EXPECT_EQ(text(ctl::kBackupPath), "\\Sicherung\\März\\");
    EXPECT_EQ(dialog().list(ctl::kAlarmList)->itemText(0).toStdString(), "11  Café Müller");
    std::string before = s.sandbox.read("root/windows/qxmover.ini");
    dialog().save();
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "BatchProg"), "C:\\Skripte\\L\xf6schen.bat");
    EXPECT_EQ(s.get("qxmover.ini", "AutoBackup", "Path"), "\\Sicherung\\M\xe4rz\\");

    // Another code page reads the same bytes as its own letters.
    s.set("qxmover.ini", "Config", "CodePage", "1250");
    dialog().load();
    EXPECT_EQ(text(ctl::kBatchProg), "C:\\Skripte\\Löschen.bat");
    EXPECT_EQ(text(ctl::kBackupPath), "\\Sicherung\\März\\");
    s.set("qxmover.ini", "AutoBackup", "Path", "\\\x8a");
    dialog().load();
    EXPECT_EQ(text(ctl::kBackupPath), "\\Š");
}

TEST_F(MainDialogTest, ReturnSavesWhereverTheFocusIsAndRunsNoTest) {
    dialog().show();
    QApplication::processEvents();
    click(ctl::kStart2ndBatch);
    ASSERT_EQ(s.get("qxmover.ini", "Config", "Start2ndBatch"), "0");
    QWidget* testMove = dialog().control(ctl::kTestMove);
    testMove->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(testMove, &press);
    QApplication::processEvents();
    EXPECT_EQ(s.get("qxmover.ini", "Config", "Start2ndBatch"), "1");
    EXPECT_FALSE(dialog().runner().busy());
    dialog().runner().wait();
    EXPECT_THAT(s.prompts.questions(), ::testing::IsEmpty());
}

TEST_F(MainDialogTest, ASaveThatFailsKeepsTheDialogOpenWithTheEntries) {
    dialog().show();
    QApplication::processEvents();
    auto* phone = qobject_cast<QLineEdit*>(dialog().control(ctl::kPhoneNumber));
    phone->setText("0815 4711");
    std::filesystem::permissions(s.sandbox.path("root/windows/qxmover.ini"),
                                 std::filesystem::perms::owner_read);
    dialog().save();
    QApplication::processEvents();
    EXPECT_EQ(s.prompts.warnings().size(), 1u);
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_FALSE(dialog().isMinimized());
    EXPECT_EQ(phone->text().toStdString(), "0815 4711");
}

// With a tray, Save hides the dialog; a show from the tray or a second start always shows it, also
// when the start-up hide is still to come or a late minimise notification arrives after the show.
TEST_F(MainDialogTest, ShowFromTheTrayStandsAgainstALateMinimiseAndTheStartUpHide) {
    dialog().setTrayAvailable(true);
    dialog().show();
    dialog().hideAfterStart(std::chrono::milliseconds(0));
    dialog().showFromTray();
    QApplication::processEvents();
    EXPECT_TRUE(dialog().isVisible());

    for (int cycle = 0; cycle < 20; ++cycle) {
        dialog().save();
        QApplication::processEvents();
        ASSERT_FALSE(dialog().isVisible()) << cycle;
        dialog().showFromTray();
        // What the window manager reports of an earlier minimise, after the show.
        dialog().setWindowState(Qt::WindowMinimized);
        QApplication::processEvents();
        QApplication::processEvents();
        ASSERT_TRUE(dialog().isVisible()) << cycle;
        ASSERT_FALSE(dialog().isMinimized()) << cycle;
    }
}

}  // namespace
}  // namespace qx
