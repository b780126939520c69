// `qxmover status` and the metrics file through the real binary, on an installation whose first night
// was rehearsed on the virtual clock.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <iomanip>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "RunBinary.h"
#include "Sandbox.h"
#include "WaitUntil.h"

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

namespace qx {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

const fs::path kBinary = QX_BINARY;
const fs::path kPromtool = "/usr/bin/promtool";

// Every file below `root` with its bytes and time, and every directory: what "changes nothing" means.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        if (entry.is_symlink() || entry.is_directory()) {
            tree[name] = "dir";
            continue;
        }
        tree[name] = test::readFile(entry.path()) + "@" +
                     std::to_string(fs::last_write_time(entry.path()).time_since_epoch().count());
    }
    return tree;
}

// The weekly move, the housekeeping, the report, a timed task with a bad hour and the disk check, all
// switched on; the service ran through the night to Monday 02:00.
class StatusTest : public ::testing::Test {
protected:
    StatusTest() {
        sandbox.dir("work/log");
        sandbox.dir("metrics");
        sandbox.dir("run");
        sandbox.file(
            "root/windows/qxmover.ini",
            "[Config]\r\nWriteLogFile=1\r\nDelAlarmWav=1\r\nDelAlarmWavAfterWeeks=2\r\n"
            "DeleteMoreFiles=1\r\nPrintReport=1\r\n[AlarmReport]\r\nReportType=1\r\n"
            "[DeleteAddtionalLogs]\r\nDelPath1=\\extra\r\nDelExt1=*.log;*.err\r\nDelAfterWeeks1=1\r\n"
            "[HDCheck]\r\nActive=1\r\nCheckTime=1\r\nCheckDrives=C:\r\nMinSpace=1\r\n"
            "[StartMore]\r\nProg1=\\bin\\task.sh\r\nTime1=25\r\n[Platform]\r\nPrint=\\bin\\task.sh\r\n");
        sandbox.file("root/windows/qxaview.ini", "[Config]\r\nAlarmSelectionRange=week\r\n");
        sandbox.recordingScript("root/bin/task.sh", sandbox.path("work/started.txt"));
        sandbox.file("root/qxt/log/a.dbf", "statistics", at("2026-11-30 12:00"));
        sandbox.file("root/dbv1/A0000001.WAV", "", at("2026-11-15 12:00"));
        sandbox.file("root/extra/a.log", "", at("2026-11-20 12:00"));
        sandbox.file("root/extra/b.err", "", at("2026-11-20 12:00"));
        sandbox.file("root/qxt/log/qxaview.inf", "07.12,00:00:01,1,R0000002\r\n");
    }

    static std::chrono::system_clock::time_point at(const char* text) {
        std::tm t{};
        std::istringstream(text) >> std::get_time(&t, "%Y-%m-%d %H:%M");
        t.tm_isdst = -1;
        return std::chrono::system_clock::from_time_t(std::mktime(&t));
    }

    test::BinaryResult qxmover(std::vector<std::string> args) {
        std::vector<std::string> all{"--root", sandbox.path("root").string(), "--workdir",
                                     sandbox.path("work").string()};
        all.insert(all.end(), args.begin(), args.end());
        return test::runBinary(
            kBinary, all, {"TZ=Europe/Berlin", "RUNTIME_DIRECTORY=" + sandbox.path("run").string()}, 300s);
    }

    void rehearseTheNight() {
        auto service = qxmover({"--headless", "--metrics-dir", sandbox.path("metrics").string(),
                                "--clock-start", "2026-12-06 23:00", "--clock-until", "2026-12-07 02:00"});
        ASSERT_EQ(service.exitCode, 0) << service.err;
    }

    static const json& job(const json& status, const std::string& name) {
        for (const json& row : status["jobs"])
            if (row["job"] == name)
                return row;
        ADD_FAILURE() << "no row for " << name;
        static const json none;
        return none;
    }

    test::Sandbox sandbox;
};

