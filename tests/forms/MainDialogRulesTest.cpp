#include "MainDialogRules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "MainDialogRuleCases.h"

using ::testing::ElementsAre;

namespace qx {
namespace {

class MainDialogRulesTest : public ::testing::TestWithParam<test::RuleCase> {};

TEST_P(MainDialogRulesTest, EnablesAndDisablesAsTheCaseSays) {
    auto enabled = enabledControls(GetParam().checked);
    for (int id : GetParam().enabled) {
        ASSERT_EQ(enabled.count(id), 1u) << id;
        EXPECT_TRUE(enabled[id]) << id;
    }
    for (int id : GetParam().disabled) {
        ASSERT_EQ(enabled.count(id), 1u) << id;
        EXPECT_FALSE(enabled[id]) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MainDialogRulesTest, ::testing::ValuesIn(test::mainDialogRuleCases()),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(MainDialogListsTest, TheExtendedMonitorIsNotPartOfTheDailyCheck) {
    EXPECT_EQ(enabledControls({ctl::kHdActive}).count(ctl::kExtendedMonitor), 0u);
}

TEST(MainDialogListsTest, WeekListsNeverOfferMoreThan51Entries) {
    auto weeks = waitEntries(1);
    ASSERT_EQ(weeks.size(), 51u);
    EXPECT_EQ(weeks.front(), " 01");
    EXPECT_EQ(weeks.back(), " 51");
    EXPECT_THAT(waitEntries(2).size(), 12u);
    EXPECT_TRUE(waitEntries(0).empty());
}

TEST(MainDialogListsTest, StoredCountsBeyondTheListSelectItsEnds) {
    EXPECT_EQ(entryIndexFor(10, 51), 9);
    EXPECT_EQ(entryIndexFor(53, 51), 50);
    EXPECT_EQ(entryIndexFor(0, 51), 0);
    EXPECT_EQ(entryIndexFor(5, 0), -1);
}

TEST(MainDialogListsTest, AlarmNumberIsTheLeadingNumberOfAnEntry) {
    EXPECT_EQ(alarmNumberOf("11  Fire alarm"), 11);
    EXPECT_EQ(alarmNumberOf("9999"), 9999);
    EXPECT_EQ(alarmNumberOf("Fire"), -1);
    EXPECT_EQ(alarmNumberOf(""), -1);
}

}  // namespace
}  // namespace qx
