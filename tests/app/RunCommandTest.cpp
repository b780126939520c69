#include "RunCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <sstream>
#include <vector>

#include "ActivityLog.h"
#include "Clock.h"
#include "Profile.h"
#include "Sandbox.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx {
namespace {

namespace fs = std::filesystem;

class RunCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        QX_REQUIRE_CENTRAL_EUROPEAN_TIME();
        m_oldCwd = fs::current_path();
        sandbox.dir("work/log");
        sandbox.dir("root/qxt/log");
        sandbox.dir("root/windows");
        ini("qxaview.ini", "Config", "AlarmSelectionRange", "week");
        ini("qxmover.ini", "Config", "WaitBeforeDel", "2");
        ini("qxmover.ini", "Config", "DelLogFiles", "1");
        ini("qxmover.ini", "Config", "Start2ndBatch", "1");
        global.root = sandbox.path("root");
        global.workdir = sandbox.path("work");
        old = fromLocal(2026, 12, 1, 10);
    }
    void TearDown() override { fs::current_path(m_oldCwd); }

    void ini(const char* file, const char* section, const char* key, const char* value) {
        ASSERT_TRUE(Profile(sandbox.path("root/windows")).writeString(file, section, key, value));
    }

    int run(const std::string& job, const char* at, bool dryRun = false, bool yes = false) {
        out.str("");
        err.str("");
        RunOptions options;
        options.job = job;
        if (at)
            options.at = parseLocalTime(at);
        options.dryRun = dryRun;
        options.yes = yes;
        return runJobCommand(global, options, out, err);
    }

    std::string logDir() const { return sandbox.path("root/qxt/log").string(); }
    // A path below the log directory as the jobs print it (the system's separators).
    std::string logPath(const char* relative) const {
        return (sandbox.path("root/qxt/log") / relative).make_preferred().string();
    }

    test::Sandbox sandbox;
    GlobalOptions global;
    std::ostringstream out, err;
    SysTime old;

private:
    fs::path m_oldCwd;
};

TEST_F(RunCommandTest, UnknownJobIsAUsageError) {
    EXPECT_EQ(run("weekly-2", nullptr), 2);
    std::string message = err.str();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_THAT(message, HasSubstr("weekly-2"));
    EXPECT_THAT(out.str(), IsEmpty());
}

TEST_F(RunCommandTest, DryRunPrintsTheRealRunsWorkAndChangesNothing) {
    sandbox.file("root/qxt/log/a.dbf", "a", old);
    sandbox.file("root/qxt/log/log47/z.inf", "z", old);
    sandbox.file("work/qxmove2.bat", "rem\n");
    sandbox.file("work/qxdel2.bat", "rem\n");
    std::string iniBefore = sandbox.read("root/windows/qxmover.ini");

    EXPECT_EQ(run("weekly-1", "2026-12-07 01:00", true), 0);
    EXPECT_EQ(out.str(), "create-directory " + logPath("log49") + "\nmove " + logPath("a.dbf") + " " +
                             logPath("log49/a.dbf") + "\ndelete " + logPath("log47/z.inf") +
                             "\nstart qxmove2.bat 49 50 12 2026\nstart qxdel2.bat 47\n");
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log47/z.inf"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49"));
    EXPECT_FALSE(sandbox.exists("work/log/qxmover_50.log"));
    EXPECT_EQ(sandbox.read("root/windows/qxmover.ini"), iniBefore);
}

TEST_F(RunCommandTest, DryRunReportsAStartThatWouldFail) {
    // Without --yes: a dry run shows the question and goes on as if confirmed, never waiting for an
    // answer.
    std::istringstream noAnswer("");
    std::streambuf* saved = std::cin.rdbuf(noAnswer.rdbuf());
    int code = run("second-batch", "2026-12-09 10:00", true);
    std::cin.rdbuf(saved);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out.str(),
              "ask Please confirm ... Start batchprogram qxmove2.bat with parameter: 49 ?\n"
              "start qxmove2.bat 49 50 12 2026   [program not found]\n");
    // The box goes to the terminal's own stream; the reason of the exit code to standard error.
    EXPECT_EQ(err.str(), "qxmover: second-batch would fail: a program it starts would not be found\n");
}