TEST_F(StatusTest, ShowsTheNightsJobsAndTheBadSettingAndChangesNothing) {
    rehearseTheNight();
    const auto before = snapshot(sandbox.root());
    auto text = qxmover({"status", "--at", "2026-12-07 10:00"});
    auto machine = qxmover({"status", "--json", "--at", "2026-12-07 10:00"});
    EXPECT_EQ(snapshot(sandbox.root()), before) << "status changed the installation";
    ASSERT_EQ(text.exitCode, 0) << text.err;
    ASSERT_EQ(machine.exitCode, 0) << machine.err;

    const json status = json::parse(machine.out);
    const std::string week = qxmover({"week", "2026-12-07"}).out;
    EXPECT_EQ(status["week"], std::stoi(week));
    EXPECT_EQ(status["month"], 12);
    EXPECT_EQ(status["move_mode"], "weekly");
    EXPECT_EQ(status["service_running"], false);

    const json& weekly = job(status, "weekly");
    EXPECT_EQ(weekly["on"], true);
    EXPECT_EQ(weekly["last_run"], "2026-12-07 01:00:00");
    EXPECT_EQ(weekly["result"], "ok");
    EXPECT_EQ(weekly["files_moved"], 1);  // a.dbf
    EXPECT_EQ(weekly["next_run"], "2026-12-14 00:00:00");
    EXPECT_EQ(job(status, "alarm-recordings")["files_deleted"], 1);
    EXPECT_EQ(job(status, "extra-deletion")["files_deleted"], 2);
    EXPECT_EQ(job(status, "report")["result"], "ok");
    EXPECT_EQ(job(status, "disk-check")["last_run"], "2026-12-07 01:00:00");
    EXPECT_EQ(job(status, "disk-check")["next_run"], "2026-12-08 01:00:00");
    EXPECT_EQ(job(status, "monthly")["on"], false);
    EXPECT_EQ(job(status, "monthly")["last_run"], nullptr);
    EXPECT_THAT(status["settings_out_of_range"].get<std::vector<std::string>>(),
                Contains(AllOf(HasSubstr("[StartMore] Time1=25 is out of range"),
                               HasSubstr("the task is not started"))));
    EXPECT_FALSE(status["recent_activity"].empty());

    EXPECT_THAT(text.out, HasSubstr("move mode weekly"));
    EXPECT_THAT(text.out, HasSubstr("service: not running"));
    EXPECT_THAT(text.out, HasSubstr("[StartMore] Time1=25 is out of range"));
}

TEST_F(StatusTest, SeesTheRunningServiceWithoutDisturbingIt) {
    const int pid = test::spawnBinary(
        kBinary,
        {"--root", sandbox.path("root").string(), "--workdir", sandbox.path("work").string(), "--headless"},
        sandbox.path("out"), {"TZ=Europe/Berlin", "RUNTIME_DIRECTORY=" + sandbox.path("run").string()});
    test::waitUntil([&] { return !fs::is_empty(sandbox.path("run")); }, 30s, 10ms);
    auto status = qxmover({"status", "--json"});
    ::kill(pid, SIGTERM);
    EXPECT_EQ(test::waitChild(pid, 10s), 0);
    ASSERT_EQ(status.exitCode, 0) << status.err;
    EXPECT_EQ(json::parse(status.out)["service_running"], true);
    // Asked nothing: a show request would have been noted in the activity log.
    const fs::path log = json::parse(status.out)["activity_log"].get<std::string>();
    if (fs::exists(log)) {
        EXPECT_THAT(test::readFile(log), Not(HasSubstr("Show mover")));
    }
}

TEST_F(StatusTest, TheMetricsFilePassesPromtool) {
    rehearseTheNight();
    const fs::path file = sandbox.path("metrics/qxmover.prom");
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(
        fs::status(file).permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    const std::string metrics = test::readFile(file);
    EXPECT_THAT(metrics, HasSubstr("qxmover_job_last_result{job=\"weekly\"} 1\n"));
    EXPECT_THAT(metrics, HasSubstr("qxmover_drive_free_bytes{drive=\"C:\"} "));
    EXPECT_THAT(metrics, HasSubstr("qxmover_job_files_deleted{job=\"extra-deletion\"} 2\n"));
    EXPECT_THAT(metrics, HasSubstr("# TYPE qxmover_start_time_seconds gauge\n"));
    // No temporary file left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(sandbox.path("metrics")), fs::directory_iterator()), 1);
    if (!fs::exists(kPromtool))
        GTEST_SKIP() << kPromtool << " is missing (Debian package prometheus)";
    auto check =
        test::runBinary("/bin/sh", {"-c", kPromtool.string() + " check metrics < \"$0\"", file.string()});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err << metrics;
}

TEST_F(StatusTest, AnOldStateFileStillShowsAndADamagedOneFails) {
    // As the service wrote it before it kept the jobs' outcomes.
    sandbox.file("work/log/qxmover.state",
                 "[Scheduler]\nWeekMidnight=2026-11-30\nWeekOne=2026-11-30\nBackup=\nMonth=\n");
    auto old = qxmover({"status", "--json", "--at", "2026-12-07 10:00"});
    ASSERT_EQ(old.exitCode, 0) << old.err;
    EXPECT_EQ(job(json::parse(old.out), "weekly")["last_run"], nullptr);

    sandbox.file("work/log/qxmover.state", "not a state file\n");
    auto damaged = qxmover({"status", "--at", "2026-12-07 10:00"});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_THAT(damaged.err, HasSubstr("cannot read the state file"));
}

}  // namespace
}  // namespace qx
