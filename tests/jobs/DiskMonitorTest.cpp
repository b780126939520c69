#include "DiskMonitor.h"

#include <map>

#include "JobsFixture.h"
#include "PathMap.h"
#include "Profile.h"
#include "SchedulerThread.h"
#include "ServiceHooks.h"
#include "SettingRecords.h"
#include "SharedState.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

constexpr std::uint64_t kMb = 1024 * 1024;

// Drives in a sandbox (C: the root, D: to G: directories of their own) whose space the test decides.
class DiskMonitorTest : public JobsTest {
protected:
    DiskMonitorTest() {
        for (char letter : std::string("DEFG"))
            drives[letter] = sandbox.dir(std::string("drive_") + letter);
        paths = PathMap(sandbox.path("root"), sandbox.path("root/windows"), drives);
        clock.advanceTo(at(2026, 12, 9, 7));  // week 50
    }

    // Each query is recorded; a root without an entry cannot be queried.
    std::optional<DiskSpace> query(const std::filesystem::path& root) {
        queried.push_back(root);
        auto it = space.find(root);
        return it == space.end() ? std::nullopt : std::optional<DiskSpace>(it->second);
    }
    void freeMb(const std::filesystem::path& root, std::uint64_t freeMegabytes,
                std::uint64_t totalMegabytes = 100000) {
        space[root] = DiskSpace{freeMegabytes * kMb, totalMegabytes * kMb};
    }

    // Every reaction on: alarm 12, SMS, batch and call.
    DiskMonitorSettings allReactions() {
        DiskMonitorSettings s;
        s.checkHour = 7;
        s.minSpaceMb = 200;
        s.alarmKey = 12;
        s.smsNumber = "0171555";
        s.batchProgram = "cleanup.bat /all";
        s.phoneNumber = "0301234";
        return s;
    }

    // "low", "not low", or why a reaction to the low drive could not start.
    std::string check(std::string_view drive, const DiskMonitorSettings& settings) {
        const Result<bool> checked = monitor.checkDrive(drive, settings);
        return !checked ? checked.reason() : checked.value() ? "low" : "not low";
    }

    std::map<char, std::filesystem::path> drives;
    std::map<std::filesystem::path, DiskSpace> space;
    std::vector<std::filesystem::path> queried;
    DiskMonitor monitor{services, files, [this](const std::filesystem::path& root) { return query(root); }};
};

TEST_F(DiskMonitorTest, LowDriveRunsTheFourReactionsInOrder) {
    freeMb(sandbox.path("root"), 199);

    EXPECT_EQ(check("C:", allReactions()), "low");

    EXPECT_THAT(launcher.calls(),
                ElementsAre("run start qxe.exe qxarun 1 -i412 -s5qxahdkoC.vox -s6\\gbvox\\",
                            "run start qxe qxasms 1 -s20171555 -s3qxahdko", "run cleanup.bat /all",
                            "run qxtque.exe postjob 1 dial_s1 -s10301234 -s5qxahdkoC.vox -s6\\gbvox\\ -i24"));
    EXPECT_EQ(sandbox.read("root/qxt/log/qxahdko.msg"),
              "ALARM: Harddisk C: on alarmserver has not enough free space!\n");
    EXPECT_THAT(
        activity(50),
        ElementsAre("09.12, 07:00,  Alarm 12 started because drive C: has not enough space left",
                    "09.12, 07:00,  Send SMS to 0171555, because drive C: has not enough space left",
                    "09.12, 07:00,  Call number 0301234, because drive C: has not enough space left"));
    // The missing retry count is written so that administrators find it.
    EXPECT_EQ(profile.getString("qxmover.ini", "HDCheck", "DialPhoneRetry", "", 16), "4");
}

