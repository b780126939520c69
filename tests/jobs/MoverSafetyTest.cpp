// What the mover must never do: delete what it filed, follow a link out of its directory, leave
// partial copies behind, lose what is written while it copies, or misjudge far-future times.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "DryRun.h"
#include "JobsFixture.h"
#include "ManualOperations.h"
#include "WeeklyMove.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

// A directory on tmpfs, so that a move into the sandbox cannot be a rename; empty when there is none.
class ShmDirectory {
public:
    ShmDirectory() {
        std::string pattern = "/dev/shm/qxtest-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_root = pattern;
    }
    ~ShmDirectory() {
        std::error_code ec;
        if (!m_root.empty())
            fs::remove_all(m_root, ec);
    }
    bool differsFrom(const fs::path& other) const {
        struct stat a {
        }, b{};
        return !m_root.empty() && ::stat(m_root.c_str(), &a) == 0 && ::stat(other.c_str(), &b) == 0 &&
               a.st_dev != b.st_dev;
    }
    const fs::path& root() const { return m_root; }

private:
    fs::path m_root;
};

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

    SysTime now = at(2026, 12, 7, 1);        // Monday of week 50: week 49 is filed, week 47 is due
    SysTime thisWeek = at(2026, 12, 2, 10);  // written during week 49
    SysTime lastYear = at(2025, 12, 3, 10);  // written during last year's week 49
};

TEST_F(MoverSafetyTest, RerunsDeleteOnlyWhatAnEarlierYearLeft) {
    for (const char* name : {"a.dbf", "b.l1", "c.log", "d.txt", "qxaview.inf"})
        sandbox.file(std::string("root/qxt/log/") + name, name, thisWeek);
    sandbox.file("root/qxt/log/log49/old.dbf", "last year", lastYear);
    sandbox.file("root/qxt/log/log49/old.inf", "last year", lastYear);
    // Put there by the second batch after the move: not the mover's, and not old.
    sandbox.file("root/qxt/log/log49/batch.txt", "from qxmove2.bat", thisWeek);

    EXPECT_TRUE(weeklyAtMidnight(mover, context(now - std::chrono::hours(1))));
    EXPECT_TRUE(weeklyAtOne(mover, context(now)));
    const std::vector<std::string> filed = {"a.dbf", "b.l1", "batch.txt", "c.log", "d.txt", "qxaview.inf"};
    EXPECT_THAT(namesIn(logDir() / "log49"), ::testing::ElementsAreArray(filed));

    // The scheduled run again (a restart within the minute), later the same Monday, and a "move now"
    // pressed after it: each finds this week's files and keeps them.
    EXPECT_TRUE(weeklyAtMidnight(mover, context(now - std::chrono::hours(1))));
    EXPECT_TRUE(weeklyAtOne(mover, context(now)));
    EXPECT_TRUE(weeklyAtOne(mover, context(now + std::chrono::hours(8))));
    EXPECT_EQ(moveNow(mover, context(now + std::chrono::hours(9))), OperationResult::Done);
    EXPECT_THAT(namesIn(logDir() / "log49"), ::testing::ElementsAreArray(filed));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "a.dbf");
    EXPECT_THAT(prompts.questions(),
                ElementsAre("Please confirm ...|Move all logfiles to the directory " + logPath("log49") +
                            " ?\nMoves 0 file(s) there; first deletes 0 file(s) of an earlier year there."));
}

