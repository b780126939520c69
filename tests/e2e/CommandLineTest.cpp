// The real binary, driven as an administrator or a script would.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "RunBinary.h"
#include "Sandbox.h"

using ::testing::HasSubstr;

namespace qx {
namespace {

const std::filesystem::path kBinary = QX_BINARY;

test::BinaryResult qxmover(const std::vector<std::string>& args) {
    return test::runBinary(kBinary, args, {"TZ=Europe/Berlin"});
}

TEST(WeekCommand, PrintsTheInstallationsWeek) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"2026-01-04", "1\n"}, {"2026-01-05", "2\n"}, {"2026-12-31", "53\n"}, {"2027-01-03", "0\n"},
        {"2027-01-04", "1\n"}, {"2029-01-07", "2\n"}, {"2029-12-31", "54\n"}, {"2026-12-07", "50\n"}};
    for (const auto& [date, week] : cases) {
        auto result = qxmover({"week", date});
        EXPECT_EQ(result.exitCode, 0) << date;
        EXPECT_EQ(result.out, week) << date;
    }
}

TEST(WeekCommand, BadDateIsAUsageError) {
    for (const char* bad : {"2026-13-01", "7.12.2026", "2026-12-07 10:00"}) {
        auto result = qxmover({"week", bad});
        EXPECT_EQ(result.exitCode, 2) << bad;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_THAT(result.err, HasSubstr(bad));
    }
    auto unknown = qxmover({"--no-such-option"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1) << unknown.err;
}

TEST(ProfileCommand, ReadsAndWritesProfilesOfTheInstallation) {
    test::Sandbox sandbox;
    std::vector<std::string> global{"--root", sandbox.path("root").string()};
    sandbox.dir("root/windows");
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.begin(), global.begin(), global.end());
        return qxmover(args);
    };
    EXPECT_EQ(with({"profile", "set", "qxmover.ini", "HDCheck", "MinSpace", "0x20"}).exitCode, 0);
    EXPECT_EQ(with({"profile", "get-int", "qxmover.ini", "hdcheck", "MINSPACE", "-9"}).out, "32\n");
    EXPECT_EQ(with({"profile", "get", "qxmover.ini", "HDCheck", "MinSpace", "", "3"}).out, "0x\n");
    EXPECT_EQ(with({"profile", "get-int", "qxmover.ini", "HDCheck", "Missing", "-9"}).out, "-9\n");
    EXPECT_EQ(with({"profile", "delete", "qxmover.ini", "HDCheck", "MinSpace"}).exitCode, 0);
    EXPECT_EQ(with({"profile", "get", "qxmover.ini", "HDCheck", "MinSpace", "gone"}).out, "gone\n");
    EXPECT_EQ(sandbox.read("root/windows/qxmover.ini"), "[HDCheck]\r\n");
    EXPECT_EQ(with({"profile", "get-int", "qxmover.ini", "HDCheck"}).exitCode, 2);
    EXPECT_EQ(with({"profile", "frobnicate"}).exitCode, 2);
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.dir("root/windows");
        sandbox.dir("work/log");
    }
    // Relative paths, as an administrator types them: taken from where the command is given, not
    // from the working directory.
    std::vector<std::string> global() const {
        auto here = std::filesystem::current_path();
        return {"--root", std::filesystem::relative(sandbox.path("root"), here).string(), "--workdir",
                std::filesystem::relative(sandbox.path("work"), here).string()};
    }
    test::Sandbox sandbox;
};

TEST_F(ServiceTest, FirstStartWritesDefaultsAndRehearsesTwentyFiveMinutes) {
    auto args = global();
    args.insert(args.end(),
                {"--headless", "--clock-start", "2026-12-07 08:05", "--clock-until", "2026-12-07 08:30"});
    auto result = qxmover(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string ini = sandbox.read("root/windows/qxmover.ini");
    EXPECT_THAT(ini, HasSubstr("[Config]\r\nStart2ndBatch=0\r\nDeleteMoreFiles=0\r\nMoveConferWav=0\r\n"
                               "MoveConferWavDaily=0\r\nDelAlarmWav=0\r\nDelAlarmWavAfterWeeks=4\r\n"
                               "MoveConferWavToSubDir=0\r\nPrintReport=0\r\nStartSaveBaseAsPostjob=0\r\n"));
    EXPECT_THAT(ini, ::testing::Not(HasSubstr("DelLogFiles")));
    EXPECT_THAT(ini, ::testing::Not(HasSubstr("WaitBeforeDel")));
    EXPECT_THAT(sandbox.read("work/log/qxmover_50.log"), HasSubstr("07.12, 08:05,  Mover started\n"));
    EXPECT_EQ(sandbox.read("work/log/qxlive.log"), "07.12, 08:05,  1\n07.12, 08:15,  2\n07.12, 08:25,  3\n");
}

TEST_F(ServiceTest, SigtermStopsTheServiceCleanly) {
    auto args = global();
    args.push_back("--headless");
    int pid = test::spawnBinary(kBinary, args, sandbox.path("out"));
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 500 && !sandbox.exists("work/log/qxlive.log"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(sandbox.exists("work/log/qxlive.log"));

    // A second start for the same installation hands over and ends at once.
    auto second = qxmover(args);
    EXPECT_EQ(second.exitCode, 0);

    kill(pid, SIGTERM);
    EXPECT_EQ(test::waitBinary(pid, std::chrono::seconds(10)), 0);
}

TEST_F(ServiceTest, RehearsalNeedsBothEnds) {
    auto args = global();
    args.insert(args.end(), {"--headless", "--clock-start", "2026-12-07 08:05"});
    EXPECT_EQ(qxmover(args).exitCode, 2);
}

}  // namespace
}  // namespace qx
