// The mover through the real binary: reruns that must harm nothing, paths that must not climb out of
// the installation, links that must not be followed, and Monday's move caught up after a night off.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "RunBinary.h"
#include "Sandbox.h"

using qx::test::namesIn;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace qx {
namespace {

namespace fs = std::filesystem;

const fs::path kBinary = QX_BINARY;

std::chrono::system_clock::time_point berlin(int year, int month, int day, int hour) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

class MoverScenarios : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.dir("root/windows");
        sandbox.dir("work/log");
        sandbox.dir("data");
        sandbox.file("root/windows/qxmover.ini", "[Config]\r\nDelLogFiles=1\r\nWaitBeforeDel=2\r\n");
        sandbox.file("root/windows/qxaview.ini", "[Config]\r\nAlarmSelectionRange=week\r\n");
    }

    test::BinaryResult qxmover(std::vector<std::string> args) {
        std::vector<std::string> global{"--root",    sandbox.path("root").string(),
                                        "--workdir", sandbox.path("work").string(),
                                        "--drive",   "D=" + sandbox.path("data").string()};
        args.insert(args.begin(), global.begin(), global.end());
        return test::runBinary(kBinary, args, {"TZ=Europe/Berlin"});
    }

    std::string activity(int week) const {
        std::string name = "work/log/qxmover_" + std::to_string(week) + ".log";
        return sandbox.exists(name) ? sandbox.read(name) : "";
    }

    test::Sandbox sandbox;
    const std::chrono::system_clock::time_point week49 = berlin(2026, 12, 3, 10);
    const std::chrono::system_clock::time_point lastYear = berlin(2025, 12, 3, 10);
};

TEST_F(MoverScenarios, RunningTheWeeklyMoveAgainKeepsWhatItFiled) {
    for (const char* name : {"a.dbf", "b.l1", "c.log", "d.txt", "e.evt"})
        sandbox.file(std::string("root/qxt/log/") + name, name, week49);
    // Not written for more than a year, and filed with that time.
    sandbox.file("root/qxt/log/dump.txt", "a config dump", berlin(2025, 10, 1, 12));
    sandbox.file("root/qxt/log/log49/old.dbf", "last year", lastYear);
    sandbox.file("root/qxt/log/log49/.qxcycle", "2025-12-08\n", lastYear);

    for (int run = 0; run < 2; ++run) {
        auto result = qxmover({"run", "weekly-1", "--at", "2026-12-07 01:00"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }
    auto later = qxmover({"run", "move-now", "--yes", "--at", "2026-12-07 09:00"});
    ASSERT_EQ(later.exitCode, 0) << later.err;
    EXPECT_THAT(later.out + later.err,
                HasSubstr("Moves 0 file(s) there; first deletes 0 file(s) of an earlier year"));
    EXPECT_THAT(namesIn(sandbox.path("root/qxt/log/log49")),
                ElementsAre(".qxcycle", "a.dbf", "b.l1", "c.log", "d.txt", "dump.txt", "e.evt"));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "a.dbf");
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/dump.txt"), "a config dump");
}

TEST_F(MoverScenarios, DotDotStaysInsideTheRootAndTheDrive) {
    auto set = qxmover({"profile", "set", "\\..\\escaped.ini", "S", "K", "v"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_TRUE(sandbox.exists("root/escaped.ini"));
    EXPECT_FALSE(sandbox.exists("escaped.ini"));
    ASSERT_EQ(qxmover({"profile", "set", "D:\\..\\..\\d.ini", "S", "K", "v"}).exitCode, 0);
    EXPECT_TRUE(sandbox.exists("data/d.ini"));
    EXPECT_FALSE(sandbox.exists("d.ini"));

    // A log directory above the root names the one below it: nothing outside is moved or deleted.
    sandbox.file("root/windows/qxaview.ini",
                 "[Config]\r\nAlarmSelectionRange=week\r\nAlarmDBPath=\\..\\outside\r\n");
    sandbox.file("outside/a.dbf", "not ours", week49);
    sandbox.file("outside/log47/z.dbf", "not ours", lastYear);
    sandbox.file("root/outside/b.dbf", "ours", week49);
    auto run = qxmover({"run", "weekly-1", "--at", "2026-12-07 01:00"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(sandbox.read("outside/a.dbf"), "not ours");
    EXPECT_EQ(sandbox.read("outside/log47/z.dbf"), "not ours");
    EXPECT_EQ(sandbox.read("root/outside/log49/b.dbf"), "ours");
}

TEST_F(MoverScenarios, TheDueWeekDeletionDoesNotFollowALink) {
    for (const char* name : {"a.log", "b.txt", "c.cnf"})
        sandbox.file(std::string("elsewhere/") + name, name, lastYear);
    sandbox.dir("root/qxt/log");
    fs::create_symlink(sandbox.path("elsewhere"), sandbox.path("root/qxt/log/log47"));
    auto run = qxmover({"run", "weekly-1", "--at", "2026-12-07 01:00"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(namesIn(sandbox.path("elsewhere")), ElementsAre("a.log", "b.txt", "c.cnf"));
    EXPECT_THAT(activity(50), HasSubstr("Not deleting in \\qxt\\log\\log47: it is a link"));
}

TEST_F(MoverScenarios, MondaysMoveMissedOvernightIsCaughtUpOnceAtTheNextStart) {
    sandbox.file("root/qxt/log/a.dbf", "week 49", week49);
    auto service = [&](const char* start, const char* until) {
        auto result = qxmover({"--headless", "--clock-start", start, "--clock-until", until});
        ASSERT_EQ(result.exitCode, 0) << result.err;
    };
    service("2026-12-06 22:00", "2026-12-06 23:00");
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49"));
    service("2026-12-07 09:00", "2026-12-07 09:10");
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "week 49");
    const std::string log = activity(50);
    EXPECT_THAT(log, HasSubstr("07.12, 09:00,  Catching up the weekly 01:00 work of Monday 07.12"));
    EXPECT_THAT(log, HasSubstr("07.12, 09:00,  Move all logfiles to directory"));

    sandbox.file("root/qxt/log/b.dbf", "week 50", berlin(2026, 12, 7, 9));
    service("2026-12-07 10:00", "2026-12-07 10:10");
    EXPECT_TRUE(sandbox.exists("root/qxt/log/b.dbf"));
    EXPECT_THAT(namesIn(sandbox.path("root/qxt/log/log49")), ElementsAre(".qxcycle", "a.dbf"));
    const std::string added = activity(50).substr(log.size());
    EXPECT_THAT(added, HasSubstr("10:00,  Mover started"));
    EXPECT_THAT(added, Not(HasSubstr("Catching up")));
    EXPECT_THAT(added, Not(HasSubstr("Move all")));
    EXPECT_THAT(added, Not(HasSubstr("Moved inf")));
    EXPECT_THAT(added, Not(HasSubstr("Delete")));
}

}  // namespace
}  // namespace qx