// The launcher could not start the programs: nothing is logged as started, each failure is told and
// counted (for the exit code of the run command).
TEST_F(DiskMonitorTest, ReactionsThatCouldNotStartAreToldAndCounted) {
    freeMb(sandbox.path("root"), 199);
    launcher.missing = {"start", "cleanup.bat", "qxtque.exe", "qxarun"};

    EXPECT_EQ(check("C:", allReactions()),
              "Cannot start alarm 12, although drive C: has not enough space left (4 reactions failed)");
    EXPECT_EQ(monitor.failedReactions(), 4);
    EXPECT_THAT(
        activity(50),
        ElementsAre(
            "09.12, 07:00,  Cannot start alarm 12, although drive C: has not enough space left",
            "09.12, 07:00,  Cannot send SMS to 0171555, although drive C: has not enough space left",
            "09.12, 07:00,  Cannot start batch program cleanup.bat /all, although drive C: has not enough "
            "space left",
            "09.12, 07:00,  Cannot call number 0301234, although drive C: has not enough space left"));

    ini("qxmover.ini", "MonitorAddtionalDrives", "Drive1", "D:");
    ini("qxmover.ini", "MonitorAddtionalDrives", "Space1", "50");
    ini("qxmover.ini", "MonitorAddtionalDrives", "StartAlarm1", "31");
    freeMb(drives['D'], 250, 1000);
    EXPECT_EQ(monitor.checkAdditionalDrives(), 0);
    EXPECT_EQ(monitor.failedReactions(), 5);
}

// MinSpace -1 made every drive low every day, compared unsigned.
TEST_F(DiskMonitorTest, NegativeMinimumTakesTheDefault) {
    ini("qxmover.ini", "HDCheck", "MinSpace", "-1");
    freeMb(sandbox.path("root"), 5000);
    EXPECT_EQ(check("C:", diskMonitorOf(readSettings(profile, {}, reportOf(services)))), "not low");
    freeMb(sandbox.path("root"), 150);
    EXPECT_EQ(check("C:", diskMonitorOf(readSettings(profile, {}, reportOf(services)))), "low");
}

TEST_F(DiskMonitorTest, FreeSpaceLimits) {
    const auto low = [&](std::uint64_t freeBytes, int minSpace, bool readOnly = false) {
        return isLow(DiskSpace{freeBytes, 1000 * kMb, readOnly}, minSpace);
    };
    EXPECT_TRUE(low(199 * kMb, 200));
    EXPECT_FALSE(low(200 * kMb, 200));
    EXPECT_TRUE(low(200 * kMb - 1, 200));  // whole megabytes, rounded down
    // A full writable disk is the lowest of all.
    EXPECT_TRUE(low(0, 200));
    EXPECT_TRUE(low(kMb - 1, 200));
    // A read-only medium reports nothing free and can never fill up.
    EXPECT_FALSE(low(0, 200, true));
    EXPECT_FALSE(low(0, 0));
}

TEST_F(DiskMonitorTest, AlarmKeyBelowTenStartsNoAlarmButTheOtherReactions) {
    freeMb(drives['E'], 10);
    DiskMonitorSettings settings = allReactions();
    settings.alarmKey = 5;
    ini("qxmover.ini", "HDCheck", "DialPhoneRetry", "2");

    EXPECT_EQ(check("E:", settings), "low");

    EXPECT_THAT(launcher.calls(),
                ElementsAre("run start qxe qxasms 1 -s20171555 -s3qxahdko", "run cleanup.bat /all",
                            "run qxtque.exe postjob 1 dial_s1 -s10301234 -s5qxahdkoE.vox -s6\\gbvox\\ -i22"));
    EXPECT_EQ(activity(50).size(), 2u);
}

TEST_F(DiskMonitorTest, SwitchedOffReactionsAndUnwritableSmsFile) {
    freeMb(sandbox.path("root"), 1);
    DiskMonitorSettings settings = allReactions();
    settings.alarmKey = -1;
    settings.batchProgram.clear();
    settings.phoneNumber.clear();
    ini("qxalarm.ini", "qxawrdb", "DbPath", "\\no\\such\\dir");

    EXPECT_EQ(check("C:", settings), "low");

    // Without its text file the SMS is not sent and not logged.
    EXPECT_THAT(launcher.calls(), IsEmpty());
    EXPECT_THAT(activity(50), IsEmpty());
}

