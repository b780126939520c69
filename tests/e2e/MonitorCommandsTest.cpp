// The monitors' run commands on the real binary, with stub sibling programs that record their argument
// vectors.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "Profile.h"
#include "RunBinary.h"
#include "Sandbox.h"
#include "WaitUntil.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace qx {
namespace {

const std::filesystem::path kBinary = QX_BINARY;

class MonitorCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.dir("root/windows");
        // The settings file of the installation: without it a command refuses to run.
        sandbox.file("root/windows/qxmover.ini", "");
        sandbox.dir("root/qxt/log");
        sandbox.dir("work/log");
        sandbox.dir("e");
        for (const char* stub : {"work/qxe", "work/qxtque.exe", "work/qxarun", "work/lowdisk.bat",
                                 "root/qxt/qxtque.exe", "root/qx_web/bin/qxphp.bat"})
            sandbox.recordingScript(stub, record());
    }

    void ini(const char* file, const char* section, const char* key, const std::string& value) {
        ASSERT_TRUE(Profile(sandbox.path("root/windows")).writeString(file, section, key, value));
    }

    test::BinaryResult run(std::vector<std::string> args) {
        std::vector<std::string> all{
            "--root",  sandbox.path("root").string(),     "--workdir", sandbox.path("work").string(),
            "--drive", "E=" + sandbox.path("e").string(), "run"};
        all.insert(all.end(), args.begin(), args.end());
        return test::runBinary(kBinary, all, {"TZ=Europe/Berlin"});
    }

    std::filesystem::path record() const { return sandbox.path("record.txt"); }

    // The recorded starts, sorted: programs started without waiting may record in any order. Waits up
    // to ten seconds for `count` of them.
    std::vector<std::string> recorded(std::size_t count) const {
        std::vector<std::string> lines;
        test::waitUntil(
            [&] {
                lines.clear();
                if (std::filesystem::exists(record())) {
                    std::istringstream in(test::readFile(record()));
                    for (std::string line; std::getline(in, line);)
                        lines.push_back(line);
                }
                return lines.size() >= count;
            },
            std::chrono::seconds(10), std::chrono::milliseconds(10));
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    void lowDisk() {
        ini("qxmover.ini", "HDCheck", "Active", "1");
        ini("qxmover.ini", "HDCheck", "MinSpace", "2147483647");  // no disk has that much free
        ini("qxmover.ini", "HDCheck", "CheckDrives", "c:,e:");
        ini("qxmover.ini", "HDCheck", "StartAlarmIfLow", "1");
        ini("qxmover.ini", "HDCheck", "AlarmKey", "12");
        ini("qxmover.ini", "HDCheck", "SendSMSIfLow", "1");
        ini("qxmover.ini", "HDCheck", "SMSNumber", "0171555");
        ini("qxmover.ini", "HDCheck", "StartBatchIfLow", "1");
        ini("qxmover.ini", "HDCheck", "BatchProg", "lowdisk.bat now");
        ini("qxmover.ini", "HDCheck", "DialPhoneIfLow", "1");
        ini("qxmover.ini", "HDCheck", "PhoneNumber", "1; touch " + sandbox.path("injected").string());
    }

    test::Sandbox sandbox;
};

