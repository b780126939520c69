#include "Launcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <iterator>
#include <sstream>
#include <thread>

#include "Sandbox.h"
#include "WaitUntil.h"

using ::testing::ElementsAre;

namespace qx {
namespace {

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    EXPECT_THAT(splitCommandLine("qxe  qxarun 1 -i4%d"), ElementsAre("qxe", "qxarun", "1", "-i4%d"));
    EXPECT_THAT(splitCommandLine("prog \"a b\" c\"d e\"f"), ElementsAre("prog", "a b", "cd ef"));
    EXPECT_THAT(splitCommandLine("prog \"\" x"), ElementsAre("prog", "", "x"));
    EXPECT_THAT(splitCommandLine("md \\qxt\\log.\\log49"), ElementsAre("md", "\\qxt\\log.\\log49"));
    EXPECT_THAT(splitCommandLine("a \\\"b\\\" c\\\\\"d e\""), ElementsAre("a", "\"b\"", "c\\d e"));
    EXPECT_TRUE(splitCommandLine("   ").empty());
}

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::current_path(sandbox.dir("work"));
    }
    void TearDown() override { std::filesystem::current_path(m_oldCwd); }

    std::string record() const { return sandbox.read("record.txt"); }
    // Waits (bounded) for a detached child to leave its whole line; its last write, so that it does not
    // write into the sandbox while it is being removed.
    std::string awaitRecord() const {
        test::waitUntil(
            [&] {
                const std::string text = record();
                return !text.empty() && text.back() == '\n';
            },
            std::chrono::seconds(5), std::chrono::milliseconds(10));
        return record();
    }

    test::Sandbox sandbox;
    PathMap paths{sandbox.path("root"), sandbox.path("root/windows")};
    std::vector<std::string> logged;
    PosixLauncher launcher{paths, {}, [this](const std::string& line) { logged.push_back(line); }};

private:
    std::filesystem::path m_oldCwd;
};

TEST_F(LauncherTest, MissingProgramFailsAndIsLogged) {
    const Result<> missing = launcher.run("no-such-program-here 1 2");
    EXPECT_EQ(missing.reason(), "program not found");
    EXPECT_EQ(missing.number(), ENOENT);
    EXPECT_FALSE(launcher.start("no-such-program-here", Show::Shown));
    EXPECT_FALSE(launcher.run(""));
    ASSERT_FALSE(logged.empty());
    EXPECT_THAT(logged[0], ::testing::HasSubstr("no-such-program-here"));
}

TEST_F(LauncherTest, RunWaitsAndPassesShellTextLiterally) {
    sandbox.recordingScript("work/qxe", sandbox.path("record.txt"));
    EXPECT_TRUE(launcher.run("qxe.exe qxarun 1 -i4$(touch${IFS}pwned) ;rm \"a b\""));
    EXPECT_EQ(record(), "qxe [qxarun] [1] [-i4$(touch${IFS}pwned)] [;rm] [a b]\n");
    EXPECT_FALSE(sandbox.exists("work/pwned"));
}

TEST_F(LauncherTest, StartLinesAndDirectStartsDoNotWait) {
    sandbox.recordingScript("root/qxt/qxe", sandbox.path("record.txt"));
    EXPECT_TRUE(launcher.run("start /MIN \\qxt\\qxe qxarun 1 -i4%d -s8WatchDogAlarm"));
    EXPECT_EQ(awaitRecord(), "qxe [qxarun] [1] [-i4%d] [-s8WatchDogAlarm]\n");
}

TEST_F(LauncherTest, WorkingDirectoryComesBeforePath) {
    sandbox.recordingScript("work/true", sandbox.path("record.txt"));
    EXPECT_TRUE(launcher.run("true x"));
    EXPECT_EQ(record(), "true [x]\n");
}

TEST_F(LauncherTest, BatchFilesRunThroughShWithRemLinesSkipped) {
    sandbox.file("work/QXMOVE2.BAT",
                 "@echo off\r\nrem qxmove2.bat %1 %2 (comment with parentheses\r\nREM Example: move *.log\r\n"
                 "echo \"$1-$2\" > '" +
                     sandbox.path("record.txt").string() + "'\r\n");
    EXPECT_TRUE(launcher.run("qxmove2.bat 49 50"));
    EXPECT_EQ(record(), "49-50\n");
}

TEST_F(LauncherTest, ChildPastItsLimitIsKilled) {
    sandbox.file("work/hang.bat", "sleep 30\n");
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(launcher.run("hang.bat", std::chrono::seconds(1)));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    ASSERT_FALSE(logged.empty());
    EXPECT_THAT(logged.back(), ::testing::HasSubstr("Killed"));
}

