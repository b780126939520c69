// Housework owed once per period: caught up after a stop, never repeated, never owed for an older
// period; the state file that remembers it.

#include <algorithm>
#include <fstream>

#include "Clock.h"
#include "HousekeepingPlan.h"
#include "JobRecord.h"
#include "JobsFixture.h"
#include "MetricsFile.h"
#include "SchedulerState.h"
#include "SchedulerThread.h"
#include "SharedState.h"
#include "ThreadSet.h"

using ::testing::_;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::Pair;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

class CatchUpTest : public JobsTest {
protected:
    CatchUpTest() {
        ini("qxaview.ini", "Config", "AlarmSelectionRange", "week");
        ini("qxmover.ini", "Config", "WaitBeforeDel", "2");
        ini("qxmover.ini", "Config", "DelLogFiles", "1");
        ini("qxmover.ini", "Config", "Start2ndBatch", "1");
    }

    // One run of the service's scheduler on the virtual clock from `start` to `until`, as a start and a
    // stop of the service would give it: a new SchedulerThread each time.
    void serviceRuns(SysTime start, SysTime until) {
        clock.advanceTo(start);
        SchedulerThread scheduler(services, &hooks, &files);
        ThreadSet threads(clock);
        {
            // Enrolled before the thread starts: alone, the thread would let the clock run on.
            ClockMember self(clock);
            threads.start("SchedulerThread", [&scheduler](std::stop_token stop) { scheduler.run(stop); });
            clock.sleepUntil(until, threads.token());
            threads.stop();  // before leaving the clock, which would let it run on
        }
    }

    std::vector<std::string> allActivity() const {
        std::vector<std::string> lines = activity(49);
        for (const std::string& line : activity(50))
            lines.push_back(line);
        return lines;
    }

    SchedulerState stateFile{schedulerStateFile(sandbox.path("work/log"))};
    SysTime week49 = at(2026, 12, 3, 10);
};

TEST_F(CatchUpTest, MondayMoveMissedOvernightRunsOnceAtTheNextStart) {
    sandbox.file("root/qxt/log/a.dbf", "week 49", week49);
    sandbox.file("root/qxt/log/log47/z.dbf", "two weeks old", at(2026, 11, 18, 10));
    // Stopped on Sunday at 23:00, started again on Monday at 09:00.
    serviceRuns(at(2026, 12, 6, 22), at(2026, 12, 6, 23));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49"));
    serviceRuns(at(2026, 12, 7, 9), at(2026, 12, 7, 9, 30));

    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "week 49");
    EXPECT_THAT(namesIn(logDir() / "log47"), IsEmpty());
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden qxmove2.bat 49 50 12 2026", "start hidden qxdel2.bat 47"));
    EXPECT_THAT(
        activity(50),
        ElementsAre(
            "07.12, 09:00,  Catching up the weekly 00:00 work of Monday 07.12, missed while "
            "the service was down",
            "07.12, 09:00,  Moved inf files to directory " + joinedPath("log49"),
            "07.12, 09:00,  Move wavfiles to directory " + joinedPath("confwav/wav49"),
            "07.12, 09:00,  Catching up the weekly 01:00 work of Monday 07.12, missed while "
            "the service was down",
            "07.12, 09:00,  Move all logfiles to directory " + joinedPath("log49"),
            "07.12, 09:00,  Delete all files in directory " + joinedPath("log47"),
            "07.12, 09:00,  Deleted 1 file in " + shownPath("log47") + ": WaitBeforeDel 2 weeks have passed",
            "07.12, 09:00,  Delete wavfiles from subdirectory " + joinedPath("confwav/wav47")));

    // A second restart at 10:00 runs nothing and deletes nothing.
    sandbox.file("root/qxt/log/b.dbf", "week 50", at(2026, 12, 7, 9, 45));
    sandbox.file("root/qxt/log/log47/y.dbf", "put back");
    const auto before = activity(50);
    serviceRuns(at(2026, 12, 7, 10), at(2026, 12, 7, 10, 30));
    EXPECT_EQ(launcher.calls().size(), 2u);
    EXPECT_EQ(activity(50), before);
    EXPECT_TRUE(sandbox.exists("root/qxt/log/b.dbf"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log47/y.dbf"));
    EXPECT_THAT(namesIn(logDir() / "log49"), ElementsAre(".qxcycle", "a.dbf"));
}

// The clock stepped over Monday's hours while the service ran: the line says so, not "down".
TEST_F(CatchUpTest, WorkMissedByAClockJumpSaysThatTheTimeJumped) {
    sandbox.file("root/qxt/log/a.dbf", "week 49", week49);
    SchedulerThread scheduler(services, &hooks, &files);
    clock.advanceTo(at(2026, 12, 6, 23));
    scheduler.begin(at(2026, 12, 6, 23));
    scheduler.pass(at(2026, 12, 6, 23, 30));
    clock.advanceTo(at(2026, 12, 7, 9));
    scheduler.pass(at(2026, 12, 7, 9));

    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "week 49");
    EXPECT_THAT(activity(50),
                Contains("07.12, 09:00,  Catching up the weekly 00:00 work of Monday 07.12, missed "
                         "because the time jumped from 2026-12-06 23:30:00 to 2026-12-07 09:00:00 "
                         "while the service was running (clock set forward or machine asleep)"));
    EXPECT_THAT(activity(50), Not(Contains(HasSubstr("while the service was down"))));
}

