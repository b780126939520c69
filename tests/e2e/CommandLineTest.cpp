// The real binary, driven as an administrator or a script would.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "RunBinary.h"
#include "Sandbox.h"

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

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
    for (const char* bad : {"2026-13-01", "7.12.2026", "2026-12-07 10:00", "9999-12-31", "2262-04-12"}) {
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

TEST(CommandLine, MistakesPointToTheFix) {
    auto bogus = qxmover({"bogus"});
    EXPECT_EQ(bogus.exitCode, 2);
    EXPECT_THAT(bogus.err, HasSubstr("bogus"));
    EXPECT_THAT(bogus.err, HasSubstr("--help"));

    // An empty text (an unset shell variable) must not mean "now" or "here".
    const std::vector<std::vector<std::string>> empty{
        {"--root", "", "week"},
        {"week", ""},
        {"--headless", "--clock-start", "", "--clock-until", "2026-12-07 08:30"},
        {"--headless", "--clock-start", "2026-12-07 08:05", "--clock-until", ""},
        {"run", "timed-tasks", "--dry-run", "--at", ""}};
    for (const auto& args : empty) {
        auto result = qxmover(args);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_THAT(result.err, HasSubstr("not an empty text"));
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    for (const char* variable : {"QXMOVER_ROOT=", "QXMOVER_WINDIR="}) {
        auto result =
            test::runBinary(kBinary, {"run", "weekly-1", "--dry-run"}, {"TZ=Europe/Berlin", variable});
        EXPECT_EQ(result.exitCode, 2) << variable << result.err;
        EXPECT_THAT(result.err, HasSubstr("not an empty text"));
    }

    // The clock ends on 2262-04-11: a later date is refused, not held at that end.
    const std::vector<std::vector<std::string>> beyond{
        {"run", "weekly-1", "--dry-run", "--at", "9999-12-31 23:59"},
        {"report", "--at", "2262-04-12 00:00"},
        {"--headless", "--clock-start", "2262-04-12 00:00", "--clock-until", "2262-04-13 00:00"}};
    for (const auto& args : beyond) {
        auto result = qxmover(args);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_THAT(result.err, HasSubstr("dates from 1970-01-01 to 2262-04-11"));
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

// A mistyped --root or --windir once ran the job on default settings, creating the tree it expected.
TEST(CommandLine, CommandsThatReadSettingsRefuseAMissingInstallation) {
    test::Sandbox sandbox;
    sandbox.dir("root/windows");
    sandbox.dir("work/log");
    const std::string work = sandbox.path("work").string();
    const std::vector<std::vector<std::string>> commands{
        {"run", "weekly-1", "--at", "2026-12-07 01:00", "--yes"}, {"report"}, {"alarms"}};
    for (const auto& command : commands) {
        std::vector<std::string> typo{"--root", sandbox.path("rooot").string(), "--workdir", work};
        typo.insert(typo.end(), command.begin(), command.end());
        auto noRoot = qxmover(typo);
        EXPECT_EQ(noRoot.exitCode, 1) << command[0];
        EXPECT_THAT(noRoot.err, HasSubstr("the installation root " + sandbox.path("rooot").string()));
        EXPECT_FALSE(sandbox.exists("rooot"));

        std::vector<std::string> noIni{"--root", sandbox.path("root").string(), "--workdir", work};
        noIni.insert(noIni.end(), command.begin(), command.end());
        auto missing = qxmover(noIni);
        EXPECT_EQ(missing.exitCode, 1) << command[0];
        EXPECT_THAT(missing.err, HasSubstr("has no qxmover.ini (see --windir)"));
        EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
    }
    EXPECT_FALSE(sandbox.exists("root/qxt"));
}

TEST(CommandLine, RunHelpSaysWhatEachJobDoesAndWhichDelete) {
    auto help = qxmover({"run", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    // A job's line: "* name  what it does" where it deletes files, "  name  ..." where it does not.
    auto lineOf = [&](const std::string& job) {
        for (const char* mark : {"\n* ", "\n  "})
            if (std::size_t at = help.out.find(mark + job + " "); at != std::string::npos)
                return help.out.substr(at + 1, help.out.find('\n', at + 1) - at - 1);
        return std::string();
    };
    for (const char* job : {"weekly-0", "weekly-1", "monthly", "move-now", "delete-now", "conference",
                            "alarm-wavs", "extra-delete"}) {
        EXPECT_THAT(lineOf(job), StartsWith("* ")) << job;
        EXPECT_THAT(lineOf(job), HasSubstr("deletes")) << job;
    }
    for (const char* job : {"second-batch", "edit-second-batch", "timed-tasks", "backup", "report",
                            "disk-check", "extra-drives", "job-check", "watchdog-call", "web-trigger"}) {
        EXPECT_GT(lineOf(job).size(), 40u) << job << ": " << lineOf(job);
        EXPECT_THAT(lineOf(job), StartsWith("  ")) << job;
    }
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.dir("root/windows");
        sandbox.dir("work/log");
        sandbox.dir("run");
    }
    // The service's runtime directory lies in the sandbox, so that its lock files are seen to go.
    std::vector<std::string> env() const {
        return {"TZ=Europe/Berlin", "XDG_RUNTIME_DIR=" + sandbox.path("run").string()};
    }
    test::BinaryResult service(const std::vector<std::string>& args) const {
        return test::runBinary(kBinary, args, env());
    }
    int spawnService(const std::vector<std::string>& args) const {
        return test::spawnBinary(kBinary, args, sandbox.path("out"), env());
    }
    bool await(std::string_view relative) const {
        for (int i = 0; i < 2000 && !sandbox.exists(relative); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return sandbox.exists(relative);
    }
    std::size_t runtimeFiles() const {
        std::size_t n = 0;
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(sandbox.path("run")))
            ++n;
        return n;
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
    auto result = service(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // One start-up line on standard error, for journald.
    auto root = std::filesystem::absolute(sandbox.path("root")).lexically_normal().string();
    EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1),
              "qxmover: root " + root + ", profile directory " + root + "/windows, activity log " +
                  sandbox.path("work/log/qxmover_50.log").string() +
                  ", clock virtual 2026-12-07 08:05:00 until 2026-12-07 08:30:00\n");
    EXPECT_EQ(runtimeFiles(), 0u);
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
    int pid = spawnService(args);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(await("work/log/qxlive.log"));
    EXPECT_EQ(runtimeFiles(), 2u);  // the lock and the socket

    // A second start for the same installation hands over, says so and ends at once.
    auto second = service(args);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_THAT(second.err, HasSubstr("another instance is running"));

    kill(pid, SIGTERM);
    EXPECT_EQ(test::waitChild(pid, std::chrono::seconds(10)), 0);
    EXPECT_EQ(runtimeFiles(), 0u);
}

TEST_F(ServiceTest, StopEndsAHungSiblingProgramAndExitsCleanly) {
    // Monday's backup as a job-queue post job, started through the command shell and waited for: the
    // stub ignores SIGTERM and would sleep for five minutes.
    sandbox.file("root/windows/qxmover.ini",
                 "[AutoBackup]\r\nActive=1\r\n[Config]\r\nStartSaveBaseAsPostjob=1\r\n");
    sandbox.file("work/qxtque", "#!/bin/sh\ntrap '' TERM\necho $$ > '" + sandbox.path("hung.pid").string() +
                                    ".tmp'\nmv '" + sandbox.path("hung.pid").string() + ".tmp' '" +
                                    sandbox.path("hung.pid").string() + "'\nexec sleep 300\n");
    std::filesystem::permissions(sandbox.path("work/qxtque"), std::filesystem::perms::owner_all);
    auto args = global();
    args.insert(args.end(),
                {"--headless", "--clock-start", "2026-12-06 23:59:30", "--clock-until", "2026-12-07 02:00"});
    int pid = spawnService(args);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(await("hung.pid")) << test::readFile(sandbox.path("out.err"));
    pid_t hung = std::stoi(sandbox.read("hung.pid"));

    kill(pid, SIGTERM);
    // The grace between SIGTERM and SIGKILL is two seconds; the unit allows ten.
    EXPECT_EQ(test::waitChild(pid, std::chrono::seconds(8)), 0);
    EXPECT_NE(kill(hung, 0), 0) << "the hung program is still there";
    EXPECT_THAT(sandbox.read("work/log/qxmover_50.log"), HasSubstr("because the service stops"));
    EXPECT_EQ(runtimeFiles(), 0u);
}

TEST_F(ServiceTest, MissingDirectoriesEndTheServiceWithTheReason) {
    auto args = global();
    args.insert(args.end(),
                {"--headless", "--clock-start", "2026-12-07 08:05", "--clock-until", "2026-12-07 08:30"});
    std::filesystem::remove(sandbox.path("work/log"));
    auto noLog = service(args);
    EXPECT_EQ(noLog.exitCode, 1);
    EXPECT_THAT(noLog.err, HasSubstr("log directory"));
    EXPECT_THAT(noLog.err, HasSubstr(sandbox.path("work/log").string()));

    sandbox.dir("work/log");
    std::filesystem::remove(sandbox.path("root/windows"));
    auto noProfiles = service(args);
    EXPECT_EQ(noProfiles.exitCode, 1);
    EXPECT_THAT(noProfiles.err, HasSubstr("profile directory"));

    std::filesystem::remove(sandbox.path("root"));
    auto noRoot = service(args);
    EXPECT_EQ(noRoot.exitCode, 1);
    EXPECT_THAT(noRoot.err, HasSubstr("installation root"));
    EXPECT_FALSE(sandbox.exists("root"));
}

// A qxmover.ini that cannot be read is said once, with the reason, rather than by a failed write of
// every default; the service does not run on defaults that stand for settings it cannot see.
TEST_F(ServiceTest, AnUnreadableSettingsFileIsSaidOnceWithTheReason) {
    sandbox.dir("root/windows/qxmover.ini");
    auto args = global();
    args.insert(args.end(),
                {"--headless", "--clock-start", "2026-12-07 08:05", "--clock-until", "2026-12-07 08:30"});
    auto result = service(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr("qxmover.ini: not a regular file"));
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_THAT(result.err, Not(HasSubstr("Cannot write")));

    // A link to a share that is not mounted is not a first start: its defaults would replace the link.
    std::filesystem::remove(sandbox.path("root/windows/qxmover.ini"));
    std::filesystem::create_symlink(sandbox.path("share/qxmover.ini"),
                                    sandbox.path("root/windows/qxmover.ini"));
    auto dangling = service(args);
    EXPECT_EQ(dangling.exitCode, 1);
    EXPECT_THAT(dangling.err,
                HasSubstr("is a symbolic link to " + sandbox.path("share/qxmover.ini").string() +
                          ", which does not exist"));
    EXPECT_TRUE(std::filesystem::is_symlink(sandbox.path("root/windows/qxmover.ini")));
}

TEST_F(ServiceTest, RehearsalNeedsBothEnds) {
    auto args = global();
    args.insert(args.end(), {"--headless", "--clock-start", "2026-12-07 08:05"});
    EXPECT_EQ(qxmover(args).exitCode, 2);
}

}  // namespace
}  // namespace qx
