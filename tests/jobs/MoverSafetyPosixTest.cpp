// What the mover must never do: delete what it filed, follow a link out of its directory, leave
// partial copies behind, lose what is written while it copies, or misjudge far-future times.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "CrashTools.h"
#include "DryRun.h"
#include "FileHandle.h"
#include "JobsFixture.h"
#include "ManualOperations.h"
#include "WeekCalendar.h"
#include "WeeklyMove.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

// Sets a file's last-write time in whole seconds since 1970, also beyond what the clock can hold.
void setUnixMtime(const fs::path& file, std::int64_t seconds) {
    timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// A process id that no process has: a child that has ended and been reaped.
pid_t deadProcessId() {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

class MoverSafetyTest : public JobsTest {
protected:
    MoverSafetyTest() {
        clock.advanceTo(now);
        ini("qxaview.ini", "Config", "AlarmSelectionRange", "week");
        ini("qxmover.ini", "Config", "WaitBeforeDel", "2");
        ini("qxmover.ini", "Config", "DelLogFiles", "1");
    }
    MoverContext context(SysTime time) { return readMoverContext(profile, time, 12); }
    // Week directory `name` as last year's cycle of its week number left it.
    void lastYearsCycle(const std::string& name) {
        sandbox.file("root/qxt/log/" + name + "/.qxcycle", "2025-12-08\n", lastYear);
    }

    SysTime now = at(2026, 12, 7, 1);        // Monday of week 50: week 49 is filed, week 47 is due
    SysTime thisWeek = at(2026, 12, 2, 10);  // written during week 49
    SysTime lastYear = at(2025, 12, 3, 10);  // written during last year's week 49
};

TEST_F(MoverSafetyTest, RerunsDeleteOnlyWhatAnEarlierCycleLeft) {
    for (const char* name : {"a.dbf", "b.l1", "c.log", "d.txt", "qxaview.inf"})
        sandbox.file(std::string("root/qxt/log/") + name, name, thisWeek);
    // Not written for more than a year: filed with its old time all the same.
    sandbox.file("root/qxt/log/config.txt", "a config dump", at(2025, 10, 1, 12));
    sandbox.file("root/qxt/log/log49/old.dbf", "last year", lastYear);
    sandbox.file("root/qxt/log/log49/old.inf", "last year", lastYear);
    lastYearsCycle("log49");

    EXPECT_TRUE(weeklyAtMidnight(mover, context(now - std::chrono::hours(1))));
    EXPECT_TRUE(weeklyAtOne(mover, context(now)));
    // Put there by the second batch after the move: not the mover's.
    sandbox.file("root/qxt/log/log49/batch.txt", "from qxmove2.bat", lastYear);
    const std::vector<std::string> filed = {".qxcycle", "a.dbf",      "b.l1",  "batch.txt",
                                            "c.log",    "config.txt", "d.txt", "qxaview.inf"};
    EXPECT_THAT(namesIn(logDir() / "log49"), ::testing::ElementsAreArray(filed));
    EXPECT_THAT(activity(50), Contains(HasSubstr("Deleted 2 files in " + shownPath("log49") +
                                                 " filed in the cycle of 2025-12-08")));

    // The scheduled run again (a restart within the minute, a catch-up), later the same Monday, and a
    // "move now" pressed after it: each finds this week's files and keeps them, whatever their times.
    EXPECT_TRUE(weeklyAtMidnight(mover, context(now - std::chrono::hours(1))));
    EXPECT_TRUE(weeklyAtOne(mover, context(now)));
    EXPECT_TRUE(weeklyAtOne(mover, context(now + std::chrono::hours(8))));
    EXPECT_EQ(moveNow(mover, context(now + std::chrono::hours(9))), OperationResult::Done);
    EXPECT_THAT(namesIn(logDir() / "log49"), ::testing::ElementsAreArray(filed));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/config.txt"), "a config dump");
    EXPECT_THAT(prompts.questions(),
                ElementsAre("Please confirm ...|Move all logfiles to the directory " + joinedPath("log49") +
                            " ?\nMoves 0 file(s) there; first deletes 0 file(s) of an earlier year there."));
}

TEST_F(MoverSafetyTest, MoveNowSaysWhatItMovesAndDeletes) {
    sandbox.file("root/qxt/log/a.dbf", "new", thisWeek);
    sandbox.file("root/qxt/log/b.l1", "new", thisWeek);
    sandbox.file("root/qxt/log/c.txt", "not a core file", thisWeek);
    sandbox.file("root/qxt/log/log49/old.dbf", "last year", lastYear);
    sandbox.file("root/qxt/log/log49/old.txt", "a statistic file too", lastYear);
    lastYearsCycle("log49");
    prompts.answer = false;
    EXPECT_EQ(moveNow(mover, context(now)), OperationResult::Declined);
    EXPECT_THAT(
        prompts.questions(),
        ElementsAre(HasSubstr("\nMoves 2 file(s) there; first deletes 2 file(s) of an earlier year")));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log49/old.dbf"));
}

TEST_F(MoverSafetyTest, MoveNowAfterTheMondayMoveReplacesNothingAndSaysSo) {
    sandbox.file("root/qxt/log/qxaview.inf", "index of week 49", thisWeek);
    sandbox.file("root/qxt/log/qxalarms.dbf", "alarms of week 49", thisWeek);
    EXPECT_TRUE(weeklyAtMidnight(mover, context(now - std::chrono::hours(1))));
    EXPECT_TRUE(weeklyAtOne(mover, context(now)));
    // Wednesday: the alarm server has written this week's files of the same names.
    sandbox.file("root/qxt/log/qxaview.inf", "index of week 50", now + std::chrono::hours(40));
    sandbox.file("root/qxt/log/qxalarms.dbf", "alarms of week 50", now + std::chrono::hours(40));
    sandbox.file("root/qxt/log/a.l1", "a line log", now + std::chrono::hours(40));

    EXPECT_EQ(moveNow(mover, context(now + std::chrono::hours(56))), OperationResult::Done);

    EXPECT_THAT(
        prompts.questions(),
        ElementsAre(HasSubstr("\nMoves 1 file(s) there; first deletes 0 file(s) of an earlier year "
                              "there.\n2 file(s) stay in the log directory: a file of the same name is "
                              "there already.")));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/qxaview.inf"), "index of week 49");
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/qxalarms.dbf"), "alarms of week 49");
    EXPECT_EQ(sandbox.read("root/qxt/log/qxaview.inf"), "index of week 50");
    EXPECT_EQ(sandbox.read("root/qxt/log/qxalarms.dbf"), "alarms of week 50");
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.l1"), "a line log");
    EXPECT_THAT(activity(50), Contains(HasSubstr("Keep " + shownPath("qxalarms.dbf") + ": " +
                                                 shownPath("log49") + " has a file of that name already")));
}

TEST_F(MoverSafetyTest, DeletionNeverFollowsALinkedDirectory) {
    // Week 47 is due; its directory is a link to a directory that is not the mover's.
    for (const char* name : {"a.log", "b.txt", "c.cnf", "d.dbf"})
        sandbox.file(std::string("elsewhere/") + name, name, lastYear);
    fs::create_symlink(sandbox.path("elsewhere"), logDir() / "log47");
    ini("qxmover.ini", "Config", "MoveConferWavToSubDir", "1");
    ini("qxalarm.ini", "qxaconf", "ResultWavePath", "\\rec");
    sandbox.file("elsewhere/e.wav", "RIFF", lastYear);
    sandbox.dir("root/rec");
    fs::create_symlink(sandbox.path("elsewhere"), sandbox.path("root/rec/wav47"));
    // The week being filed is a link as well: its earlier files are not emptied through it.
    fs::create_symlink(sandbox.path("elsewhere"), logDir() / "log49");

    weeklyAtOne(mover, context(now));

    EXPECT_THAT(namesIn(sandbox.path("elsewhere")), ElementsAre("a.log", "b.txt", "c.cnf", "d.dbf", "e.wav"));
    EXPECT_THAT(activity(50),
                Contains(HasSubstr("Not deleting in " + shownPath("log47") + ": it is a link")));
}

TEST_F(MoverSafetyTest, PartialCopiesThatNoWriterHoldsAreClearedInEveryWeekDirectory) {
    const std::string dead = std::to_string(deadProcessId());
    const std::string ours = std::to_string(::getpid());
    sandbox.file("root/qxt/log/a.dbf", "new", thisWeek);
    sandbox.file("root/qxt/log/log49/.a.dbf.qxcopy-" + dead + "-3", "half of a");
    sandbox.file("root/qxt/log/log49/.b.vox.qxcopy-" + dead + "-12", "half of b");
    // A process id that runs now, ours included, says nothing: a killed process's id comes back (PID 1
    // in a container); only a writer's lock tells a copy in the making.
    sandbox.file("root/qxt/log/log49/.c.dbf.qxcopy-1-1", "left by PID 1 of an earlier container");
    sandbox.file("root/qxt/log/log49/.d.dbf.qxcopy-" + ours + "-1", "left by an earlier run of this PID");
    sandbox.file("root/qxt/log/log49/.g.dbf.qxcopy-" + ours + "-2", "another thread's copy");
    FileHandle held(::open(logPath("log49/.g.dbf.qxcopy-" + ours + "-2").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.get(), LOCK_EX), 0);
    sandbox.file("root/qxt/log/log49/.e.qxcopy-" + dead + "-x", "not our name");
    sandbox.file("root/qxt/log/log49/f.qxcopy-" + dead + "-1", "not hidden");
    // Left in the directories of other weeks, which this run does not file.
    sandbox.file("root/qxt/log/log12/.h.dbf.qxcopy-" + dead + "-5", "half of h");
    sandbox.file("root/qxt/log/logbook/.i.dbf.qxcopy-" + dead + "-5", "not a week directory");

    EXPECT_TRUE(weeklyAtOne(mover, context(now)));

    EXPECT_THAT(namesIn(logDir() / "log49"),
                ElementsAre(".e.qxcopy-" + dead + "-x", ".g.dbf.qxcopy-" + ours + "-2", ".qxcycle", "a.dbf",
                            "f.qxcopy-" + dead + "-1"));
    EXPECT_THAT(namesIn(logDir() / "log12"), IsEmpty());
    EXPECT_TRUE(sandbox.exists("root/qxt/log/logbook/.i.dbf.qxcopy-" + dead + "-5"));
    EXPECT_THAT(activity(50), Contains(HasSubstr("Deleted partial copy " +
                                                 shownPath("log49/.b.vox.qxcopy-" + dead + "-12"))));
}

TEST_F(MoverSafetyTest, FarFutureTimesAreYoungNotWrappedIntoThePast) {
    sandbox.file("root/qxt/log/y2300.dbf", "future");
    sandbox.file("root/qxt/log/y2200.dbf", "future");
    sandbox.file("root/qxt/log/old.dbf", "old", thisWeek);
    setUnixMtime(logDir() / "y2300.dbf", 10'413'792'000);  // 2300-01-01
    setUnixMtime(logDir() / "y2200.dbf", 7'258'118'400);   // 2200-01-01
    const std::string_view patterns[] = {"*.dbf"};
    std::ostringstream out;
    DryRunFileOperations dry(out);
    StatisticMover dryMover(services, dry, hooks);
    EXPECT_TRUE(dryMover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    EXPECT_THAT(out.str(), HasSubstr("copy " + logPath("y2200.dbf")));
    EXPECT_THAT(out.str(), HasSubstr("copy " + logPath("y2300.dbf")));
    EXPECT_THAT(out.str(), HasSubstr("move " + logPath("old.dbf")));
    // And as files left in a week directory, they are never from an earlier year.
    fs::create_directory(logDir() / "log49");
    fs::rename(logDir() / "y2300.dbf", logDir() / "log49/y2300.dbf");
    EXPECT_TRUE(mover.claimWeekDirectory(logDir() / "log49", mondayOf(toLocal(now)), 2));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log49/y2300.dbf"));
}

// Stops the move through the mover's stop token as soon as the first file has gone.
class StoppingFiles : public PosixFileOperations {
public:
    explicit StoppingFiles(std::stop_source& stop) : m_stop(stop) {}
    std::unique_ptr<FileTransfer> transfer(const fs::path& from, const fs::path& to) override {
        struct Stopping : FileTransfer {
            std::unique_ptr<FileTransfer> real;
            std::stop_source& stop;
            Stopping(std::unique_ptr<FileTransfer> r, std::stop_source& s) : real(std::move(r)), stop(s) {}
            std::optional<SysTime> lastWrite(std::string_view n, std::error_code& e) override {
                return real->lastWrite(n, e);
            }
            std::error_code move(std::string_view n) override {
                std::error_code ec = real->move(n);
                stop.request_stop();
                return ec;
            }
            std::error_code copy(std::string_view n) override { return real->copy(n); }
        };
        return std::make_unique<Stopping>(PosixFileOperations::transfer(from, to), m_stop);
    }

private:
    std::stop_source& m_stop;
};

TEST_F(MoverSafetyTest, AStopEndsAMoveBetweenTwoFiles) {
    for (const char* name : {"a.dbf", "b.dbf", "c.dbf"})
        sandbox.file(std::string("root/qxt/log/") + name, name, thisWeek);
    std::stop_source stop;
    StoppingFiles stoppingFiles(stop);
    StatisticMover stopping(services, stoppingFiles, hooks, stop.get_token());
    const std::string_view patterns[] = {"*.dbf"};
    sandbox.dir("root/qxt/log/log49");
    EXPECT_FALSE(stopping.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    EXPECT_THAT(namesIn(logDir() / "log49"), ElementsAre("a.dbf"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/b.dbf"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/c.dbf"));
    EXPECT_THAT(activity(50), ElementsAre(HasSubstr("stopped before b.dbf")));
}

TEST_F(MoverSafetyTest, AFileWrittenToDuringItsCopyStaysForTheNextRun) {
    SecondFileSystem shm{sandbox.root()};
    if (!shm.available())
        GTEST_SKIP() << "no second file system at /dev/shm";
    for (const char* name : {"a.dbf", "b.dbf"}) {
        std::ofstream(shm.path() / name) << "first records\n";
        setMtime(shm.path() / name, thisWeek);
    }
    // The alarm server appends to b.dbf just after it was copied, before the batch completes.
    PosixFileOperations watched([&](std::string_view step, std::string_view name) {
        if (step == "copied" && name == "b.dbf")
            std::ofstream(shm.path() / "b.dbf", std::ios::app) << "one more record\n";
    });
    StatisticMover crossing(services, watched, hooks);
    const std::string_view patterns[] = {"*.dbf"};
    sandbox.dir("week");
    EXPECT_TRUE(crossing.moveFiles(shm.path(), patterns, sandbox.path("week"), AgeCheck::On, now));
    EXPECT_FALSE(fs::exists(shm.path() / "a.dbf"));
    EXPECT_EQ(sandbox.read("week/a.dbf"), "first records\n");
    EXPECT_EQ(readFile(shm.path() / "b.dbf"), "first records\none more record\n");
    EXPECT_THAT(activity(50), ElementsAre(HasSubstr("Keep " + (shm.path() / "b.dbf").string() +
                                                    ": it changed while it was copied")));
    // The next run takes it whole.
    EXPECT_TRUE(mover.moveFiles(shm.path(), patterns, sandbox.path("week"), AgeCheck::Off, now));
    EXPECT_EQ(sandbox.read("week/b.dbf"), "first records\none more record\n");
}

}  // namespace
}  // namespace qx::test
