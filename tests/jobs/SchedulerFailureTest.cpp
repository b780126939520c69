// A pass of the scheduler that throws, or a move target that is full: the thread logs it once and its
// next passes come as usual.

#include "Clock.h"
#include "JobsFixture.h"
#include "SchedulerThread.h"
#include "ThreadSet.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace qx::test {
namespace {

// A disk check that throws, as a monitor meeting a file system in a state nobody foresaw might.
class ThrowingHooks : public RecordingHooks {
public:
    void checkDrive(std::string_view drive, SysTime now) override {
        RecordingHooks::checkDrive(drive, now);
        throw std::runtime_error("drive " + std::string(drive) + " vanished");
    }
};

class SchedulerFailureTest : public JobsTest {
protected:
    ThrowingHooks throwing;
    SchedulerThread scheduler{services, &throwing, &files};
};

TEST_F(SchedulerFailureTest, AThrowingPassIsLoggedAndTheNextPassesCome) {
    ini("qxmover.ini", "HDCheck", "Active", "1");
    ini("qxmover.ini", "HDCheck", "CheckTime", "3");
    ini("qxmover.ini", "HDCheck", "CheckDrives", "c:");
    ini("qxmover.ini", "StartMore", "Prog1", "later.exe");
    ini("qxmover.ini", "StartMore", "Time1", "4");
    clock.advanceTo(at(2026, 12, 9, 2, 30));
    {
        ThreadSet threads(clock);
        // Enrolled before the thread starts: alone, the thread would let the clock run on.
        ClockMember self(clock);
        threads.start("SchedulerThread", [this](std::stop_token stop) { scheduler.run(stop); });
        clock.sleepUntil(at(2026, 12, 9, 4, 30), threads.token());
        threads.stop();
    }
    // The pass at 03:00 threw once (not again at every minute of that hour), and 04:00 came as usual.
    EXPECT_EQ(throwing.calls(), std::vector<std::string>{"checkDrive C:"});
    EXPECT_THAT(activity(50), Contains(HasSubstr("SchedulerThread: drive C: vanished")));
    EXPECT_THAT(launcher.calls(), Contains("start shown later.exe"));
}

// A week directory on a full file system while `full` is set: every move fails for want of space.
class FullTargetFiles : public PosixFileOperations {
public:
    bool full = true;
    std::unique_ptr<FileTransfer> transfer(const std::filesystem::path& from,
                                           const std::filesystem::path& to) override {
        struct Full : FileTransfer {
            std::unique_ptr<FileTransfer> real;
            bool& full;
            Full(std::unique_ptr<FileTransfer> r, bool& f) : real(std::move(r)), full(f) {}
            std::optional<SysTime> lastWrite(std::string_view n, std::error_code& e) override {
                return real->lastWrite(n, e);
            }
            std::error_code move(std::string_view n) override {
                return full ? std::make_error_code(std::errc::no_space_on_device) : real->move(n);
            }
            std::error_code copy(std::string_view n) override {
                return full ? std::make_error_code(std::errc::no_space_on_device) : real->copy(n);
            }
            std::vector<TransferProblem> complete() override { return real->complete(); }
        };
        return std::make_unique<Full>(PosixFileOperations::transfer(from, to), full);
    }
};

class FullTargetTest : public JobsTest {
protected:
    FullTargetTest() {
        ini("qxaview.ini", "Config", "AlarmSelectionRange", "week");
        ini("qxmover.ini", "Config", "Start2ndBatch", "1");
        for (int i = 0; i < 20; ++i)
            sandbox.file("root/qxt/log/s" + std::to_string(10 + i) + ".dbf", "records", at(2026, 12, 2, 10));
    }
    std::vector<std::string> lines() {
        std::vector<std::string> all = activity(50);
        for (std::string& line : all)
            line = line.substr(15);
        return all;
    }
    FullTargetFiles fullFiles;
    SchedulerThread scheduler{services, &hooks, &fullFiles};
};

TEST_F(FullTargetTest, TheWeekIsDoneOnlyWhenItsFilesAreFiledAndTheFailureIsLoggedOnce) {
    clock.advanceTo(at(2026, 12, 7, 0, 50));
    scheduler.begin(clock.now());
    for (SysTime t = at(2026, 12, 7, 1, 0); t <= at(2026, 12, 7, 1, 5); t += std::chrono::minutes(1))
        scheduler.pass(t);
    const std::string source = shownPath("s10.dbf");
    EXPECT_THAT(
        lines(),
        ElementsAre(
            "Cannot move " + source + " to " + shownPath("log49/s10.dbf") + ": No space left on device",
            "19 more files could not be moved to " + shownPath("log49") + ": No space left on device",
            "Move all logfiles to directory " + joinedPath("log49"),
            "Not every file of the weekly 01:00 work of Monday 07.12 could be filed; it is tried "
            "again at every pass"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/s10.dbf"));
    // The rest of the work ran once, and is not repeated by the tries.
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden qxmove2.bat 49 50 12 2026", "start hidden qxdel2.bat 39"));

    fullFiles.full = false;
    scheduler.pass(at(2026, 12, 7, 1, 6));
    scheduler.pass(at(2026, 12, 7, 1, 7));
    EXPECT_THAT(lines().back(), "Filed now what the weekly 01:00 work of Monday 07.12 could not file");
    EXPECT_EQ(lines().size(), 5u);
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/s29.dbf"), "records");
    EXPECT_THAT(launcher.calls(),
                ElementsAre("start hidden qxmove2.bat 49 50 12 2026", "start hidden qxdel2.bat 39"));
}

}  // namespace
}  // namespace qx::test
