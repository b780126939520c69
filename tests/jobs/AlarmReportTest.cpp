#include "AlarmReport.h"

#include <sstream>

#include "AlarmReportThread.h"
#include "DryRun.h"
#include "GroupList.h"
#include "PeerTools.h"
#include "ProfileNames.h"
#include "ReportIndex.h"

#include "Clock.h"
#include "JobsFixture.h"
#include "StringTable.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(QX_SOURCE_DIR) / "tests/data/report";

TEST(ReportIndex, ShortFragmentsJoinTheNextLineAndLongLinesAreCut) {
    EXPECT_THAT(collectIndexLines("01.12\r\n,00:20:00,1,R0000003,xx\r\n"),
                ElementsAre("01.12,00:20:00,1,R0000003,xx"));
    // Twenty characters are not a line yet, even at the end of the file.
    EXPECT_THAT(collectIndexLines("12345678901234567890\n\n"), IsEmpty());
    EXPECT_THAT(collectIndexLines("123456789012345678901\n"), ElementsAre("123456789012345678901"));
    // Text after the last line end may still be being written.
    EXPECT_THAT(collectIndexLines("01.12,00:20:00,1,R0000003\n01.12,00:21:00,1,R0000"),
                ElementsAre("01.12,00:20:00,1,R0000003"));

    const std::string longLine(300, 'x');
    EXPECT_THAT(collectIndexLines(longLine + "\r\n" + "next line of the index,\n"),
                ElementsAre(std::string(kIndexLineLimit, 'x'), "next line of the index,"));
    // A high-bit character with the line full ends it; the rest becomes a line of its own.
    EXPECT_THAT(collectIndexLines(std::string(128, 'y') + "\xE9" + "rest of the same physical line\n"),
                ElementsAre(std::string(128, 'y'), "rest of the same physical line"));
}

TEST(ReportIndex, FieldsAreCutToTheirLimits) {
    IndexFields f = splitIndexLine("01.12,00:10:05,skipped,R0000001,5,6,7,eight");
    EXPECT_EQ(f.date, "01.12");
    EXPECT_EQ(f.time, "00:10:05");
    EXPECT_EQ(f.runName, "R0000001");
    f = splitIndexLine("2026-12-01 long,a time field far longer than its limit,3,RUNLOGNAME_TOO_LONG");
    EXPECT_EQ(f.date, "2026-12-01 ");
    EXPECT_EQ(f.time, "a time field far longer");
    EXPECT_EQ(f.runName, "RUNLOGNAME_");
    f = splitIndexLine("only a date field here");
    EXPECT_EQ(f.time, "");
    EXPECT_EQ(f.runName, "");
}

// The sample installation: index and expected reports in tests/data/report, the group table written
// by python3-dbf, the run logs in the working directory's log\ (where the index names them).
class AlarmReportTest : public JobsTest {
protected:
    AlarmReportTest() {
        clock.advanceTo(now);
        fs::copy_file(kSample / "qxaview.inf", logDir() / "qxaview.inf");
        for (const auto& entry : fs::directory_iterator(kSample / "log"))
            fs::copy_file(entry.path(), sandbox.path("work/log") / entry.path().filename());
        sandbox.dir("root/db1");
        // Without it (on Windows) the tests that read the groups skip.
        if (kLinuxPeers)
            runPython(sandbox, readFile(kSample / "make_groups.py"),
                      {sandbox.path("root/db1/qxgroups.dbf").string()});
        ini(ini::kInfo, "Addresses", "Customer", "Acme Tower");
        ini(ini::kAview, "Config", "AlarmSelectionRange", "week");
    }

    std::string report() { return sandbox.read("root/qxt/log/qxareport.prt"); }

    SysTime now = at(2026, 12, 1, 0);  // a Tuesday in week 49
};