TEST_F(CatchUpTest, FirstStartCatchesNothingUp) {
    sandbox.file("root/qxt/log/a.dbf", "week 49", week49);
    serviceRuns(at(2026, 12, 7, 9), at(2026, 12, 7, 9, 30));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));
    EXPECT_THAT(launcher.calls(), IsEmpty());
    ASSERT_TRUE(stateFile.load().has_value());
    EXPECT_EQ(stateFile.load()->weekOne, "2026-12-07");
}

TEST_F(CatchUpTest, StartWithinTheHourOfTheWorkRunsItOnTime) {
    // A first start at 00:00 itself, and a restart in the minute of 01:00: both on time, once.
    sandbox.file("root/qxt/log/a.dbf", "week 49", week49);
    serviceRuns(at(2026, 12, 7, 0), at(2026, 12, 7, 0, 40));
    serviceRuns(at(2026, 12, 7, 1), at(2026, 12, 7, 1) + std::chrono::seconds(30));
    serviceRuns(at(2026, 12, 7, 1) + std::chrono::seconds(40), at(2026, 12, 7, 1, 10));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "week 49");
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden qxmove2.bat 49 50 12 2026", "start hidden qxdel2.bat 47"));
    EXPECT_THAT(allActivity(), Not(Contains(HasSubstr("Catching up"))));
}

TEST_F(CatchUpTest, OnlyTheCurrentPeriodIsOwed) {
    // Last done two weeks ago; started on Tuesday: this week's move (week 49) runs, week 48's never.
    ASSERT_TRUE(stateFile.save({"2026-11-23", "2026-11-23", "2026-11-23", "2026-11"}));
    sandbox.file("root/qxt/log/a.dbf", "week 49", week49);
    serviceRuns(at(2026, 12, 8, 15), at(2026, 12, 8, 15, 5));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "week 49");
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log48"));
    EXPECT_EQ(launcher.calls().size(), 2u);
}

TEST_F(CatchUpTest, MonthlyWorkMissedAtTheMonthChangeHandsOnTheMonthThatEnded) {
    ini("qxaview.ini", "Config", "AlarmSelectionRange", "month");
    ini("qxmover.ini", "Config", "Start2ndBatch", "0");
    serviceRuns(at(2026, 11, 30, 20), at(2026, 11, 30, 23));
    serviceRuns(at(2026, 12, 1, 8), at(2026, 12, 1, 8, 5));
    serviceRuns(at(2026, 12, 1, 9), at(2026, 12, 1, 9, 5));
    EXPECT_THAT(launcher.calls(), ElementsAre("start hidden qxmover.bat " + logDir().string() + " log11",
                                              "start hidden qxlogdel.bat " + logPath("log09")));
    EXPECT_EQ(state.rememberedMonth.load(), 12);
}

TEST_F(CatchUpTest, WorkCutShortByAStopRunsAgainAtTheNextStart) {
    ASSERT_TRUE(stateFile.save({"2026-11-30", "2026-11-30", "2026-11-30", "2026-11"}));
    ini("qxmover.ini", "Config", "DelAlarmWav", "1");
    sandbox.file("root/qxt/log/a.dbf", "week 49", week49);
    clock.advanceTo(at(2026, 12, 7, 9));
    {
        ThreadSet threads(clock);
        // The service is stopped while the 00:00 half runs its alarm recordings job.
        struct StopInTheMiddle : RecordingHooks {
            std::stop_source* stop = nullptr;
            void alarmRecordings(SysTime) override { stop->request_stop(); }
        } stopping;
        stopping.stop = &threads.source();
        SchedulerThread scheduler(services, &stopping, &files);
        {
            // Enrolled before the thread starts: alone, the thread would let the clock run on.
            ClockMember self(clock);
            threads.start("SchedulerThread", [&scheduler](std::stop_token stop) { scheduler.run(stop); });
            clock.sleepUntil(at(2026, 12, 7, 9, 30), threads.token());
            threads.stop();  // before leaving the clock, which would let it run on
        }
    }
    ASSERT_TRUE(stateFile.load().has_value());
    EXPECT_EQ(stateFile.load()->weekMidnight, "2026-11-30");
    EXPECT_EQ(stateFile.load()->weekOne, "2026-11-30");
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));

    serviceRuns(at(2026, 12, 7, 9, 40), at(2026, 12, 7, 9, 45));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "week 49");
    EXPECT_EQ(stateFile.load()->weekOne, "2026-12-07");
}

