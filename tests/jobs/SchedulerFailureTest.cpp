// A pass of the scheduler that throws: the thread logs it and its next passes come as usual.

#include "JobsFixture.h"
#include "SchedulerThread.h"
#include "ThreadSet.h"

using ::testing::Contains;
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

}  // namespace
}  // namespace qx::test
