#include "WebTriggerThread.h"

#include "Clock.h"
#include "JobsFixture.h"
#include "Profile.h"
#include "ThreadSet.h"

using ::testing::ElementsAre;

namespace qx::test {
namespace {

class WebTriggerTest : public JobsTest {
protected:
    WebTriggerThread trigger{services, "\\qx_web\\bin\\qxphp.bat"};
};

TEST_F(WebTriggerTest, PeriodArgumentsOnlyInHourZero) {
    EXPECT_EQ(webTriggerPeriods(toLocal(at(2029, 1, 1, 0, 7))), "y2029 m1 w2 d1 h0");  // a Monday
    EXPECT_EQ(webTriggerPeriods(toLocal(at(2029, 1, 1, 13, 7))), "h13");
    EXPECT_EQ(webTriggerPeriods(toLocal(at(2026, 12, 1, 0, 7))), "m12 d1 h0");
    EXPECT_EQ(webTriggerPeriods(toLocal(at(2026, 12, 1, 1, 7))), "h1");
    EXPECT_EQ(webTriggerPeriods(toLocal(at(2026, 12, 7, 0, 7))), "w50 d7 h0");
    EXPECT_EQ(webTriggerPeriods(toLocal(at(2026, 12, 8, 0, 7))), "d8 h0");
}

TEST_F(WebTriggerTest, FiresAtTheStartMinuteAndLogsTheOutcome) {
    clock.advanceTo(at(2029, 1, 1, 0, 7));
    EXPECT_FALSE(trigger.pass(at(2029, 1, 1, 0, 6)));
    EXPECT_EQ(profile.getString("qxmover.ini", "WebTrigger", "StartOnMin", "", 8), "7");
    EXPECT_TRUE(trigger.pass(at(2029, 1, 1, 0, 7)));
    launcher.missing.insert("\\qx_web\\bin\\qxphp.bat");
    EXPECT_FALSE(trigger.pass(at(2029, 1, 1, 0, 7)));

    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden \\qx_web\\bin\\qxphp.bat webtrigger y2029 m1 w2 d1 h0",
                            "start hidden \\qx_web\\bin\\qxphp.bat webtrigger y2029 m1 w2 d1 h0"));
    EXPECT_THAT(
        activity(2),
        ElementsAre("01.01, 00:07,  Successfully started trigger: \\qx_web\\bin\\qxphp.bat webtrigger y2029 "
                    "m1 w2 d1 h0",
                    "01.01, 00:07,  FAILED to started trigger: \\qx_web\\bin\\qxphp.bat webtrigger y2029 m1 "
                    "w2 d1 h0"));
}

// StartOnMin 60 never came: the trigger fell silent without a word.
TEST_F(WebTriggerTest, MinuteNoHourHasFiresAtSevenAndIsTold) {
    ini("qxmover.ini", "WebTrigger", "StartOnMin", "60");
    clock.advanceTo(at(2026, 12, 9, 13, 7));
    EXPECT_FALSE(trigger.pass(at(2026, 12, 9, 13, 6)));
    EXPECT_TRUE(trigger.pass(at(2026, 12, 9, 13, 7)));
    EXPECT_THAT(
        activity(50),
        ElementsAre("09.12, 13:07,  qxmover.ini [WebTrigger] StartOnMin=60 is out of range (0 to 59); 7 is "
                    "used instead",
                    "09.12, 13:07,  Successfully started trigger: \\qx_web\\bin\\qxphp.bat webtrigger h13"));
}

// 28 March 2027 in Berlin: 02:07 never comes, so the 02:07 trigger fires at 03:07, before 03:07's own.
TEST_F(WebTriggerTest, HourSkippedByDaylightSavingFiresAfterTheGap) {
    clock.advanceTo(at(2027, 3, 28, 3, 7));
    EXPECT_FALSE(trigger.pass(at(2027, 3, 28, 1, 7) + std::chrono::minutes(59)));
    EXPECT_TRUE(trigger.pass(at(2027, 3, 28, 3, 7)));
    EXPECT_TRUE(trigger.pass(at(2027, 3, 28, 4, 7)));
    EXPECT_THAT(launcher.calls(), ElementsAre("start hidden \\qx_web\\bin\\qxphp.bat webtrigger h2",
                                              "start hidden \\qx_web\\bin\\qxphp.bat webtrigger h3",
                                              "start hidden \\qx_web\\bin\\qxphp.bat webtrigger h4"));
}

// The thread wakes at every minute's start, so an hour holds exactly one firing minute, whatever the
// time of the thread's start.
TEST_F(WebTriggerTest, ThreadFiresOnceAnHour) {
    ini("qxmover.ini", "WebTrigger", "StartOnMin", "0");
    clock.advanceTo(at(2026, 12, 9, 8, 0) + std::chrono::milliseconds(59'995));
    ThreadSet threads(clock);
    {
        // Enrolled before the thread starts: alone, the thread would let the clock run on.
        ClockMember self(clock);
        threads.start("WebTriggerThread", [this](std::stop_token stop) { trigger.run(stop); });
        clock.sleepUntil(at(2026, 12, 9, 13, 30), threads.token());
        threads.stop();  // before leaving the clock, which would let it run on
    }
    EXPECT_EQ(launcher.calls().size(), 6u);  // 08:00, five milliseconds before its end, to 13:00
    EXPECT_EQ(launcher.calls().back(), "start hidden \\qx_web\\bin\\qxphp.bat webtrigger h13");
}

}  // namespace
}  // namespace qx::test
