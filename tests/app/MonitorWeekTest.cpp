// A week of the service on the virtual clock with every monitor on, counting what reaches the sibling
// programs.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "../jobs/AlarmTableBuilder.h"
#include "Clock.h"
#include "HeadlessRunner.h"
#include "LineWatchdogCounters.h"
#include "Profile.h"
#include "RecordingLauncher.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "ServiceBundle.h"
#include "Startup.h"
#include "ThreadSet.h"

namespace qx {
namespace {

// The sibling programs as far as the monitors can tell: every command line is recorded, and a started
// watchdog alarm is noted in [LastAlarm] of qxalog.ini as the alarm server does.
class FakeSiblings : public test::RecordingLauncher {
public:
    FakeSiblings(Profile& profile, Clock& clock) : m_profile(profile), m_clock(clock) {}

    Result<> run(std::string_view line, std::chrono::seconds limit) override {
        if (line.find("-s8WatchDogAlarm") != std::string_view::npos)
            if (!m_profile.writeString("qxalog.ini", "LastAlarm", "12", hexTime(m_clock.now())))
                return Failure("cannot note the alarm");
        return RecordingLauncher::run(line, limit);
    }

    std::size_t count(std::string_view text) const {
        std::size_t n = 0;
        for (const auto& call : calls())
            n += call.find(text) != std::string::npos ? 1 : 0;
        return n;
    }

private:
    Profile& m_profile;
    Clock& m_clock;
};

// With and without skipping idle passes: the rehearsal's shortcut must not change what is done.
class MonitorWeekTest : public ::testing::TestWithParam<bool>, public test::BasicServiceBundle<FakeSiblings> {
protected:
    MonitorWeekTest()
        : BasicServiceBundle({.start = {2026, 12, 7, 0, 0}, .skipIdlePasses = GetParam(), .threads = true}) {}

    const SysTime start = clock.now();  // a Monday
    ThreadSet& threads = *threadSet;
};

TEST_P(MonitorWeekTest, EveryMonitorOnForAWeek) {
    // Disk monitor: C: (the installation root) can never have two thousand terabytes free.
    ini("qxmover.ini", "HDCheck", "Active", "1");
    ini("qxmover.ini", "HDCheck", "CheckTime", "7");
    ini("qxmover.ini", "HDCheck", "MinSpace", "2147483647");
    ini("qxmover.ini", "HDCheck", "CheckDrives", "C:");
    ini("qxmover.ini", "HDCheck", "StartAlarmIfLow", "1");
    ini("qxmover.ini", "HDCheck", "AlarmKey", "12");
    ini("qxmover.ini", "MonitorAddtionalDrives", "Drive1", "C:");
    ini("qxmover.ini", "MonitorAddtionalDrives", "Space1", "0");
    ini("qxmover.ini", "MonitorAddtionalDrives", "StartAlarm1", "40");
    // Job watcher: a job file that nobody processes.
    ini("qxmover.ini", "JobDirWatcher", "CheckJob1", "1");
    ini("qxmover.ini", "JobDirWatcher", "CheckDir1", "\\qxt\\jobs");
    ini("qxmover.ini", "JobDirWatcher", "StartOnErrorType", "1");
    ini("qxmover.ini", "JobDirWatcher", "StartOnErrorAlarm", "15");
    sandbox.file("root/qxt/jobs/stuck.job", "", start - std::chrono::hours(1));
    // Line watchdog: a call every pass that never arrives; the box every hour.
    ini("qxalarm.ini", "LineWatchDog", "WDogActive", "1");
    ini("qxalarm.ini", "LineWatchDog", "MinuteInterval", "1");
    ini("qxalarm.ini", "LineWatchDog", "NumberToDial", "0301234");
    ini("qxalarm.ini", "LineWatchDog", "StartAlarm", "50");
    ini("qxalarm.ini", "WatchDog", "Active", "1");
    ini("qxalarm.ini", "WatchDog", "Intervall", "60");
    ini("qxalarm.ini", "WatchDog", "NumberToDial", "0800");
    // Event watchdog: alarm 12 wants an event every 30 minutes and none comes.
    test::AlarmTableBuilder(sandbox.path("root/db1/vm001.dbf")).alarm(12, 91, 0, "QXAWDOG 30,60");
    ini("qxawdog.ini", "Config", "ActiveWdogAlarms", "12;");
    // Web trigger.
    sandbox.file("root/qx_web/bin/qxphp.bat", "rem\n");

    {
        ClockMember self(clock);
        Startup(services).run();
        // Half a minute before the end, so that no thread's wake-up meets it.
        HeadlessRunner(services, nullptr)
            .run(start + std::chrono::hours(7 * 24) - std::chrono::seconds(30), std::move(self));
    }

    // One disk check a day at 07:00: the alarm of C: and of the further drive.
    EXPECT_EQ(launcher.count("qxe.exe qxarun 1 -i412 -s5qxahdkoC.vox"), 7u);
    EXPECT_EQ(launcher.count("qxarun 40 0 0 DriveMonitor"), 7u);
    // The stale job file: a reaction, an hour's pause and the five-minute interval, 65 minutes apart.
    EXPECT_EQ(launcher.count("qxe qxarun 1 -i415"), 156u);
    // Line watchdog, passes 599 s apart from the scheduler's first pass (2 s after the start): 1,010
    // passes, each with a call; limit 2, so failures on pass 3 and every 5th after; the box every 6th.
    EXPECT_EQ(launcher.count("_dial_s1"), 1010u);
    EXPECT_EQ(launcher.count("-s8LineWatchDog"), 202u);
    EXPECT_EQ(launcher.count("qxawdcall"), 169u);
    // Event watchdog: first at minute 30, then whenever the repeat pause of 60 minutes has passed.
    EXPECT_EQ(launcher.count("-s8WatchDogAlarm"), 165u);
    // Web trigger: every hour at minute 7; the day once a day, the week on the one Monday.
    EXPECT_EQ(launcher.count("webtrigger"), 168u);
    EXPECT_EQ(launcher.count("webtrigger d"), 6u);
    EXPECT_EQ(launcher.count("webtrigger w50 d7 h0"), 1u);
    EXPECT_EQ(launcher.count("webtrigger y"), 0u);
    EXPECT_TRUE(prompts.warnings().empty());
}

INSTANTIATE_TEST_SUITE_P(IdlePasses, MonitorWeekTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Skipped" : "Passed";
                         });

}  // namespace
}  // namespace qx
