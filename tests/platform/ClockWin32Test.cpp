#include <windows.h>

#include <gtest/gtest.h>

#include "Clock.h"

namespace qx {
namespace {

TEST(LocalTimeWin32, FollowsTheSystemsTimeZoneThroughDaylightSavingTime) {
    // The tests run with TZ=Europe/Berlin, which Wine takes as the system's zone (one of the Central
    // European ones: UTC+1, summer time from March to October).
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    GetDynamicTimeZoneInformation(&zone);
    if (zone.Bias != -60 || zone.DaylightBias != -60 || zone.DaylightDate.wMonth != 3 ||
        zone.StandardDate.wMonth != 10)
        GTEST_SKIP() << "the system's time zone is not Central European here";
    using namespace std::chrono;
    const SysTime winter = fromLocal(2026, 12, 10, 12);
    EXPECT_EQ(winter, sys_days(year(2026) / 12 / 10) + hours(11));
    EXPECT_EQ(fromLocal(2026, 7, 1, 12), sys_days(year(2026) / 7 / 1) + hours(10));
    // 28 March 2027: 02:00 does not exist, so 01:00 and 03:00 lie one hour apart.
    EXPECT_EQ(fromLocal(2027, 3, 28, 3) - fromLocal(2027, 3, 28, 1), hours(1));
    EXPECT_EQ(skippedLocalHours(fromLocal(2027, 3, 28, 3)), std::vector<int>{2});

    const LocalTime local = toLocal(winter);
    EXPECT_EQ(local.hour, 12);
    EXPECT_EQ(local.weekday, 4);  // a Thursday
    EXPECT_EQ(local.yearDay, 344);
    // Fields past their range carry over, as mktime lets them.
    EXPECT_EQ(fromLocal(2026, 12, 32, 12), fromLocal(2027, 1, 1, 12));
    EXPECT_EQ(fromLocal(2026, 13, 1, 0), fromLocal(2027, 1, 1, 0));
}

}  // namespace
}  // namespace qx