TEST_F(DiskMonitorTest, VoiceFolderFollowsTheLanguageExactly) {
    freeMb(drives['D'], 1);
    DiskMonitorSettings settings = allReactions();
    settings.smsNumber.clear();
    settings.batchProgram.clear();
    settings.phoneNumber.clear();
    for (const auto& [language, folder] : std::vector<std::pair<std::string, std::string>>{
             {"DT", "\\dtvox\\"}, {"FR", "\\frvox\\"}, {"fr", "\\gbvox\\"}, {"", "\\gbvox\\"}}) {
        ini("qxmover.ini", "Config", "DefaultLanguage", language);
        EXPECT_EQ(check("D:", settings), "low");
        EXPECT_EQ(launcher.calls().back(), "run start qxe.exe qxarun 1 -i412 -s5qxahdkoD.vox -s6" + folder)
            << language;
    }
}

TEST_F(DiskMonitorTest, ValuesFromProfilesStayOneArgument) {
    freeMb(sandbox.path("root"), 1);
    DiskMonitorSettings settings = allReactions();
    settings.phoneNumber = "1; touch /tmp/x";
    settings.smsNumber = "2 \"&& reboot";

    EXPECT_EQ(check("C:", settings), "low");

    std::vector<std::string> calls = launcher.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_THAT(splitCommandLine(calls[1].substr(4)),
                ElementsAre("start", "qxe", "qxasms", "1", "-s22 \"&& reboot", "-s3qxahdko"));
    EXPECT_THAT(splitCommandLine(calls[3].substr(4)),
                ElementsAre("qxtque.exe", "postjob", "1", "dial_s1", "-s11; touch /tmp/x", "-s5qxahdkoC.vox",
                            "-s6\\gbvox\\", "-i24"));
}

TEST_F(DiskMonitorTest, UnmappedOrUnqueryableDrivesAreSkipped) {
    paths = PathMap(sandbox.path("root"), sandbox.path("root/windows"), {{'D', drives['D']}});
    if (paths.drive('E'))
        GTEST_SKIP() << "every drive letter is a drive of the system here, mapped or not";
    EXPECT_EQ(check("E:", allReactions()), "not low");  // not mapped: never queried
    EXPECT_EQ(check("D:", allReactions()), "not low");  // mapped, but the query fails
    EXPECT_THAT(queried, ElementsAre(drives['D']));
    EXPECT_THAT(launcher.calls(), IsEmpty());
}

TEST_F(DiskMonitorTest, FurtherDrivesByUsedShare) {
    EXPECT_EQ(usedPercent(DiskSpace{250 * kMb, 1000 * kMb}), 75);
    // Beyond 42 TB the share must not overflow.
    EXPECT_EQ(usedPercent(DiskSpace{10'000'000 * kMb, 50'000'000 * kMb}), 80);
    EXPECT_EQ(usedPercent(DiskSpace{0, kMb - 1}), std::nullopt);

    const auto drive = [&](int n, const std::string& name, int limit, int alarm) {
        ini("qxmover.ini", "MonitorAddtionalDrives", ("Drive" + std::to_string(n)).c_str(), name);
        ini("qxmover.ini", "MonitorAddtionalDrives", ("Space" + std::to_string(n)).c_str(),
            std::to_string(limit));
        ini("qxmover.ini", "MonitorAddtionalDrives", ("StartAlarm" + std::to_string(n)).c_str(),
            std::to_string(alarm));
    };
    freeMb(drives['D'], 250, 1000);
    freeMb(drives['E'], 251, 1000);
    space[drives['F']] = DiskSpace{0, kMb / 2};  // smaller than a megabyte: skipped, not divided by
    freeMb(drives['G'], 0, 1000);
    drive(1, "D:", 75, 31);
    drive(2, "E:", 75, 32);
    drive(3, "F:", 0, 33);
    drive(4, "H:", 0, 34);  // not mapped
    drive(5, "G", 0, 35);   // one character: the list ends here
    drive(6, "G:", 0, 36);

    EXPECT_EQ(monitor.checkAdditionalDrives(), 1);

    EXPECT_THAT(launcher.calls(), ElementsAre("run qxarun 31 0 0 DriveMonitor"));
    EXPECT_THAT(activity(50),
                ElementsAre("09.12, 07:00,  Alarm 31 started because drive D: has reached 75 %"));
}