TEST_F(AlarmReportTest, GroupsComeFromTheTableInTableOrder) {
    QX_SKIP_WITHOUT_LINUX_PEERS();
    auto groups = loadGroupList(sandbox.path("root/db1/qxgroups.dbf"));
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(*groupName(groups, 2), "Fire brigade");
    EXPECT_EQ(groups[2].name.size(), kGroupNameLimit);
    EXPECT_EQ(groupName(groups, 99), nullptr);
    EXPECT_THAT(loadGroupList(sandbox.path("root/db1/missing.dbf")), IsEmpty());
}

TEST_F(AlarmReportTest, WeeklyReportMatchesTheHandWrittenOneAndIsPrinted) {
    QX_SKIP_WITHOUT_LINUX_PEERS();
    ASSERT_TRUE(produceAlarmReport(services, files, 0, now).ok());
    EXPECT_EQ(report(), readFile(kSample / "expected-weekly.prt"));
    EXPECT_THAT(launcher.calls(), ElementsAre("start hidden notepad.exe /p \\qxt\\log.\\qxareport.prt"));
    EXPECT_THAT(activity(49), ElementsAre("01.12, 00:00,  Printing of report \\qxt\\log.\\qxareport.prt "
                                          "automatically started"));
}

TEST_F(AlarmReportTest, DailyReportHasOnlyTodaysLinesAndReplacesTheLastReport) {
    QX_SKIP_WITHOUT_LINUX_PEERS();
    sandbox.file("root/qxt/log/qxareport.prt", std::string(5000, '#'));
    ASSERT_TRUE(produceAlarmReport(services, files, 1, now).ok());
    EXPECT_EQ(report(), readFile(kSample / "expected-daily.prt"));
}

TEST_F(AlarmReportTest, MonthlyPeriodsAndNoCustomerChangeTheHead) {
    ini(ini::kAview, "Config", "AlarmSelectionRange", "month");
    ini(ini::kInfo, "Addresses", "Customer", "");
    auto text = composeAlarmReport(services, 0, now);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->substr(0, 30), "\nReport from month 12 / 2026\n*");
}

TEST_F(AlarmReportTest, MissingGroupTableLeavesEveryGroupUnnamed) {
    fs::remove(sandbox.path("root/db1/qxgroups.dbf"));
    auto text = composeAlarmReport(services, 0, now);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->find("Fire brigade"), std::string::npos);
    EXPECT_NE(text->find("Group: 2 No name\n"), std::string::npos);
}

TEST_F(AlarmReportTest, MissingIndexWarnsAndWritesAndPrintsNothing) {
    fs::remove(logDir() / "qxaview.inf");
    EXPECT_EQ(produceAlarmReport(services, files, 0, now).reason(),
              "cannot read the alarm index \\qxt\\log\\qxaview.inf");
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|No alarms to print in this week !"));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/qxareport.prt"));
    EXPECT_THAT(launcher.calls(), IsEmpty());
}

// A report that nothing prints is no success, and the log does not claim that printing started.
TEST_F(AlarmReportTest, PrintProgramThatCannotStartFailsTheReport) {
    QX_SKIP_WITHOUT_LINUX_PEERS();
    launcher.missing.insert("notepad.exe");
    const Result<> outcome = produceAlarmReport(services, files, 0, now);
    EXPECT_FALSE(outcome.ok());
    EXPECT_THAT(outcome.reason(),
                ::testing::HasSubstr("\"notepad.exe /p \\qxt\\log.\\qxareport.prt\" could not "
                                     "be started"));
    EXPECT_EQ(report(), readFile(kSample / "expected-weekly.prt"));
    EXPECT_THAT(activity(49), ElementsAre("01.12, 00:00,  " + outcome.reason()));
}

TEST_F(AlarmReportTest, MondayMidnightReadsTheIndexThatTheWeeklyMoveTookAway) {
    const SysTime monday = at(2026, 12, 7, 0);  // the previous week is 49
    sandbox.dir("root/qxt/log/log49");
    fs::rename(logDir() / "qxaview.inf", logDir() / "log49/qxaview.inf");
    setMtime(logDir() / "log49/qxaview.inf", monday - std::chrono::hours(30));
    auto text = composeAlarmReport(services, 0, monday);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("Alarm: 17 Fire hall"), std::string::npos);
    // Not on another night, and not the same week's index of a year ago.
    EXPECT_FALSE(composeAlarmReport(services, 0, at(2026, 12, 8, 0)));
    setMtime(logDir() / "log49/qxaview.inf", monday - std::chrono::days(364));
    EXPECT_FALSE(composeAlarmReport(services, 0, monday));
}

