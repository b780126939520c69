#include "MainDialogRules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace qx {
namespace {

TEST(MainDialogRulesTest, NoMoveDisablesTheWaitWhateverTheDeleteBoxSays) {
    auto enabled = enabledControls({ctl::kNoMove, ctl::kDelLogFiles});
    EXPECT_FALSE(enabled[ctl::kDelLogFiles]);
    EXPECT_FALSE(enabled[ctl::kWaitList]);
    EXPECT_FALSE(enabled[ctl::kWaitUnit]);
    EXPECT_FALSE(enabled[ctl::kTestDelete]);

    enabled = enabledControls({ctl::kWeekly});
    EXPECT_TRUE(enabled[ctl::kDelLogFiles]);
    EXPECT_FALSE(enabled[ctl::kWaitList]);
    EXPECT_FALSE(enabled[ctl::kTestDelete]);
    enabled = enabledControls({ctl::kMonthly, ctl::kDelLogFiles});
    EXPECT_TRUE(enabled[ctl::kWaitList]);
    EXPECT_TRUE(enabled[ctl::kTestDelete]);
}

TEST(MainDialogRulesTest, DiskMonitorOffDisablesEveryOptionAndOnRestoresEachByItsOwnBox) {
    std::set<int> options{ctl::kDialPhone, ctl::kStartAlarm};
    auto off = enabledControls(options);
    for (int id : {ctl::kCheckHour, ctl::kDriveList, ctl::kSelectDrives, ctl::kMinSpace, ctl::kDialPhone,
                   ctl::kPhoneNumber, ctl::kSendSms, ctl::kSmsNumber, ctl::kStartBatch, ctl::kBatchProg,
                   ctl::kStartAlarm, ctl::kAlarmList})
        EXPECT_FALSE(off[id]) << id;

    options.insert(ctl::kHdActive);
    auto on = enabledControls(options);
    for (int id : {ctl::kCheckHour, ctl::kDialPhone, ctl::kSendSms, ctl::kStartBatch, ctl::kStartAlarm,
                   ctl::kPhoneNumber, ctl::kAlarmList})
        EXPECT_TRUE(on[id]) << id;
    EXPECT_FALSE(on[ctl::kSmsNumber]);
    EXPECT_FALSE(on[ctl::kBatchProg]);
    // The extended monitor is not part of the daily check.
    EXPECT_EQ(on.count(ctl::kExtendedMonitor), 0u);
}

TEST(MainDialogRulesTest, EachOptionBoxGovernsItsButtons) {
    auto none = enabledControls({});
    auto all = enabledControls({ctl::kStart2ndBatch, ctl::kPrintReport, ctl::kConference, ctl::kDelAlarmWav,
                                ctl::kDeleteMoreFiles, ctl::kBackupActive});
    for (int id :
         {ctl::kTestBatch, ctl::kEditBatch, ctl::kPrintWeekly, ctl::kPrintDaily, ctl::kConferenceSettings,
          ctl::kDelAlarmWavList, ctl::kDeleteMoreSettings, ctl::kBackupPath}) {
        EXPECT_FALSE(none[id]) << id;
        EXPECT_TRUE(all[id]) << id;
    }
}

TEST(MainDialogRulesTest, WeekListsNeverOfferMoreThan51Entries) {
    auto weeks = waitEntries(1);
    ASSERT_EQ(weeks.size(), 51u);
    EXPECT_EQ(weeks.front(), " 01");
    EXPECT_EQ(weeks.back(), " 51");
    EXPECT_THAT(waitEntries(2).size(), 12u);
    EXPECT_TRUE(waitEntries(0).empty());
}

TEST(MainDialogRulesTest, StoredCountsBeyondTheListSelectItsEnds) {
    EXPECT_EQ(entryIndexFor(10, 51), 9);
    EXPECT_EQ(entryIndexFor(53, 51), 50);
    EXPECT_EQ(entryIndexFor(0, 51), 0);
    EXPECT_EQ(entryIndexFor(5, 0), -1);
}

TEST(MainDialogRulesTest, AlarmNumberIsTheLeadingNumberOfAnEntry) {
    EXPECT_EQ(alarmNumberOf("11  Fire alarm"), 11);
    EXPECT_EQ(alarmNumberOf("9999"), 9999);
    EXPECT_EQ(alarmNumberOf("Fire"), -1);
    EXPECT_EQ(alarmNumberOf(""), -1);
}

}  // namespace
}  // namespace qx