// What the drive editor stores is what the monitor checks, and what the editor reads back: the share
// (a missing one is 0 for both, which the editor shows as its suggestion of 90), and the alarm entry
// chosen in the list, whose leading number is the alarm.
TEST_F(DiskMonitorTest, TheEditorsEntryIsWhatTheMonitorChecks) {
    ASSERT_EQ(writeMonitoredDrive(profile, 1, {"D:", 75, "31  Disk full"}), "");
    freeMb(drives['D'], 251, 1000);  // 74 %
    EXPECT_EQ(monitor.checkAdditionalDrives(), 0);
    freeMb(drives['D'], 250, 1000);  // 75 %
    EXPECT_EQ(monitor.checkAdditionalDrives(), 1);
    EXPECT_THAT(launcher.calls(), ElementsAre("run qxarun 31 0 0 DriveMonitor"));
    EXPECT_THAT(activity(50),
                ElementsAre("09.12, 07:00,  Alarm 31 started because drive D: has reached 75 %"));

    const MonitoredDrive back = readMonitoredDrive(profile, 1);
    EXPECT_EQ(back.percent, 75);
    EXPECT_EQ(back.alarm, "31  Disk full");
    EXPECT_EQ(back.alarmNumber, 31);
    ini("qxmover.ini", "MonitorAddtionalDrives", "Space1", "");
    EXPECT_EQ(readMonitoredDrive(profile, 1).percent, 0);
    EXPECT_EQ(monitor.checkAdditionalDrives(), 1);

    // What the monitor would not take back as it is, the editor does not store.
    EXPECT_EQ(
        writeMonitoredDrive(profile, 2, {"E:", 101, ""}),
        "Cannot write Space2 in [MonitorAddtionalDrives] of qxmover.ini: 101 is out of range (0 to 100)");
}

TEST_F(DiskMonitorTest, SchedulerChecksTheSelectedDrivesAtTheCheckHour) {
    ini("qxmover.ini", "HDCheck", "Active", "1");
    ini("qxmover.ini", "HDCheck", "CheckTime", "7");
    ini("qxmover.ini", "HDCheck", "MinSpace", "100");
    ini("qxmover.ini", "HDCheck", "CheckDrives", "c:,e:,g:");
    ini("qxmover.ini", "HDCheck", "StartAlarmIfLow", "1");
    ini("qxmover.ini", "HDCheck", "AlarmKey", "12");
    ini("qxmover.ini", "MonitorAddtionalDrives", "Drive1", "G:");
    ini("qxmover.ini", "MonitorAddtionalDrives", "Space1", "90");
    ini("qxmover.ini", "MonitorAddtionalDrives", "StartAlarm1", "40");
    freeMb(sandbox.path("root"), 50);
    freeMb(drives['E'], 5000);
    freeMb(drives['G'], 1, 1000);
    Deleter deleter;
    ServiceHooks serviceHooks(services, files, deleter,
                              [this](const std::filesystem::path& root) { return query(root); });
    SchedulerThread scheduler(services, &serviceHooks, &files);

    scheduler.pass(at(2026, 12, 9, 6));
    scheduler.pass(at(2026, 12, 9, 7));

    // G: is checked only as a further drive, never by the free-space test.
    EXPECT_THAT(queried, ElementsAre(sandbox.path("root"), drives['E'], drives['G']));
    EXPECT_THAT(launcher.calls(), ElementsAre("run start qxe.exe qxarun 1 -i412 -s5qxahdkoC.vox -s6\\gbvox\\",
                                              "run qxarun 40 0 0 DriveMonitor"));
}

}  // namespace
}  // namespace qx::test