TEST_F(CatchUpTest, StateFileIsWholeOrAbsent) {
    EXPECT_FALSE(stateFile.load().has_value());
    SchedulerRecord record{"2026-12-07", "2026-12-07", "", "2026-12"};
    ASSERT_TRUE(stateFile.save(record));
    EXPECT_EQ(stateFile.load(), record);
    EXPECT_THAT(namesIn(sandbox.path("work/log")), ElementsAre("qxmover.state", "qxmover.state.reserve"));

    bool unreadable = false;
    std::ofstream(stateFile.file()) << "[Scheduler]\nWeekOne=07.12.2026\n";
    EXPECT_FALSE(stateFile.load(&unreadable).has_value());
    EXPECT_TRUE(unreadable);
    std::ofstream(stateFile.file()) << "garbage";
    EXPECT_FALSE(stateFile.load(&unreadable).has_value());
    EXPECT_TRUE(unreadable);

    // An unreadable record is never taken as "nothing done": nothing is caught up, and it is said.
    sandbox.file("root/qxt/log/a.dbf", "week 49", week49);
    serviceRuns(at(2026, 12, 7, 9), at(2026, 12, 7, 9, 5));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.dbf"));
    EXPECT_THAT(activity(50), Contains(HasSubstr("nothing is caught up")));
    EXPECT_TRUE(stateFile.load().has_value());

    SchedulerState nowhere(sandbox.path("missing/qxmover.state"));
    EXPECT_FALSE(nowhere.save(record));
}

TEST_F(CatchUpTest, JobOutcomesShareTheStateFileWithoutDisturbingTheRecord) {
    // An outcome before the scheduler's first record (a monitor passes first) is no record of work done.
    JobOutcome failed{
        .lastRun = 1765000000, .ok = false, .lastFailure = 1765000000, .reason = "line 1\nline 2"};
    ASSERT_TRUE(stateFile.saveJob("report", failed));
    bool unreadable = true;
    EXPECT_FALSE(stateFile.load(&unreadable).has_value());
    EXPECT_FALSE(unreadable);
    EXPECT_EQ(stateFile.loadJobs().at("report").reason, "line 1 line 2");

    const SchedulerRecord record{"2026-12-07", "2026-12-07", "", "2026-12"};
    ASSERT_TRUE(stateFile.save(record));
    JobOutcome weekly;
    weekly.lastRun = 1765065600;
    weekly.filesMoved = 3;
    ASSERT_TRUE(stateFile.saveJob("weekly", weekly));
    EXPECT_EQ(stateFile.load(), record);
    EXPECT_EQ(stateFile.loadJobs().size(), 2u);
    EXPECT_EQ(stateFile.loadJobs().at("weekly").filesMoved, 3);

    // Entries that make no sense are left out; the record and the sound entries stay.
    std::ofstream(stateFile.file(), std::ios::app)
        << "Job.backup=-5 1 0 -1 -1\nJob.disk-check=1 2 0 -1 -1\nJob.web-trigger=99999999999 1 0 -1 -1\n"
           "Job.Bad=1 1 0 -1 -1 x\nJob.job-watcher=1x 1 0 -1 -1\nJob.event-watchdog=60 1 0 -2 -1\n";
    EXPECT_EQ(stateFile.load(), record);
    EXPECT_THAT(stateFile.loadJobs(), ElementsAre(Pair("report", _), Pair("weekly", _)));

    // A damaged file is the scheduler's to tell: an outcome does not write over it.
    std::ofstream(stateFile.file()) << "garbage";
    EXPECT_FALSE(stateFile.saveJob("weekly", JobOutcome{}));
    EXPECT_EQ(sandbox.read("work/log/qxmover.state"), "garbage");
}