TEST_F(MonitorCommandsTest, DiskCheckRunsTheFourReactionsOfEachLowDrive) {
    lowDisk();
    auto result = run({"disk-check", "--at", "2026-12-09 07:00"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const std::string phone = "[-s11; touch " + sandbox.path("injected").string() + "]";
    EXPECT_THAT(
        recorded(8),
        ElementsAre(
            "lowdisk.bat [now]", "lowdisk.bat [now]",
            "qxe [qxarun] [1] [-i412] [-s5qxahdkoC.vox] [-s6\\gbvox\\]",
            "qxe [qxarun] [1] [-i412] [-s5qxahdkoE.vox] [-s6\\gbvox\\]",
            "qxe [qxasms] [1] [-s20171555] [-s3qxahdko]", "qxe [qxasms] [1] [-s20171555] [-s3qxahdko]",
            "qxtque.exe [postjob] [1] [dial_s1] " + phone + " [-s5qxahdkoC.vox] [-s6\\gbvox\\] [-i24]",
            "qxtque.exe [postjob] [1] [dial_s1] " + phone + " [-s5qxahdkoE.vox] [-s6\\gbvox\\] [-i24]"));
    EXPECT_FALSE(sandbox.exists("injected"));
    EXPECT_EQ(sandbox.read("root/qxt/log/qxahdko.msg"),
              "ALARM: Harddisk E: on alarmserver has not enough free space!\n");
    const std::string log = sandbox.read("work/log/qxmover_50.log");
    EXPECT_THAT(log,
                HasSubstr("09.12, 07:00,  Alarm 12 started because drive C: has not enough space left\n"
                          "09.12, 07:00,  Send SMS to 0171555, because drive C: has not enough space left\n"
                          "09.12, 07:00,  Call number 1; touch "));
    EXPECT_THAT(log,
                HasSubstr("09.12, 07:00,  Alarm 12 started because drive E: has not enough space left\n"));
}

// A reaction that cannot be started (no qxe here) fails the run instead of reporting it started.
TEST_F(MonitorCommandsTest, ReactionThatCannotStartFailsTheRun) {
    lowDisk();
    ini("qxmover.ini", "HDCheck", "CheckDrives", "C:");
    std::filesystem::remove(sandbox.path("work/qxe"));
    auto result = run({"disk-check", "--at", "2026-12-09 07:00"});
    EXPECT_EQ(result.exitCode, 1);
    const std::string log = sandbox.read("work/log/qxmover_50.log");
    EXPECT_THAT(log, HasSubstr("Cannot start alarm 12, although drive C: has not enough space left"));
    EXPECT_THAT(log, Not(HasSubstr("Alarm 12 started")));
    EXPECT_THAT(log, Not(HasSubstr("Send SMS")));
}

// Intervals far past any sense ended a rehearsal never (the job watcher's sleep overflowed and the
// thread spun) and started the line watchdog's alarm at every pass. Now the service rehearses its half
// hour, and says once what it used instead.
TEST_F(MonitorCommandsTest, RehearsalWithHugeIntervalsEndsAndTellsTheValuesUsed) {
    sandbox.dir("run");
    sandbox.dir("root/qxt/jobs");
    ini("qxmover.ini", "JobDirWatcher", "CheckJob1", "1");
    ini("qxmover.ini", "JobDirWatcher", "CheckDir1", "\\qxt\\jobs");
    ini("qxmover.ini", "JobDirWatcher", "CheckJobIntervalMin", "200000000");
    ini("qxalarm.ini", "LineWatchDog", "WDogActive", "1");
    ini("qxalarm.ini", "LineWatchDog", "DeltaHours", "400000000");
    ini("qxalarm.ini", "LineWatchDog", "StartAlarm", "50");
    auto result = test::runBinary(
        kBinary,
        {"--root", sandbox.path("root").string(), "--workdir", sandbox.path("work").string(), "--headless",
         "--clock-start", "2026-12-09 08:05", "--clock-until", "2026-12-09 08:35"},
        {"TZ=Europe/Berlin", "XDG_RUNTIME_DIR=" + sandbox.path("run").string()}, std::chrono::seconds(60));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string log = sandbox.read("work/log/qxmover_50.log");
    EXPECT_THAT(log,
                HasSubstr("CheckJobIntervalMin=200000000 is out of range (1 to 10080); 5 is used instead\n"));
    EXPECT_THAT(log, HasSubstr("DeltaHours=400000000 is out of range (1 to 168); 168 is used instead\n"));
    EXPECT_THAT(log, Not(HasSubstr("start Alarm 50")));
    const std::string counter = Profile(sandbox.path("root/windows"))
                                    .getString("qxalarm.ini", "LineWatchDog", "CheckCounter", "", 32);
    // One pass every ten minutes of the half hour, counted up from 0; never a failure's negative value.
    EXPECT_THAT(counter, ::testing::AnyOf("3", "4"));
}

TEST_F(MonitorCommandsTest, AlarmKeyBelowTenStartsNoAlarm) {
    lowDisk();
    ini("qxmover.ini", "HDCheck", "AlarmKey", "5");
    ini("qxmover.ini", "HDCheck", "CheckDrives", "C:");
    ASSERT_EQ(run({"disk-check", "--at", "2026-12-09 07:00"}).exitCode, 0);
    auto lines = recorded(3);
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines, Not(::testing::Contains(HasSubstr("qxarun"))));
}

TEST_F(MonitorCommandsTest, DryRunPrintsTheReactionsAndStartsNothing) {
    lowDisk();
    ini("qxmover.ini", "HDCheck", "CheckDrives", "C:");
    auto result = run({"disk-check", "--dry-run", "--at", "2026-12-09 07:00"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("run start qxe.exe qxarun 1 -i412 -s5qxahdkoC.vox -s6\\gbvox\\\n"));
    EXPECT_THAT(result.out,
                HasSubstr("create-file " + sandbox.path("root/qxt/log/qxahdko.msg").string() + "\n"));
    EXPECT_THAT(result.out, HasSubstr("run lowdisk.bat now\n"));
    EXPECT_FALSE(sandbox.exists("record.txt"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/qxahdko.msg"));
    EXPECT_THAT(sandbox.read("root/windows/qxmover.ini"), Not(HasSubstr("DialPhoneRetry")));
}

TEST_F(MonitorCommandsTest, WebTriggerCarriesThePeriodsThatHaveBegun) {
    ASSERT_EQ(run({"web-trigger", "--at", "2029-01-01 00:07"}).exitCode, 0);
    EXPECT_THAT(recorded(1), ElementsAre("qxphp.bat [webtrigger] [y2029] [m1] [w2] [d1] [h0]"));
    ASSERT_EQ(run({"web-trigger", "--at", "2029-01-01 13:07"}).exitCode, 0);
    EXPECT_THAT(recorded(2), ElementsAre("qxphp.bat [webtrigger] [h13]",
                                         "qxphp.bat [webtrigger] [y2029] [m1] [w2] [d1] [h0]"));
    EXPECT_THAT(
        sandbox.read("work/log/qxmover_02.log"),
        HasSubstr("01.01, 13:07,  Successfully started trigger: \\qx_web\\bin\\qxphp.bat webtrigger h13\n"));
}

TEST_F(MonitorCommandsTest, JobCheckMovesStaleFilesAndStartsTheAlarm) {
    ini("qxmover.ini", "JobDirWatcher", "CheckJob1", "1");
    ini("qxmover.ini", "JobDirWatcher", "CheckDir1", "\\qxt\\jobs");
    ini("qxmover.ini", "JobDirWatcher", "MoveFiles1", "1");
    ini("qxmover.ini", "JobDirWatcher", "MoveDir1", "\\qxt\\stale");
    ini("qxmover.ini", "JobDirWatcher", "StartOnErrorType", "1");
    ini("qxmover.ini", "JobDirWatcher", "StartOnErrorAlarm", "15");
    sandbox.file("root/qxt/jobs/a.job", "a", std::chrono::system_clock::now() - std::chrono::hours(2));
    sandbox.dir("root/qxt/stale");

    ASSERT_EQ(run({"job-check"}).exitCode, 0);

    EXPECT_THAT(recorded(1), ElementsAre("qxe [qxarun] [1] [-i415]"));
    EXPECT_EQ(sandbox.read("root/qxt/stale/a.job"), "a");
}

TEST_F(MonitorCommandsTest, WatchdogCallOnTheListedLines) {
    ini("qxalarm.ini", "LineWatchDog", "PostType", "1");
    ini("qxalarm.ini", "LineWatchDog", "CheckLines", "3,75,5");
    auto none = run({"watchdog-call", "--at", "2026-12-09 07:00"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_THAT(none.err, HasSubstr("NumberToDial"));

    ini("qxalarm.ini", "LineWatchDog", "NumberToDial", "0301234");
    ASSERT_EQ(run({"watchdog-call", "--at", "2026-12-09 07:00"}).exitCode, 0);
    EXPECT_THAT(recorded(2), ElementsAre("qxtque.exe [batchpost] [3] [_testcall] [-s10301234] [-s2]",
                                         "qxtque.exe [batchpost] [5] [_testcall] [-s10301234] [-s2]"));
}

}  // namespace
}  // namespace qx
