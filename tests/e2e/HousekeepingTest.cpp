// The housekeeping jobs and the alarm report through the real binary: a week on the virtual clock,
// the report command and the dry runs.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "RunBinary.h"
#include "Sandbox.h"
#include "WaitUntil.h"

using ::testing::HasSubstr;

namespace qx {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kBinary = QX_BINARY;

std::chrono::system_clock::time_point local(int year, int month, int day, int hour) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

// An installation with every housekeeping job and the daily report switched on.
class HousekeepingTest : public ::testing::Test {
protected:
    HousekeepingTest() {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        sandbox.dir("work/log");
        sandbox.file(
            "root/windows/qxmover.ini",
            "[Config]\r\nWriteLogFile=1\r\nMoveConferWav=1\r\nMoveConferWavDaily=1\r\n"
            "MoveConferWavAfterWeeks=1\r\nMoveConferWavTo=\\archive\r\nDelConferWavAfterWeeks=3\r\n"
            "DelConferEvtFiles=1\r\nDelAlarmWav=1\r\nDelAlarmWavAfterWeeks=2\r\nDeleteMoreFiles=1\r\n"
            "PrintReport=1\r\n[AlarmReport]\r\nReportType=1\r\n[DeleteAddtionalLogs]\r\n"
            "DelPath1=\\extra\r\nDelExt1=*.log;*.err\r\nDelAfterWeeks1=1\r\n[Platform]\r\n"
            "Print=\\bin\\print.sh\r\n");
        sandbox.file("root/windows/qxaview.ini", "[Config]\r\nAlarmSelectionRange=week\r\n");
        sandbox.recordingScript("root/bin/print.sh", sandbox.path("work/printed.txt"));
        // One recording a day becomes a week old during the week.
        for (int k = 0; k < 7; ++k)
            sandbox.file("root/qxt/log/confwav/rec" + std::to_string(k) + ".wav", "",
                         local(2026, 11, 29 + k, 12));
        sandbox.file("root/archive/old1.wav", "", local(2026, 11, 1, 12));
        sandbox.file("root/archive/old2.wav", "", local(2026, 11, 1, 12));
        sandbox.file("root/archive/old.evt", "", local(2026, 11, 1, 12));
        sandbox.file("root/dbv1/A0000001.WAV", "", local(2026, 11, 15, 12));
        sandbox.file("root/dbv1/v0000001.wav", "", local(2026, 11, 15, 12));
        sandbox.file("root/dbv1/A0000002.WAV", "", local(2026, 12, 1, 12));
        sandbox.file("root/extra/a.log", "", local(2026, 11, 20, 12));
        sandbox.file("root/extra/b.err", "", local(2026, 11, 20, 12));
        sandbox.file("root/extra/c.log", "", local(2026, 12, 6, 8));
        sandbox.file(
            "root/qxt/log/qxaview.inf",
            "06.12,23:10:00,1,R0000001\r\n07.12,00:00:01,1,R0000002\r\n08.12,09:00:00,1,R0000003\r\n");
        sandbox.file("work/log/R0000002.log", "[Alarm]\r\nAlarmKey=12\r\nAlarmName=Lift emergency\r\n");
    }

    test::BinaryResult qxmover(std::vector<std::string> args) {
        std::vector<std::string> all{"--root", sandbox.path("root").string(), "--workdir",
                                     sandbox.path("work").string()};
        all.insert(all.end(), args.begin(), args.end());
        return test::runBinary(kBinary, all, {"TZ=Europe/Berlin"}, 300s);
    }

    // The activity log lines of the week, without their time stamps.
    std::vector<std::string> activity() {
        std::vector<std::string> lines;
        for (const char* week : {"work/log/qxmover_49.log", "work/log/qxmover_50.log"}) {
            if (!sandbox.exists(week))
                continue;
            std::istringstream in(sandbox.read(week));
            for (std::string line; std::getline(in, line);)
                lines.push_back(line.substr(15));
        }
        return lines;
    }

    long count(const std::vector<std::string>& lines, const std::string& line) {
        return std::count(lines.begin(), lines.end(), line);
    }