TEST_F(CatchUpTest, JobRecordKeepsTheLastFailureAcrossSuccessesAndRestarts) {
    {
        JobRecord jobs(stateFile.file(), at(2026, 12, 7, 9), log);
        services.jobs = &jobs;
        int heard = 0;
        jobs.setListener([&](const JobRecord&) { ++heard; });
        reportJob(services, Job::DiskCheck, at(2026, 12, 7, 1), false, "not enough space left on C:");
        // The same failure a minute later is not saved at once (the listener hears of it all the same).
        reportJob(services, Job::DiskCheck, at(2026, 12, 7, 1, 1), false, "not enough space left on C:");
        EXPECT_EQ(fromUnixTime(stateFile.loadJobs().at("disk-check").lastFailure), at(2026, 12, 7, 1));
        reportJob(services, Job::DiskCheck, at(2026, 12, 8, 1), true);
        EXPECT_EQ(heard, 3);
        // A pass that ends as the one before is saved only now and then, not at every minute.
        reportJob(services, Job::DiskCheck, at(2026, 12, 8, 1, 1), true);
        EXPECT_EQ(fromUnixTime(stateFile.loadJobs().at("disk-check").lastRun), at(2026, 12, 8, 1));
        EXPECT_EQ(fromUnixTime(jobs.outcomes().at("disk-check").lastRun), at(2026, 12, 8, 1, 1));
        reportJob(services, Job::DiskCheck, at(2026, 12, 8, 1, 11), true);
        EXPECT_EQ(fromUnixTime(stateFile.loadJobs().at("disk-check").lastRun), at(2026, 12, 8, 1, 11));
        EXPECT_EQ(heard, 5);
        services.jobs = nullptr;
    }
    JobRecord again(stateFile.file(), at(2026, 12, 8, 9), log);
    const JobOutcome disk = again.outcomes().at("disk-check");
    EXPECT_TRUE(disk.ok);
    EXPECT_EQ(fromUnixTime(disk.lastRun), at(2026, 12, 8, 1, 11));
    EXPECT_EQ(fromUnixTime(disk.lastFailure), at(2026, 12, 7, 1, 1));
    EXPECT_EQ(disk.reason, "not enough space left on C:");
}

TEST_F(CatchUpTest, MetricsFileFailureIsLoggedOnceAndAPlantedLinkIsNotFollowed) {
    JobRecord jobs(stateFile.file(), at(2026, 12, 7, 9), log);
    MetricsFile metrics(sandbox.path("metrics"), profile, log);
    jobs.setListener([&](const JobRecord& record) { metrics.write(record); });
    reportJob(services, Job::Backup, at(2026, 12, 7, 0), true);  // no record in the services: not heard
    services.jobs = &jobs;
    reportJob(services, Job::Backup, at(2026, 12, 7, 0), false, "cannot start");
    reportJob(services, Job::WeeklyWork, at(2026, 12, 7, 1), true);
    services.jobs = nullptr;
    const std::vector<std::string> lines = allActivity();
    const auto told = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("Cannot write the metrics file") != std::string::npos;
    });
    EXPECT_EQ(told, 1);
    EXPECT_EQ(jobs.outcomes().size(), 2u);  // the jobs went on

    sandbox.dir("metrics");
    sandbox.file("victim", "keep");
    QX_PLANT_LINK_OR_SKIP(sandbox.path("victim"), sandbox.path("metrics/.qxmover.prom.new"));
    ASSERT_TRUE(metrics.write(jobs));
    EXPECT_EQ(sandbox.read("victim"), "keep");
    const std::string text = sandbox.read("metrics/qxmover.prom");
    EXPECT_THAT(text, HasSubstr("qxmover_job_last_result{job=\"backup\"} 0\n"));
    EXPECT_THAT(text, HasSubstr("qxmover_job_last_result{job=\"weekly\"} 1\n"));
    EXPECT_THAT(text, HasSubstr("qxmover_start_time_seconds "));
}

TEST(HousekeepingPlan, PeriodsBeginOnMondayAndOnTheFirst) {
    QX_REQUIRE_CENTRAL_EUROPEAN_TIME();
    EXPECT_EQ(mondayKey(fromLocal(2026, 12, 6, 23, 59)), "2026-11-30");
    EXPECT_EQ(mondayKey(fromLocal(2026, 12, 7, 0, 0)), "2026-12-07");
    EXPECT_EQ(mondayKey(fromLocal(2027, 1, 2, 12)), "2026-12-28");
    EXPECT_EQ(monthKey(fromLocal(2027, 1, 2, 12)), "2027-01");
    // Sunday of the change to summer time, and the Monday after it.
    EXPECT_EQ(mondayKey(fromLocal(2027, 3, 28, 12)), "2027-03-22");
    const SysTime mondayOne = fromLocal(2026, 12, 7, 1);
    SchedulerRecord record = firstStartRecord(mondayOne);
    EXPECT_EQ(record.weekMidnight, "2026-12-07");
    EXPECT_EQ(record.weekOne, "");  // due this very minute: runs on time
    EXPECT_EQ(record.month, "2026-12");
    ASSERT_EQ(dueWork(record, mondayOne).size(), 1u);
    EXPECT_EQ(dueWork(record, mondayOne)[0].work, Housework::WeekOne);
    markNotWanted(record, mondayOne, 2, false);
    EXPECT_THAT(dueWork(record, mondayOne), IsEmpty());
}

}  // namespace
}  // namespace qx::test
