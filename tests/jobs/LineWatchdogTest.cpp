#include "LineWatchdogThread.h"

#include <algorithm>
#include <climits>

#include "AlarmTableBuilder.h"
#include "Clock.h"
#include "JobsFixture.h"
#include "LineWatchdogCounters.h"
#include "OnDemandThreads.h"
#include "Profile.h"
#include "ThreadSet.h"
#include "WatchdogBoxTestCall.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

constexpr const char* kAlarmIni = "qxalarm.ini";

class LineWatchdogTest : public JobsTest {
protected:
    LineWatchdogTest() {
        line("WDogActive", "1");
        line("DeltaHours", "1");
        line("NumberToDial", "0301234");
        line("StartAlarm", "50");
        clock.advanceTo(start);
    }
    void line(const char* key, const std::string& value) { ini(kAlarmIni, "LineWatchDog", key, value); }
    std::string lineValue(const char* key) const {
        return profile.getString(kAlarmIni, "LineWatchDog", key, "-", 64);
    }

    // Passes at 10-minute steps from `start`, `count` of them; returns the numbers (from 1) of the
    // passes that started the alarm.
    std::vector<int> passes(int count) {
        std::vector<int> failing;
        for (int i = 0; i < count; ++i, ++m_pass) {
            clock.advanceTo(start + std::chrono::minutes(10 * m_pass));
            std::size_t before = alarmsStarted();
            watchdog.pass();
            if (alarmsStarted() > before)
                failing.push_back(m_pass + 1);
        }
        return failing;
    }
    std::size_t alarmsStarted() const {
        auto calls = launcher.calls();
        return std::count_if(calls.begin(), calls.end(),
                             [](const std::string& c) { return c.find("qxarun") != std::string::npos; });
    }
    std::vector<std::string> callsContaining(std::string_view text) const {
        std::vector<std::string> found;
        for (const auto& c : launcher.calls())
            if (c.find(text) != std::string::npos)
                found.push_back(c);
        return found;
    }

    const SysTime start = at(2026, 12, 9, 8, 0);  // week 50
    LineWatchdogThread watchdog{services, files};

private:
    int m_pass = 0;
};

TEST_F(LineWatchdogTest, CounterFailsAtItsLimitAndAgainAfterTwiceTheLimitPlusOne) {
    watchdog.begin();
    EXPECT_EQ(lineValue("CheckCounter"), "0");

    EXPECT_THAT(passes(8 + 15), ElementsAre(8, 23));

    EXPECT_THAT(callsContaining("qxarun"),
                ElementsAre("run start \\qxt\\qxe qxarun 1 -i450 -s8LineWatchDog",
                            "run start \\qxt\\qxe qxarun 1 -i450 -s8LineWatchDog"));
    EXPECT_THAT(activity(50), Contains("09.12, 09:10,  WatchDog call not received (Counter in "
                                       "qxalarm.ini/LineWatchDog/CheckCounter=7) start Alarm 50"));
    EXPECT_EQ(lineValue("CheckCounter"), "-7");
    EXPECT_EQ(lineValue("Status"), "1");
    // The second failure came at pass 23, 220 minutes after the start: 11:40 in Berlin, 10:40 UTC.
    EXPECT_EQ(lineValue("LastAlarm"), "6B193000");
    EXPECT_EQ(lineValue("RestartSystem"), "0");
    // Missing schedule keys are written back with their defaults.
    EXPECT_EQ(lineValue("MinuteInterval"), "0");
    EXPECT_EQ(lineValue("StartAlarmImmediately"), "0");
}