TEST_F(RunCommandTest, DryRunsOfTheDialogsOperationsAskNothing) {
    sandbox.file("root/qxt/log/a.dbf", "a", old);
    sandbox.file("root/qxt/log/log47/z.dbf", "z", old);
    std::istringstream noAnswer("");
    std::streambuf* saved = std::cin.rdbuf(noAnswer.rdbuf());
    const int moved = run("move-now", "2026-12-09 10:00", true);
    const std::string moveOut = out.str();
    const int deleted = run("delete-now", "2026-12-09 10:00", true);
    const std::string deleteOut = out.str();
    std::cin.rdbuf(saved);
    EXPECT_EQ(moved, 0) << err.str();
    EXPECT_THAT(moveOut, HasSubstr("ask "));
    EXPECT_THAT(moveOut, HasSubstr("move " + logPath("a.dbf") + " " + logPath("log49/a.dbf")));
    EXPECT_EQ(deleted, 0) << err.str();
    EXPECT_THAT(deleteOut, HasSubstr("delete " + logPath("log47/z.dbf")));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log47/z.dbf"));
}

// The report is printed through the [Platform] Print program: that is what its dry run shows, and a
// print program that would not be found fails the dry run and the real run as it fails any other
// job's, with the reason on standard error.
TEST_F(RunCommandTest, ReportShowsThePrintProgramAndFailsWithoutIt) {
    std::filesystem::copy_file(std::filesystem::path(QX_SOURCE_DIR) / "tests/data/report/qxaview.inf",
                               sandbox.path("root/qxt/log/qxaview.inf"));
#ifdef _WIN32
    ini("qxmover.ini", "Platform", "Print", "cmd.exe /c type");
#else
    ini("qxmover.ini", "Platform", "Print", "cat -n");
#endif
    EXPECT_EQ(run("report", "2026-12-08 06:00", true), 0) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("start notepad.exe /p "));
    EXPECT_THAT(out.str(), HasSubstr("   [as "));
    EXPECT_THAT(out.str(), HasSubstr(" " + logPath("qxareport.prt") + "]\n"));

    ini("qxmover.ini", "Platform", "Print", "no-such-printer");
    EXPECT_EQ(run("report", "2026-12-08 06:00", true), 1);
    EXPECT_THAT(out.str(), HasSubstr("[program not found]"));
    EXPECT_THAT(err.str(), HasSubstr("report would fail"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/qxareport.prt"));

    ini("qxmover.ini", "Config", "WriteLogFile", "0");
    EXPECT_EQ(run("report", "2026-12-08 06:00"), 1);
    EXPECT_EQ(err.str(),
              "qxmover: report failed: Cannot start printing of report \\qxt\\log.\\qxareport.prt: "
              "\"notepad.exe /p \\qxt\\log.\\qxareport.prt\" could not be started\n");
    EXPECT_TRUE(sandbox.exists("root/qxt/log/qxareport.prt"));
}

// A mistyped --root or --windir must not run a job on default settings: a dry run would show, and a
// real run do, the work of another installation.
TEST_F(RunCommandTest, RefusesAMissingRootProfileDirectoryOrSettingsFile) {
    sandbox.file("root/qxt/log/a.dbf", "a", old);
    GlobalOptions mistyped = global;
    mistyped.root = sandbox.path("roots");
    RunOptions options;
    options.job = "weekly-1";
    options.at = parseLocalTime("2026-12-07 01:00");
    EXPECT_EQ(runJobCommand(mistyped, options, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("the installation root " + sandbox.path("roots").string()));
    EXPECT_FALSE(sandbox.exists("roots"));

    err.str("");
    mistyped = global;
    mistyped.windir = sandbox.dir("root/windos");
    EXPECT_EQ(runJobCommand(mistyped, options, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("has no qxmover.ini (see --windir)"));

    err.str("");
    mistyped.windir = sandbox.path("root/winders");
    options.dryRun = true;
    EXPECT_EQ(runJobCommand(mistyped, options, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("the profile directory " + sandbox.path("root/winders").string()));

    // A qxmover.ini that cannot be read stands for settings as much as a missing one.
    err.str("");
    sandbox.dir("root/windos/qxmover.ini");
    mistyped.windir = sandbox.path("root/windos");
    EXPECT_EQ(runJobCommand(mistyped, options, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("qxmover.ini: not a regular file"));
    EXPECT_THAT(out.str(), IsEmpty());
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49"));
}

TEST_F(RunCommandTest, AFailedJobSaysWhyOnTheTerminal) {
#ifdef _WIN32
    GTEST_SKIP()
        << "the editor comes from VISUAL on POSIX only; here it is the system's notepad, which is there";
#else
    const char* saved = std::getenv("VISUAL");
    std::string savedVisual = saved ? saved : "";
    setenv("VISUAL", "no-such-editor-here", 1);
    int code = run("edit-second-batch", nullptr);
    saved ? setenv("VISUAL", savedVisual.c_str(), 1) : unsetenv("VISUAL");
    EXPECT_EQ(code, 1);
    EXPECT_THAT(err.str(), ::testing::StartsWith("qxmover: edit-second-batch failed: \"notepad qxmove2.bat\" "
                                                 "could not be started: program \"no-such-editor-here\" not "
                                                 "found\nqxmover: the activity log " +
                                                 sandbox.path("work/log/qxmover_").string()));
    EXPECT_TRUE(sandbox.exists("work/qxmove2.bat"));

    // Without the activity log the terminal still hears that it failed, and why.
    ini("qxmover.ini", "Config", "WriteLogFile", "0");
    setenv("VISUAL", "no-such-editor-here", 1);
    code = run("edit-second-batch", nullptr);
    saved ? setenv("VISUAL", savedVisual.c_str(), 1) : unsetenv("VISUAL");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(err.str(),
              "qxmover: edit-second-batch failed: \"notepad qxmove2.bat\" could not be started: "
              "program \"no-such-editor-here\" not found\n");
#endif
}

// Every job says whether it did its work by its exit code, and when not, why on standard error.
struct JobCase {
    const char* job;
    const char* at;
    std::vector<std::array<const char*, 4>> ini;  // file, section, key, value
    bool secondBatches;                           // qxmove2.bat and qxdel2.bat are there
    int exit;
    const char* reason;  // what stands after "qxmover: JOB failed: "; "" for a success
};

class RunCommandJobTest : public RunCommandTest, public ::testing::WithParamInterface<JobCase> {};

TEST_P(RunCommandJobTest, ExitsOneWithTheReasonWhenTheJobFailed) {
    const JobCase& c = GetParam();
    for (const auto& [file, section, key, value] : c.ini)
        ini(file, section, key, value);
    if (c.secondBatches) {
        sandbox.recordingScript("work/qxmove2.bat", sandbox.path("record.txt"));
        sandbox.recordingScript("work/qxdel2.bat", sandbox.path("record.txt"));
    }
    EXPECT_EQ(run(c.job, c.at), c.exit) << err.str();
    if (c.exit == 0) {
        EXPECT_EQ(err.str(), "");
        return;
    }
    EXPECT_THAT(err.str(), HasSubstr("qxmover: " + std::string(c.job) + " failed: " + c.reason));
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, RunCommandJobTest,
    ::testing::Values(
        JobCase{"weekly-1", "2026-12-07 01:00", {}, true, 0, ""},
        JobCase{"weekly-1",
                "2026-12-07 01:00",
                {},
                false,
                1,
                "\"qxmove2.bat 49 50 12 2026\" could not be started"},
        JobCase{"conference",
                "2026-12-07 00:00",
                {},
                false,
                1,
                "Conference wavfiles not processed: MoveConferWavTo and DelConferWavFrom name no directory"},
        JobCase{"alarm-wavs", "2026-12-07 00:00", {}, false, 0, ""},
        JobCase{"extra-delete", "2026-12-07 00:00", {}, false, 0, ""},
        JobCase{"job-check", "2026-12-07 00:00", {}, false, 0, ""},
        JobCase{"web-trigger", "2026-12-07 00:00", {}, false, 1, "cannot start "},
        JobCase{"backup", "2026-12-07 00:00", {}, false, 1, "\"qxsavebase.exe "},
        JobCase{"watchdog-call", "2026-12-07 00:00", {}, false, 1, "no NumberToDial in [LineWatchDog]"},
        // No job queue here: neither call is placed, and the first one is the reason.
        JobCase{
            "watchdog-call",
            "2026-12-07 00:00",
            {{"qxalarm.ini", "LineWatchDog", "NumberToDial", "0301234"},
             {"qxalarm.ini", "LineWatchDog", "PostType", "1"},
             {"qxalarm.ini", "LineWatchDog", "CheckLines", "2,5"}},
            false,
            1,
            "Cannot start WatchDog call to number 0301234 on line 2: program not found (2 calls failed)\n"},
        JobCase{"timed-tasks",
                "2026-12-09 06:00",
                {{"qxmover.ini", "StartMore", "Prog1", "qxping"},
                 {"qxmover.ini", "StartMore", "Time1", "6"},
                 {"qxmover.ini", "StartMore", "Type1", "1"}},
                false,
                1,
                "cannot start task 1 (program not found): qxe qxping 1 \n"},
        // Two slots whose (profile) files are years old by then; no qxe starts the alarm of either.
        JobCase{"job-check",
                "2030-01-07 00:00",
                {{"qxmover.ini", "JobDirWatcher", "CheckJob1", "1"},
                 {"qxmover.ini", "JobDirWatcher", "CheckDir1", "\\WINDOWS\\*.ini"},
                 {"qxmover.ini", "JobDirWatcher", "CheckJob2", "1"},
                 {"qxmover.ini", "JobDirWatcher", "CheckDir2", "\\windows\\*.ini"},
                 {"qxmover.ini", "JobDirWatcher", "StartOnErrorType", "1"},
                 {"qxmover.ini", "JobDirWatcher", "StartOnErrorAlarm", "15"}},
                false,
                1,
                "Old JOB files found in \\windows\\*.ini, but alarm 15 could not be started (2 reactions "
                "failed)\n"},
        // A low drive whose alarm and batch cannot be started (no qxe here) is no success.
        JobCase{"disk-check",
                "2026-12-09 07:00",
                {{"qxmover.ini", "HDCheck", "Active", "1"},
                 {"qxmover.ini", "HDCheck", "CheckDrives", "c:"},
                 {"qxmover.ini", "HDCheck", "MinSpace", "2147483647"},  // no disk has that much free
                 {"qxmover.ini", "HDCheck", "StartAlarmIfLow", "1"},
                 {"qxmover.ini", "HDCheck", "AlarmKey", "12"},
                 {"qxmover.ini", "HDCheck", "StartBatchIfLow", "1"},
                 {"qxmover.ini", "HDCheck", "BatchProg", "no-such-cleanup.bat"}},
                false,
                1,
                "Cannot start alarm 12, although drive C: has not enough space left (2 reactions failed)\n"},
        JobCase{"report", "2026-12-08 06:00", {}, false, 1, "cannot read the alarm index"}),
    [](const ::testing::TestParamInfo<JobCase>& param) {
        std::string name = std::string(param.param.job) + (param.param.exit == 0 ? "Succeeds" : "Fails");
        std::replace(name.begin(), name.end(), '-', '_');
        return name + std::to_string(param.index);
    });

TEST_F(RunCommandTest, JobsBelieveTheTimeTheyAreGiven) {
    sandbox.file("root/qxt/log/a.dbf", "a", old);
    sandbox.recordingScript("work/qxmove2.bat", sandbox.path("record.txt"));
    sandbox.recordingScript("work/qxdel2.bat", sandbox.path("record.txt"));
    EXPECT_EQ(run("weekly-1", "2026-12-07 01:00"), 0);
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "a");
    EXPECT_THAT(sandbox.read("work/log/qxmover_50.log"),
                HasSubstr("07.12, 01:00,  Move all logfiles to directory \\qxt\\log.\\log49\n"));
}

TEST_F(RunCommandTest, MonthlyJobHandsOnTheMonthJustEnded) {
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    sandbox.file("work/qxmover.bat", "rem\n");
    sandbox.file("work/qxlogdel.bat", "rem\n");
    sandbox.file("work/qxmove2.bat", "rem\n");
    EXPECT_EQ(run("monthly", "2027-01-01 00:00", true), 0);
    EXPECT_EQ(out.str(), "start qxmover.bat " + logDir() + " log12\nstart qxlogdel.bat " + logPath("log10") +
                             "\nstart qxmove2.bat 52\n");
}

TEST_F(RunCommandTest, QuestionsAreAnsweredOnTheTerminalOrByYes) {
    sandbox.file("root/qxt/log/a.dbf", "a", old);
    std::istringstream answer("n\n");
    std::streambuf* saved = std::cin.rdbuf(answer.rdbuf());
    int declined = run("move-now", "2026-12-09 10:00");
    std::cin.rdbuf(saved);
    EXPECT_EQ(declined, 1);
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));

    EXPECT_EQ(run("move-now", "2026-12-09 10:00", false, true), 0);
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "a");
}

TEST_F(RunCommandTest, TimedTasksOfTheGivenHour) {
    ini("qxmover.ini", "StartMore", "Prog1", "qxping");
    ini("qxmover.ini", "StartMore", "Time1", "6");
    ini("qxmover.ini", "StartMore", "Type1", "1");
    ini("qxmover.ini", "QxeTaskParameter1", "s2", "x");
    ini("qxmover.ini", "StartMore", "Prog2", "later.exe");
    ini("qxmover.ini", "StartMore", "Time2", "7");
    // The real run could not start it: the dry run says so, and fails as the real run would.
    EXPECT_EQ(run("timed-tasks", "2026-12-09 06:00", true), 1);
    EXPECT_EQ(out.str(), "start qxe qxping 1  -s2x   [program not found]\n");
    EXPECT_THAT(err.str(), HasSubstr("timed-tasks would fail: a program it starts would not be found"));
}

}  // namespace
}  // namespace qx