    test::Sandbox sandbox;
};

TEST_F(HousekeepingTest, OneWeekOfHousekeepingAndNightlyReports) {
    auto result =
        qxmover({"--headless", "--clock-start", "2026-12-06 12:00", "--clock-until", "2026-12-13 12:00"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto lines = activity();

    // The conference job runs at 00:00 and 01:00 of every day: each night one more recording is a week
    // old; the last one leaves the result directory empty, so the last run finds nothing to count.
    EXPECT_EQ(count(lines, "Move conf-wavfiles which are older then 1 weeks to directory \\archive"), 14);
    EXPECT_EQ(count(lines, "1 conf-wavfiles successfully moved"), 7);
    EXPECT_EQ(count(lines, "0 conf-wavfiles successfully moved"), 6);
    for (int k = 0; k < 7; ++k) {
        EXPECT_FALSE(sandbox.exists("root/qxt/log/confwav/rec" + std::to_string(k) + ".wav")) << k;
        EXPECT_TRUE(sandbox.exists("root/archive/rec" + std::to_string(k) + ".wav")) << k;
    }
    EXPECT_EQ(count(lines, "Del conf-wavfiles which are older then 3 weeks in directory \\archive"), 14);
    EXPECT_EQ(count(lines, "2 conf-wavfiles successfully deleted"), 1);
    EXPECT_EQ(count(lines, "0 conf-wavfiles successfully deleted"), 13);
    EXPECT_EQ(count(lines, "1 event-files successfully deleted"), 1);

    // Alarm recordings and the extra rules go with the weekly move, at Monday midnight.
    EXPECT_EQ(count(lines, "Delete alarmwavfiles which are older then 2 weeks"), 1);
    EXPECT_FALSE(sandbox.exists("root/dbv1/A0000001.WAV"));
    EXPECT_TRUE(sandbox.exists("root/dbv1/v0000001.wav"));
    EXPECT_TRUE(sandbox.exists("root/dbv1/A0000002.WAV"));
    EXPECT_EQ(count(lines, "Delete files *.log which are older then 1 weeks from directory \\extra"), 1);
    EXPECT_EQ(count(lines, "Delete files *.err which are older then 1 weeks from directory \\extra"), 1);
    EXPECT_FALSE(sandbox.exists("root/extra/a.log"));
    EXPECT_FALSE(sandbox.exists("root/extra/b.err"));
    EXPECT_TRUE(sandbox.exists("root/extra/c.log"));

    // A daily report every night: Monday's has Monday's line; the weekly move took the index away
    // with it, so the six nights after find none.
    EXPECT_EQ(count(lines, "Printing of report \\qxt\\log.\\qxareport.prt automatically started"), 1);
    EXPECT_EQ(count(lines, "Error ! No alarms to print in this week !"), 6);
    EXPECT_EQ(sandbox.read("work/printed.txt"),
              "print.sh [" + sandbox.path("root/qxt/log/qxareport.prt").string() + "]\n");
    EXPECT_EQ(sandbox.read("root/qxt/log/qxareport.prt"),
              "\nAlarm-report from day 07.12\n" + std::string(58, '_') +
                  "\n\n07.12 00:00:01\nAlarm: 12 Lift emergency\nGroup:  No name\nMessage: \n"
                  "Display-message: \nLaunched by: \n\n");
}

TEST_F(HousekeepingTest, ReportCommandWritesTheReportWithoutPrintingIt) {
    auto result = qxmover({"report", "--at", "2026-12-08 00:00"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "\nAlarm-report from day 08.12\n" + std::string(58, '_') +
                              "\n\n08.12 09:00:00\nAlarm:  No name\nGroup:  No name\nMessage: \n"
                              "Display-message: \nLaunched by: \n\n");
    test::Sandbox elsewhere;
    const std::string file = (elsewhere.root() / "report.txt").string();
    ASSERT_EQ(qxmover({"report", "--at", "2026-12-08 00:00", "-o", file}).exitCode, 0);
    EXPECT_EQ(test::readFile(file), result.out);
    EXPECT_FALSE(sandbox.exists("root/qxt/log/qxareport.prt"));
    EXPECT_FALSE(sandbox.exists("work/printed.txt"));

    fs::remove(sandbox.path("root/qxt/log/qxaview.inf"));
    auto missing = qxmover({"report"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("qxaview.inf"));
}

TEST_F(HousekeepingTest, JobsThatCanMoveOrDeleteNothingSayWhyAndExitOne) {
    // As an account that may not write these directories, as a service user may not: root may, so
    // as root the jobs run as nobody.
    fs::path program = kBinary;
    std::vector<std::string> args;
    if (::geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv"))
            GTEST_SKIP() << "needs setpriv to run as another account";
        program = "/usr/bin/setpriv";
        args = {"--reuid=65534", "--regid=65534", "--clear-groups", kBinary.string()};
        fs::permissions(sandbox.root(), fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
        fs::permissions(sandbox.path("work/log"), fs::perms::all);
    } else {
        for (const char* dir : {"root/dbv1", "root/extra", "root/qxt/log/confwav", "root/archive"})
            sandbox.makeReadOnly(dir);
    }
    const std::vector<std::string> common{"--root",    sandbox.path("root").string(),
                                          "--workdir", sandbox.path("work").string(),
                                          "run",       "JOB",
                                          "--at",      "2026-12-07 00:30"};
    args.insert(args.end(), common.begin(), common.end());
    auto run = [&](const char* job) {
        args[args.size() - 3] = job;
        return test::runBinary(program, args, {"TZ=Europe/Berlin"}, 60s);
    };

    auto wavs = run("alarm-wavs");
    EXPECT_EQ(wavs.exitCode, 1) << wavs.err;
    EXPECT_THAT(wavs.err, HasSubstr("qxmover: alarm-wavs failed: Failed to delete alarmwavfile "
                                    "\\dbv1\\A0000001.WAV: Permission denied"));
    EXPECT_TRUE(sandbox.exists("root/dbv1/A0000001.WAV"));

    auto extra = run("extra-delete");
    EXPECT_EQ(extra.exitCode, 1) << extra.err;
    EXPECT_THAT(extra.err, HasSubstr("qxmover: extra-delete failed: Failed to delete file \\extra.\\"));
    EXPECT_THAT(extra.err, HasSubstr("Permission denied (2 files failed)"));

    auto conference = run("conference");
    EXPECT_EQ(conference.exitCode, 1) << conference.err;
    EXPECT_THAT(conference.err,
                HasSubstr("qxmover: conference failed: Failed to move conf-wavfile "
                          "\\qxt\\log\\confwav.\\rec0.wav to \\archive.\\rec0.wav: Permission denied"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/confwav/rec0.wav"));
    EXPECT_TRUE(sandbox.exists("root/archive/old1.wav"));
    const auto lines = activity();
    EXPECT_EQ(count(lines, "0 conf-wavfiles successfully moved"), 1);
    EXPECT_EQ(count(lines, "Failed to delete conf-wavfile \\archive.\\old1.wav"), 1);
    EXPECT_EQ(count(lines, "0 conf-wavfiles successfully deleted"), 1);
}

TEST_F(HousekeepingTest, SigtermStopsTheDeletionBetweenTwoFilesAndTheNextStartFinishesIt) {
    // Monthly mode: the extra deletion still runs on Monday at 00:00.
    sandbox.file("root/windows/qxaview.ini", "[Config]\r\nAlarmSelectionRange=month\r\n");
    constexpr int kFiles = 15000;
    const fs::path extra = sandbox.path("root/extra");
    const auto old = fs::file_time_type::clock::from_sys(local(2026, 11, 1, 12));
    for (int i = 0; i < kFiles; ++i) {
        const fs::path file = extra / ("f" + std::to_string(100000 + i) + ".log");
        std::ofstream{file};
        fs::last_write_time(file, old);
    }
    auto filesLeft = [&] {
        auto it = fs::directory_iterator(extra);
        return std::distance(it, fs::directory_iterator());
    };
    auto service = [&](const char* from, const char* until) {
        return test::spawnBinary(
            kBinary,
            {"--root", sandbox.path("root").string(), "--workdir", sandbox.path("work").string(),
             "--headless", "--clock-start", from, "--clock-until", until},
            sandbox.path("out"), {"TZ=Europe/Berlin"});
    };
    // The deletion goes in directory order: a spread of files, cheap to look at, shows its start long
    // before a count of the whole directory could (which takes as long as much of the deletion).
    std::vector<fs::path> sample;
    for (int i = 0; i < kFiles; i += 75)
        sample.push_back(extra / ("f" + std::to_string(100000 + i) + ".log"));
    auto allThere = [&] {
        return std::all_of(sample.begin(), sample.end(),
                           [](const fs::path& file) { return fs::exists(file); });
    };
    const int pid = service("2026-12-06 23:59", "2026-12-07 03:00");
    // SIGTERM as soon as the deletion has begun.
    test::waitUntil([&] { return !allThere(); }, 30s, 100us);
    ::kill(pid, SIGTERM);
    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_EQ(test::waitChild(pid, 10s), 0);
    // The promise of the README: gone within three seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 3s);
    // The signal came within a few milliseconds of the first deletion, long before the last.
    ASSERT_GT(filesLeft(), 1) << "the deletion ran to its end after the signal";
    EXPECT_EQ(count(activity(), "Extra deletion stopped in directory \\extra"), 1);
    EXPECT_EQ(count(activity(), "Delete files *.log which are older then 1 weeks from directory \\extra"), 0);

    // Cut short, the Monday work is owed still: the next start catches it up.
    ASSERT_EQ(test::waitChild(service("2026-12-07 00:10", "2026-12-07 00:12"), 60s), 0);
    EXPECT_EQ(filesLeft(), 1);  // the young one of the installation
    EXPECT_TRUE(sandbox.exists("root/extra/c.log"));
    EXPECT_EQ(count(activity(), "Delete files *.log which are older then 1 weeks from directory \\extra"), 1);
}

TEST_F(HousekeepingTest, DryRunsListWhatTheJobsWouldDelete) {
    auto extra = qxmover({"run", "extra-delete", "--at", "2026-12-07 00:00", "--dry-run"});
    ASSERT_EQ(extra.exitCode, 0) << extra.err;
    const std::string dir = sandbox.path("root/extra").string();
    EXPECT_EQ(extra.out, "delete " + dir + "/a.log\ndelete " + dir + "/b.err\n");
    EXPECT_TRUE(sandbox.exists("root/extra/a.log"));

    auto wavs = qxmover({"run", "alarm-wavs", "--at", "2026-12-07 00:00", "--dry-run"});
    EXPECT_EQ(wavs.out, "delete " + sandbox.path("root/dbv1/A0000001.WAV").string() + "\n");

    auto conference = qxmover({"run", "conference", "--at", "2026-12-07 00:30", "--dry-run"});
    EXPECT_THAT(conference.out, HasSubstr("move " + sandbox.path("root/qxt/log/confwav/rec0.wav").string()));
    EXPECT_THAT(conference.out, HasSubstr("delete " + sandbox.path("root/archive/old.evt").string()));
    EXPECT_TRUE(sandbox.exists("root/archive/old.evt"));

    auto report = qxmover({"run", "report", "--at", "2026-12-08 00:00", "--dry-run"});
    // What starts is the installation's [Platform] Print program, as in the real run.
    EXPECT_EQ(report.out, "create-file " + sandbox.path("root/qxt/log/qxareport.prt").string() +
                              "\nstart notepad.exe /p \\qxt\\log.\\qxareport.prt   [as " +
                              sandbox.path("root/bin/print.sh").string() + " " +
                              sandbox.path("root/qxt/log/qxareport.prt").string() + "]\n");
    EXPECT_FALSE(sandbox.exists("work/log/qxmover_50.log"));
}

}  // namespace
}  // namespace qx