TEST_F(LineWatchdogTest, CallsOnTheListedLinesOnly) {
    line("PostType", "1");
    line("CheckLines", "3,75,5");
    line("MinuteInterval", "1");
    watchdog.begin();

    passes(1);

    EXPECT_THAT(launcher.calls(), ElementsAre("run \\qxt\\qxtque.exe batchpost 3 _testcall -s10301234 -s2",
                                              "run \\qxt\\qxtque.exe batchpost 5 _testcall -s10301234 -s2"));
    EXPECT_THAT(activity(50), ElementsAre("09.12, 08:00,  WatchDog thread started",
                                          "09.12, 08:00,  Start WatchDog call to number 0301234 on line 3",
                                          "09.12, 08:00,  Start WatchDog call to number 0301234 on line 75",
                                          "09.12, 08:00,  Start WatchDog call to number 0301234 on line 5"));
    EXPECT_EQ(watchdog.restOfPass(), std::chrono::milliseconds(579'000));
    EXPECT_EQ(lineValue("WithDDIForDial"), "");
}

TEST_F(LineWatchdogTest, StopEndsThePauseBetweenLineCalls) {
    line("PostType", "1");
    line("CheckLines", "1,2,3");
    line("MinuteInterval", "1");
    watchdog.begin();
    std::stop_source stop;
    stop.request_stop();
    watchdog.pass(stop.get_token());
    EXPECT_EQ(launcher.calls().size(), 1u);
    EXPECT_EQ(lineValue("CheckCounter"), "0");  // a stopped pass counts nothing
}

TEST_F(LineWatchdogTest, SingleQueuedCallUsesTheTestCallModuleWhenInstalled) {
    line("MinuteInterval", "1");
    line("WithDDIForDial", "22");
    watchdog.begin();
    passes(1);
    sandbox.file("work/_testcall.qxe");
    passes(1);
    EXPECT_THAT(launcher.calls(), ElementsAre("run \\qxt\\qxtque.exe postjob 1 _dial_s1 -s10301234 -s222",
                                              "run \\qxt\\qxtque.exe postjob 1 _testcall -s10301234 -s222"));
    EXPECT_EQ(watchdog.restOfPass(), std::chrono::milliseconds(589'000));
}

TEST_F(LineWatchdogTest, CallSchedulesAndLimits) {
    line("DeltaHours", "3");
    const auto callsIn = [&](const std::string& interval, int passCount) {
        line("MinuteInterval", interval);
        std::size_t before = callsContaining("postjob").size();
        passes(passCount);
        return callsContaining("postjob").size() - before;
    };
    watchdog.begin();
    EXPECT_EQ(callsIn("1", 6), 6u);
    EXPECT_EQ(callsIn("2", 6), 3u);  // minutes 0-9, 20-29, 40-49
    EXPECT_EQ(callsIn("3", 6), 2u);  // minutes 0-9, 30-39
    // Hourly: the first full hour after the start calls, then every third hour.
    EXPECT_EQ(callsIn("0", 6 * 7), 3u);
    line("NumberToDial", "");
    EXPECT_EQ(callsIn("1", 1), 0u);

    EXPECT_EQ(singleCounterLimit(3, 0, 0), 19);
    EXPECT_EQ(singleCounterLimit(3, 7, 1), 19);
    EXPECT_EQ(singleCounterLimit(1, 2, 0), 3);
    EXPECT_EQ(singleCounterLimit(1, 2, 1), 2);
}

TEST_F(LineWatchdogTest, FailureWritesTheWarningAndRestartsWhenAsked) {
    line("DeactivateDial", "1");
    line("StartAlarm", "5");
    line("WriteWarningFile", "1");
    line("RestartSystem", "1");
    line("CheckCounter", "7");
    ini("qxa_wdir.ini", "Pathnames", "WatchDogFiles", "\\qxt\\watch\\files.lst");
    sandbox.dir("root/qxt/watch");

    passes(1);

    // Alarm 5 is no alarm to start; the failure is still recorded.
    EXPECT_THAT(launcher.calls(), ElementsAre("run shutdown /L /R /Y /C"));
    EXPECT_EQ(
        sandbox.read("root/qxt/watch/qxa.war"),
        "The alarmserver line watchdog failed to dial number !\nPlease check the lines on the alarmserver.");
    EXPECT_EQ(lineValue("Status"), "1");
    EXPECT_EQ(lineValue("LastAlarm"), "6B18FC70");  // the start, 2026-12-09 07:00 UTC
    EXPECT_EQ(lineValue("CheckCounter"), "-7");
    EXPECT_THAT(activity(50), ElementsAre("09.12, 08:00,  Restart system with program shutdown.exe"));
}

TEST_F(LineWatchdogTest, WatchdogBoxCallsEveryIntervalAndWritesItsWarning) {
    line("WDogActive", "0");
    ini(kAlarmIni, "WatchDog", "Active", "1");
    ini(kAlarmIni, "WatchDog", "Intervall", "30");
    ini(kAlarmIni, "WatchDog", "NumberToDial", "0800");
    ini(kAlarmIni, "WatchDog", "WriteWarningOnNoAnsw", "1");
    ini(kAlarmIni, "WatchDog", "WarningMessage", "Box silent");
    ini("qxa_wdir.ini", "Pathnames", "WatchPath", "\\qxt\\watch\\");
    sandbox.dir("root/qxt/watch");
    watchdog.begin();

    passes(7);

    EXPECT_THAT(launcher.calls(), ElementsAre("run \\qxt\\qxtque.exe postjob 1 qxawdcall -i51",
                                              "run \\qxt\\qxtque.exe postjob 1 qxawdcall -i51",
                                              "run \\qxt\\qxtque.exe postjob 1 qxawdcall -i51"));
    EXPECT_THAT(activity(50), Contains("09.12, 08:30,  Start WatchDog call to number 0800"));
    EXPECT_EQ(sandbox.read("root/qxt/watch/qxa.war"), "Box silent");
    // The line counter is not touched by the box.
    EXPECT_EQ(lineValue("CheckCounter"), "0");
}

TEST_F(LineWatchdogTest, PerServerCountersReadTheAlarmTable) {
    AlarmTableBuilder(sandbox.path("root/db1/vm001.dbf"))
        .alarm(12, 92, 6, "Server A", 30, 60)
        .alarm(13, 91, 6, "Not a call-back", 30, 61)
        .alarm(14, 92, 6, "Server C", 10, 62);
    line("MultiSrvCallBack", "1");
    line("DeactivateDial", "1");
    ini("qxawdog.ini", "Settings", "Key1", "12");
    ini("qxawdog.ini", "Settings", "Key2", "13");
    ini("qxawdog.ini", "Settings", "Key3", "5");  // ends the list
    ini("qxawdog.ini", "Settings", "Key4", "14");
    LineWatchdogThread perServer(services, files);
    perServer.begin();

    for (int i = 0; i < 5; ++i)
        perServer.pass();

    // Limit 30 / 10 + 1 = 4: the fifth pass fails.
    EXPECT_THAT(launcher.calls(), ElementsAre("run start \\qxt\\qxe qxarun 1 -i460 -s8LineWatchDog"));
    EXPECT_THAT(activity(50), Contains("09.12, 08:00,  WatchDog call for 12 not received (Counter in "
                                       "qxalarm.ini/LineWatchDog/CheckCounter=4) start Alarm 60"));
    EXPECT_EQ(profile.getString("qxawdog.ini", "WDog12", "CheckCounter", "", 16), "-4");
    EXPECT_EQ(profile.getString("qxawdog.ini", "WDog12", "Status", "", 16), "1");
    EXPECT_EQ(profile.getString("qxawdog.ini", "WDog12", "LastAlarm", "", 16), "6B18FC70");
    EXPECT_EQ(profile.getString("qxawdog.ini", "WDog13", "CheckCounter", "none", 16), "none");
    EXPECT_EQ(profile.getString("qxawdog.ini", "WDog14", "CheckCounter", "none", 16), "none");
    // The single counter stays as the thread's start left it.
    EXPECT_EQ(lineValue("CheckCounter"), "0");
}

// The thread ends when both switches are off and is started again once one is on.
TEST_F(LineWatchdogTest, ThreadEndsWhenSwitchedOffAndStartsAgain) {
    ThreadSet threads(clock);
    Services withThreads = services;
    withThreads.threads = &threads;
    line("DeactivateDial", "1");
    {
        ClockMember self(clock);
        EXPECT_TRUE(startOnDemand(withThreads, OnDemand::LineWatchdog));
        EXPECT_FALSE(startOnDemand(withThreads, OnDemand::LineWatchdog));  // already running
        clock.sleepUntil(start + std::chrono::minutes(25), threads.token());
        line("WDogActive", "0");
        clock.sleepUntil(start + std::chrono::minutes(45), threads.token());
        EXPECT_FALSE(state.lineWatchdogStarted.load());
        ini(kAlarmIni, "WatchDog", "Active", "1");
        EXPECT_TRUE(startOnDemand(withThreads, OnDemand::LineWatchdog));
        clock.sleepUntil(start + std::chrono::minutes(50), threads.token());
        threads.stop();  // before leaving the clock, which would let it run on
    }

    EXPECT_THAT(activity(50), ElementsAre("09.12, 08:00,  WatchDog thread started",
                                          "09.12, 08:29,  Stop WatchDog thread both not active anymore",
                                          "09.12, 08:45,  WatchDog thread started"));
}

// DeltaHours × 6 + 1 wrapped negative for 400,000,000: the alarm started at every pass and the
// counter was written as "--1894967295".
TEST_F(LineWatchdogTest, HugeDeltaHoursIsHeldToAWeekAndNeverWrapsTheLimit) {
    line("DeltaHours", "400000000");
    line("RestartSystem", "1");
    watchdog.begin();
    EXPECT_THAT(passes(30), IsEmpty());
    EXPECT_EQ(lineValue("CheckCounter"), "30");
    EXPECT_EQ(singleCounterLimit(400'000'000, 0, 0), INT_MAX);
    EXPECT_THAT(activity(50),
                Contains("09.12, 08:00,  qxalarm.ini [LineWatchDog] DeltaHours=400000000 is out of "
                         "range (1 to 168); 168 is used instead"));
}

// The watchdog's start and stop are written whatever WriteLogFile says; its other lines follow it.
// A failure whose alarm or restart could not be started says so instead of "start Alarm".
TEST_F(LineWatchdogTest, StartAndStopLinesAreAlwaysWrittenAndFailedStartsAreTold) {
    state.writeLogFile = false;
    line("WDogActive", "0");
    watchdog.run({});
    EXPECT_THAT(activity(50), ElementsAre("09.12, 08:00,  WatchDog thread started",
                                          "09.12, 08:00,  Stop WatchDog thread both not active anymore"));

    state.writeLogFile = true;
    line("WDogActive", "1");
    line("DeactivateDial", "1");
    line("RestartSystem", "1");
    line("CheckCounter", "7");
    launcher.missing = {"start", "shutdown"};
    watchdog.pass();
    EXPECT_THAT(activity(50),
                ElementsAre(::testing::_, ::testing::_,
                            "09.12, 08:00,  WatchDog call not received (Counter in "
                            "qxalarm.ini/LineWatchDog/CheckCounter=7), but Alarm 50 could not be started",
                            "09.12, 08:00,  Restart system with program shutdown.exe",
                            "09.12, 08:00,  The system could not be restarted"));
}

TEST_F(LineWatchdogTest, BoxTestCallNeedsTheModuleAndANumber) {
    EXPECT_EQ(watchdogBoxTestCall(services, "0800"), BoxTestCall::ModuleMissing);
    sandbox.file("work/qxawdcall.qxe");
    EXPECT_EQ(watchdogBoxTestCall(services, ""), BoxTestCall::NoNumber);
    EXPECT_EQ(boxTestCallMessage(BoxTestCall::NoNumber),
              "ERROR ! No phonenumber defined for line watchdog to dial !");
    EXPECT_THAT(launcher.calls(), IsEmpty());
    EXPECT_EQ(profile.getString(kAlarmIni, "WatchDog", "NumberToDial", "none", 64), "none");

    EXPECT_EQ(watchdogBoxTestCall(services, "0800"), BoxTestCall::Started);
    EXPECT_THAT(launcher.calls(), ElementsAre("run qxtque.exe postjob 1 qxawdcall -i51"));
    EXPECT_EQ(profile.getString(kAlarmIni, "WatchDog", "NumberToDial", "none", 64), "0800");
    launcher.missing.insert("qxtque.exe");
    EXPECT_EQ(watchdogBoxTestCall(services, "0800"), BoxTestCall::StartFailed);
}

}  // namespace
}  // namespace qx::test