// Children that hang: they ignore SIGTERM, note their process id and sleep far past every bound here.
class HungChildTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        sandbox.file("work/hang.bat",
                     "trap '' TERM\necho $$ > '" + sandbox.path("pid").string() + "'\nexec sleep 300\n");
    }
    pid_t awaitChild() const {
        test::waitUntil([&] { return !sandbox.read("pid").empty(); }, std::chrono::seconds(10),
                        std::chrono::milliseconds(5));
        std::string text = sandbox.read("pid");
        return text.empty() ? 0 : static_cast<pid_t>(std::stol(text));
    }
    // Reaped children have left the process table; a zombie would still answer.
    static bool gone(pid_t pid) { return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH; }

    // Runs hang.bat with `policy` in a thread, requests the stop once the child runs, and gives the
    // launcher's answer. The child would sleep five minutes; the test's time limit catches a wait that
    // does not end.
    bool runAndStop(ChildPolicy policy, std::stop_source& stop, pid_t& child) {
        policy.stop = stop.get_token();
        PosixLauncher stoppable{
            paths, {}, [this](const std::string& line) { logged.push_back(line); }, policy};
        bool result = false;
        std::thread runner([&] { result = stoppable.run("hang.bat").ok(); });
        child = awaitChild();
        stop.request_stop();
        runner.join();
        return result;
    }
};

TEST_F(HungChildTest, StopEndsTheWaitAndTheChild) {
    std::stop_source stop;
    pid_t child = 0;
    EXPECT_TRUE(runAndStop({{}, std::chrono::milliseconds(100), true}, stop, child));
    ASSERT_GT(child, 0);
    EXPECT_TRUE(gone(child));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_THAT(logged[0], ::testing::HasSubstr("because the service stops"));
}

TEST_F(HungChildTest, StopEndsTheWaitWithoutPidfd) {
    std::stop_source stop;
    pid_t child = 0;
    EXPECT_TRUE(runAndStop({{}, std::chrono::milliseconds(100), false}, stop, child));
    EXPECT_TRUE(gone(child));
}

TEST_F(HungChildTest, LimitHoldsWithoutPidfd) {
    PosixLauncher old{paths,
                      {},
                      [this](const std::string& line) { logged.push_back(line); },
                      ChildPolicy{{}, std::chrono::milliseconds(100), false}};
    EXPECT_TRUE(old.run("hang.bat", std::chrono::seconds(1)));
    EXPECT_TRUE(gone(awaitChild()));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_THAT(logged[0], ::testing::HasSubstr("Killed \"hang.bat\" after 1 s"));
}

TEST_F(HungChildTest, NothingIsStartedToWaitForAfterTheStop) {
    std::stop_source stop;
    stop.request_stop();
    PosixLauncher stopped{paths,
                          {},
                          [this](const std::string& line) { logged.push_back(line); },
                          ChildPolicy{stop.get_token()}};
    EXPECT_FALSE(stopped.run("hang.bat"));
    EXPECT_FALSE(sandbox.exists("pid"));
}

std::size_t threadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

TEST_F(LauncherTest, DetachedChildrenShareOneReaper) {
    // Each child waits for the "go" file, so that all of them run at the same time.
    sandbox.file("work/wait.bat", "echo $$ >> '" + sandbox.path("pids").string() + "'\nwhile [ ! -e '" +
                                      sandbox.path("go").string() + "' ]; do sleep 0.01; done\n");
    constexpr int kChildren = 8;
    // The first start brings the reaper (and, under a thread sanitizer, its own helper thread); the
    // later ones add none.
    ASSERT_TRUE(launcher.start("wait.bat", Show::Hidden));
    const std::size_t afterFirst = threadCount();
    for (int i = 1; i < kChildren; ++i)
        ASSERT_TRUE(launcher.start("wait.bat", Show::Hidden));
    EXPECT_EQ(threadCount(), afterFirst);

    std::vector<pid_t> pids;
    test::waitUntil(
        [&] {
            std::istringstream in(sandbox.read("pids"));
            pids.assign(std::istream_iterator<pid_t>(in), std::istream_iterator<pid_t>());
            return pids.size() >= kChildren;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(5));
    ASSERT_EQ(pids.size(), static_cast<std::size_t>(kChildren));
    sandbox.file("go");
    for (pid_t pid : pids) {
        EXPECT_TRUE(test::waitUntil([&] { return ::kill(pid, 0) != 0; }, std::chrono::seconds(10),
                                    std::chrono::milliseconds(5)))
            << "child " << pid << " was not reaped";
    }
}

TEST_F(LauncherTest, MdCreatesTheMappedDirectory) {
    EXPECT_TRUE(launcher.run("md \\qxt\\log.\\log49"));
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.path("root/qxt/log/log49")));
}

TEST_F(LauncherTest, InstallationCommandsAreReplaced) {
    for (const char* name : {"work/myedit", "work/myprint", "work/myreboot"})
        sandbox.recordingScript(name, sandbox.path("record.txt"));
    auto local = [](const char* name) { return std::filesystem::absolute(name).string(); };
    PosixLauncher configured(paths, {"myedit --wait", "myprint -d office", "myreboot"});
    EXPECT_THAT(configured.resolve("notepad \\qxt\\qxmove2.bat"),
                ElementsAre(local("myedit"), "--wait", sandbox.path("root/qxt/qxmove2.bat").string()));
    EXPECT_THAT(configured.resolve("notepad.exe /p \\rep\\a.txt"),
                ElementsAre(local("myprint"), "-d", "office", sandbox.path("root/rep/a.txt").string()));
    EXPECT_THAT(configured.resolve("shutdown /L /R /Y /C"), ElementsAre(local("myreboot")));
    EXPECT_TRUE(configured.start("notepad x.txt", Show::Shown));
    EXPECT_EQ(awaitRecord(), "myedit [--wait] [x.txt]\n");
}

}  // namespace
}  // namespace qx