TEST_F(AlarmReportTest, DryRunWritesNothing) {
    QX_SKIP_WITHOUT_LINUX_PEERS();
    std::ostringstream out;
    DryRunFileOperations dry(out);
    ASSERT_TRUE(produceAlarmReport(services, dry, 0, now).ok());
    EXPECT_EQ(out.str(), "create-file " + (logDir() / "qxareport.prt").string() + "\n");
    EXPECT_FALSE(sandbox.exists("root/qxt/log/qxareport.prt"));
}

TEST_F(AlarmReportTest, ThreadReportsWeeklyOnMondaysAndDailyEveryNightOnce) {
    AlarmReportThread thread(services, &files);
    auto prints = [&] { return launcher.calls().size(); };
    // Tuesday midnight, weekly type: nothing.
    EXPECT_EQ(thread.pass(now), at(2026, 12, 1, 1));
    EXPECT_EQ(prints(), 0u);
    // Not yet minute 0: look again at the next minute.
    EXPECT_EQ(thread.pass(at(2026, 12, 6, 23, 59) + std::chrono::seconds(30)), at(2026, 12, 7, 0));
    EXPECT_EQ(thread.pass(at(2026, 12, 7, 0)), at(2026, 12, 7, 1));
    EXPECT_EQ(thread.pass(at(2026, 12, 7, 0) + std::chrono::seconds(40)), at(2026, 12, 7, 1));
    EXPECT_EQ(prints(), 1u);
    EXPECT_EQ(thread.pass(at(2026, 12, 7, 5)), at(2026, 12, 7, 6));
    EXPECT_EQ(prints(), 1u);

    ini(ini::kMover, "AlarmReport", "ReportType", "1");
    thread.pass(at(2026, 12, 8, 0));
    thread.pass(at(2026, 12, 9, 0));
    EXPECT_EQ(prints(), 3u);
}

// A daylight saving change never costs a night its report nor gives it two: where the clocks go
// forward at midnight (Santiago de Chile, 6 September 2026) the report comes at 01:00, the first
// minute after the gap; gaps and repeated hours after midnight change nothing.
TEST_F(AlarmReportTest, ThreadReportsOnceANightAcrossDaylightSavingChanges) {
    struct Night {
        const char* tz;
        int year, month, day;  // the evening before the change
        int reportHour;
    };
    ini(ini::kMover, "AlarmReport", "ReportType", "2");
    for (const Night& night :
         {Night{"America/Santiago", 2026, 9, 5, 1}, Night{"America/Santiago", 2026, 4, 4, 0},
          Night{"Europe/Berlin", 2027, 3, 27, 0}, Night{"Europe/Berlin", 2026, 10, 24, 0}}) {
        if (!useTimeZone(night.tz))
            GTEST_SKIP() << "the zone is the system's here, not one per process";
        AlarmReportThread thread(services, &files);
        std::vector<int> reportHours;
        // The thread's own rhythm from 23:00 to 05:00, looking twice in each minute it wakes.
        const SysTime evening = fromLocal(night.year, night.month, night.day, 23);
        for (SysTime t = evening; t < evening + std::chrono::hours(6);) {
            const std::size_t before = launcher.calls().size();
            const SysTime next = thread.pass(t);
            thread.pass(t + std::chrono::seconds(40));
            if (launcher.calls().size() > before)
                reportHours.push_back(toLocal(t).hour);
            t = next;
        }
        EXPECT_THAT(reportHours, ElementsAre(night.reportHour)) << night.tz << " " << night.month;
    }
    useCentralEuropeanTime();
}

}  // namespace
}  // namespace qx::test