TEST_F(MoverSafetyTest, MoveNowSaysWhatItMovesAndDeletes) {
    sandbox.file("root/qxt/log/a.dbf", "new", thisWeek);
    sandbox.file("root/qxt/log/b.l1", "new", thisWeek);
    sandbox.file("root/qxt/log/c.txt", "not a core file", thisWeek);
    sandbox.file("root/qxt/log/log49/old.dbf", "last year", lastYear);
    sandbox.file("root/qxt/log/log49/old.txt", "not a core file", lastYear);
    prompts.answer = false;
    EXPECT_EQ(moveNow(mover, context(now)), OperationResult::Declined);
    EXPECT_THAT(
        prompts.questions(),
        ElementsAre(HasSubstr("\nMoves 2 file(s) there; first deletes 1 file(s) of an earlier year")));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/log49/old.dbf"));
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
    EXPECT_THAT(activity(50), Contains(HasSubstr("Not deleting in " + logPath("log47") + ": it is a link")));
}

TEST_F(MoverSafetyTest, PartialCopiesOfDeadProcessesAreCleared) {
    const std::string dead = std::to_string(deadProcessId());
    const std::string ours = std::to_string(::getpid());
    sandbox.file("root/qxt/log/a.dbf", "new", thisWeek);
    sandbox.file("root/qxt/log/log49/.a.dbf.qxcopy-" + dead + "-3", "half of a");
    sandbox.file("root/qxt/log/log49/.b.vox.qxcopy-" + dead + "-12", "half of b");
    sandbox.file("root/qxt/log/log49/.c.dbf.qxcopy-1-1", "pid 1 still runs");
    sandbox.file("root/qxt/log/log49/.d.dbf.qxcopy-" + ours + "-1", "another thread's copy");
    sandbox.file("root/qxt/log/log49/.e.qxcopy-" + dead + "-x", "not our name");
    sandbox.file("root/qxt/log/log49/f.qxcopy-" + dead + "-1", "not hidden");

    EXPECT_TRUE(weeklyAtOne(mover, context(now)));

    EXPECT_THAT(namesIn(logDir() / "log49"),
                ElementsAre(".c.dbf.qxcopy-1-1", ".d.dbf.qxcopy-" + ours + "-1", ".e.qxcopy-" + dead + "-x",
                            "a.dbf", "f.qxcopy-" + dead + "-1"));
    EXPECT_THAT(activity(50), Contains(HasSubstr("Deleted partial copy " +
                                                 logPath("log49/.b.vox.qxcopy-" + dead + "-12"))));
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
    EXPECT_EQ(mover.deleteFiles(logDir() / "log49", patterns, earlierCycleBefore(now)), 0);
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
    ShmDirectory shm;
    if (!shm.differsFrom(sandbox.root()))
        GTEST_SKIP() << "no second file system at /dev/shm";
    for (const char* name : {"a.dbf", "b.dbf"}) {
        std::ofstream(shm.root() / name) << "first records\n";
        setMtime(shm.root() / name, thisWeek);
    }
    // The alarm server appends to b.dbf just after it was copied, before the batch completes.
    PosixFileOperations watched([&](std::string_view step, std::string_view name) {
        if (step == "copied" && name == "b.dbf")
            std::ofstream(shm.root() / "b.dbf", std::ios::app) << "one more record\n";
    });
    StatisticMover crossing(services, watched, hooks);
    const std::string_view patterns[] = {"*.dbf"};
    sandbox.dir("week");
    EXPECT_TRUE(crossing.moveFiles(shm.root(), patterns, sandbox.path("week"), AgeCheck::On, now));
    EXPECT_FALSE(fs::exists(shm.root() / "a.dbf"));
    EXPECT_EQ(sandbox.read("week/a.dbf"), "first records\n");
    EXPECT_EQ(readFile(shm.root() / "b.dbf"), "first records\none more record\n");
    EXPECT_THAT(activity(50), ElementsAre(HasSubstr("Keep " + (shm.root() / "b.dbf").string() +
                                                    ": it changed while it was copied")));
    // The next run takes it whole.
    EXPECT_TRUE(mover.moveFiles(shm.root(), patterns, sandbox.path("week"), AgeCheck::Off, now));
    EXPECT_EQ(sandbox.read("week/b.dbf"), "first records\none more record\n");
}

}  // namespace
}  // namespace qx::test
