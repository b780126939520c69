// A full file system under the profile files, the activity log and the scheduler's state: what was there
// stays whole, and what cannot be written is said.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "ActivityLog.h"
#include "CrashTools.h"
#include "ProfileCommand.h"
#include "ProfileFile.h"
#include "Sandbox.h"
#include "SchedulerState.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

constexpr int kCannotMount = 77;

// Runs `body` in a child with a small file system of its own (tmpfs) on `directory`, seen by the child
// alone. The exit code is body's (0 for true); kCannotMount where this account may not mount one.
template <typename Body>
int onSmallFileSystem(const fs::path& directory, Body body) {
    pid_t pid = fork();
    if (pid == 0) {
        alarm(20);
        test::SmallFileSystem small(directory, 64 << 10);
        if (!small.mounted())
            _exit(kCannotMount);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Says on standard error of the child why a check failed, and fails it.
bool check(bool ok, const char* what) {
    if (!ok)
        std::fprintf(stderr, "failed: %s\n", what);
    return ok;
}

class FullFileSystemTest : public ::testing::Test {
protected:
    void expectInChild(const fs::path& directory, const std::function<bool()>& body) {
        int code = onSmallFileSystem(directory, body);
        if (code == kCannotMount)
            GTEST_SKIP() << "cannot mount a file system of our own here";
        EXPECT_EQ(code, 0);
    }
    test::Sandbox sandbox;
};

// The service user may write qxmover.ini but not create a file beside it, so it is written in place:
// on a full file system that once left the file cut after its first page.
TEST_F(FullFileSystemTest, AProfileWrittenInPlaceStaysWholeWhenItsNewTextDoesNotFit) {
    const fs::path dir = sandbox.dir("windows");
    expectInChild(dir, [&] {
        const std::string old = "[Config]\r\n" + std::string(3000, ';') + "\r\n";
        const fs::path ini = dir / "qxmover.ini";
        { std::ofstream(ini, std::ios::binary) << old; }
        if (!check(test::fill(dir / "filler"), "fill"))
            return false;
        const std::string longer = old + "[Extra]\r\n" + std::string(6000, 'x') + "\r\n";
        FileWrite written = rewriteFileInPlace(ini, longer);
        if (!check(!written.ok && written.error == ENOSPC, "refused with ENOSPC") ||
            !check(readAll(ini) == old, "old text whole"))
            return false;
        // The administrator's write says why it failed.
        Profile profile(dir);
        std::ostringstream out, err;
        int code = runProfileCommand(profile, {"set", "qxmover.ini", "Extra", "k", std::string(6000, 'x')},
                                     out, err);
        return check(code == 1, "profile set fails") &&
               check(err.str().find("failed: No space left on device") != std::string::npos, "says why") &&
               check(readAll(ini) == old, "old text whole after profile set");
    });
}

// A full log directory once kept the scheduler from noting its work, so that the next start did the
// week's work again; and its lines were lost without a word.
TEST_F(FullFileSystemTest, TheStateIsSavedAndTheLogLinesAreSaidWhenTheLogDirectoryIsFull) {
    const fs::path log = sandbox.dir("work/log");
    expectInChild(log, [&] {
        SchedulerState state(schedulerStateFile(log));
        const SchedulerRecord before{"2026-11-30", "2026-11-30", "", "2026-11"};
        if (!check(state.save(before), "save with room") || !check(test::fill(log / "filler"), "fill"))
            return false;
        const SchedulerRecord monday{"2026-12-07", "2026-12-07", "", "2026-12"};
        const SchedulerRecord later{"2026-12-07", "2026-12-07", "2026-12-07", "2026-12"};
        if (!check(state.save(monday), "save when full") ||
            !check(state.load() == monday, "record read back") ||
            !check(state.save(later), "second save when full") ||
            !check(state.load() == later, "second record"))
            return false;

        VirtualClock clock{fromLocal(2026, 12, 7, 1)};
        SharedState shared;
        ActivityLog activity(clock, shared, log);
        std::string said;
        activity.setFailureSink([&](std::string_view message) { said += message; });
        activity.write("Move all logfiles to directory \\qxt\\log.\\log49");
        activity.write("Start batchprogram qxmove2.bat");
        return check(said.find("cannot write the activity log " + activity.fileFor(clock.now()).string() +
                               " (No space left on device)") != std::string::npos,
                     "names the log and the reason") &&
               check(said.find("Move all logfiles to directory \\qxt\\log.\\log49\n") != std::string::npos,
                     "first line") &&
               check(said.find("Start batchprogram qxmove2.bat\n") != std::string::npos, "second line") &&
               check(said.find("cannot write", said.find("log49")) == std::string::npos, "reason said once");
    });
}

}  // namespace
}  // namespace qx
