#include <gtest/gtest.h>

#include <thread>

#include "Launcher.h"
#include "Sandbox.h"
#include "WaitUntil.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {
namespace {

class LauncherWin32Test : public ::testing::Test {
protected:
    test::Sandbox sandbox;
    std::vector<std::string> log;
    std::string root = narrow(sandbox.root().wstring()).value();

    Win32Launcher launcher(ChildPolicy policy = {}) {
        return Win32Launcher(
            PathMap({}, {}, {}, sandbox.root()), {}, [this](const std::string& line) { log.push_back(line); },
            std::move(policy));
    }

    // A batch program that appends its arguments, as the shell hands them over, to record.txt.
    std::string recordingBatch() {
        sandbox.file("x.bat", "@echo off\r\necho [%*]>>\"" + root + "\\record.txt\"\r\n");
        return root + "\\x.bat";
    }
};

// Values from profile settings that try to make the shell run something else: each reaches the batch
// program as text, or the start is refused; nothing else runs and no other file appears.
TEST_F(LauncherWin32Test, ArgumentsOfABatchProgramNeverRunOtherCommands) {
    const std::string batch = recordingBatch();
    const std::string pwned = root + "\\pwned.txt";
    struct Case {
        std::string arguments;
        std::string recorded;  // empty: the start is refused
    };
    const std::vector<Case> cases{
        {"plain 12 03", "[plain 12 03]"},
        {"a&calc", "[\"a&calc\"]"},
        {"\"&echo pwned>" + pwned + "\"", "[\"&echo pwned>" + pwned + "\"]"},
        {"a|echo>" + pwned, "[\"a|echo>" + pwned + "\"]"},
        {"a^&echo>" + pwned, "[\"a^&echo>" + pwned + "\"]"},
        {"(x)<" + pwned, "[\"(x)<" + pwned + "\"]"},
        {"%PATH%", ""},
        {"a%%b", ""},
        {"\\\"&echo pwned>" + pwned, ""},
    };
    Win32Launcher start = launcher();
    std::string expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        log.clear();
        EXPECT_EQ(start.run(batch + " " + c.arguments).ok(), !c.recorded.empty());
        if (c.recorded.empty()) {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_NE(log[0].find("command shell would interpret"), std::string::npos) << log[0];
        } else {
            expected += c.recorded + "\r\n";
        }
        EXPECT_EQ(sandbox.read("record.txt"), expected);
        EXPECT_FALSE(fs::exists(pwned));
    }
    EXPECT_EQ(test::namesIn(sandbox.root()), (std::vector<std::string>{"record.txt", "x.bat"}));
}

TEST_F(LauncherWin32Test, ProgramsAreFoundAsTheShellFindsThemAndMdMakesDirectories) {
    const std::string batch = recordingBatch();
    Win32Launcher start = launcher();
    // Found in the working directory without its extension, and through a "start" detached.
    EXPECT_TRUE(start.run("x 1"));
    EXPECT_EQ(sandbox.read("record.txt"), "[1]\r\n");
    EXPECT_EQ(start.run("missing.exe 1").reason(), "program not found");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Cannot start \"missing.exe 1\": program not found");

    EXPECT_TRUE(start.run("md " + root + "\\log07.\\sub"));
    EXPECT_TRUE(fs::is_directory(sandbox.path("log07/sub")));

    // The file to edit or print is handed over as this installation maps it, not as it is spelled.
    const auto print = start.wouldRun("notepad.exe /p report.prt");
    ASSERT_TRUE(print);
    EXPECT_EQ(print->arguments, (std::vector<std::string>{"/p", root + "\\report.prt"}));

    // Arguments of a program that is not a batch are quoted for its own parser, not for the shell.
    auto process = start.prepare("cmd.exe \"a b\" c\\\"d");
    ASSERT_TRUE(process);
    EXPECT_NE(process->commandLine.find(L" \"a b\" \"c\\\"d\""), std::wstring::npos)
        << process->commandLine.size();
}

TEST_F(LauncherWin32Test, AStopEndsAWaitedForProgramAtOnce) {
    const std::string flag = root + "\\started.txt";
    sandbox.file("loop.bat", "@echo off\r\necho started>\"" + flag + "\"\r\n:again\r\ngoto again\r\n");
    std::stop_source stop;
    ChildPolicy policy{stop.get_token(), std::chrono::milliseconds(100)};
    Win32Launcher start = launcher(policy);
    bool started = false;
    std::thread runner([&] { started = start.run(root + "\\loop.bat").ok(); });
    // Waits for the program's own sign of life, not for a time.
    test::waitUntil([&] { return fs::exists(sandbox.path("started.txt")); }, std::chrono::seconds(60),
                    std::chrono::microseconds(0));
    stop.request_stop();
    runner.join();
    EXPECT_TRUE(started);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Ended \"" + root + "\\loop.bat\" because the service stops");
    // Nothing holds the batch file open any more: the shell that ran it has ended.
    std::error_code ec;
    EXPECT_TRUE(fs::remove(sandbox.path("loop.bat"), ec)) << ec.message();
}

}  // namespace
}  // namespace qx
