#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <utility>

#include "RunBinary.h"
#include "Sandbox.h"
#include "WaitUntil.h"

using ::testing::HasSubstr;

namespace qx {
namespace {

// The service with its window, drawn offscreen: it starts, shows every dialog in the chosen language
// and ends by itself after taking their pictures.
class WindowTest : public ::testing::Test {
protected:
    test::BinaryResult qxmover(std::vector<std::string> args) {
        std::vector<std::string> all{"--root", sandbox.path("root").string(), "--workdir",
                                     sandbox.dir("work").string()};
        all.insert(all.end(), args.begin(), args.end());
        // Qt takes a runtime directory only when it is private, else it makes one in the temporary directory.
        std::filesystem::permissions(sandbox.dir("run"), std::filesystem::perms::owner_all);
        return test::runBinary(QX_BINARY, all,
                               {"TZ=Europe/Berlin", "QT_QPA_PLATFORM=offscreen",
                                "XDG_RUNTIME_DIR=" + sandbox.dir("run").string()});
    }
    test::Sandbox sandbox;
};

TEST_F(WindowTest, EveryDialogIsDrawnInGerman) {
#ifdef QX_WITHOUT_WINDOW_TESTS
    GTEST_SKIP() << "Qt is not instrumented for this sanitizer";
#endif
    sandbox.dir("work/log");
    sandbox.file("root/windows/qxmover.ini", "[Config]\r\nDefaultLanguage=DT\r\n");
    auto result = qxmover({"--screenshots", sandbox.path("pictures").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* name :
         {"main", "about", "watchdog-box", "job-watcher", "select-drives", "timed-tasks", "task-editor",
          "extra-deletion", "extended-monitor", "conference", "test-delete"})
        EXPECT_TRUE(sandbox.exists(std::string("pictures/") + name + ".png")) << name;
    // The language file came with the program; the missing alarm table is reported without a box.
    EXPECT_THAT(result.err, ::testing::Not(HasSubstr("qxmovedt.lng")));
    EXPECT_THAT(result.err, HasSubstr("Die Datenbank"));
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(sandbox.path("work/log")))
        if (entry.path().filename().string().rfind("qxmover_", 0) == 0)
            log += test::readFile(entry.path());
    EXPECT_THAT(log, HasSubstr("Mover started"));
}

TEST_F(WindowTest, WithoutTheWindowProgramTheServiceRunsHeadlessWithoutQt) {
    sandbox.dir("work/log");
    sandbox.file("root/windows/qxmover.ini", "[Config]\r\n");
    std::filesystem::path alone = sandbox.dir("bin") / "qxmover";
    std::filesystem::copy_file(QX_BINARY, alone);
    std::filesystem::permissions(sandbox.dir("run"), std::filesystem::perms::owner_all);
    const std::vector<std::string> args{"--root", sandbox.path("root").string(), "--workdir",
                                        sandbox.path("work").string()};
    // Pictures need the window: a script that asks for them never gets a service on the real clock.
    auto pictures = test::runBinary(
        alone, {args[0], args[1], args[2], args[3], "--screenshots", sandbox.path("pictures").string()},
        {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + sandbox.path("run").string()},
        std::chrono::seconds(10));
    EXPECT_EQ(pictures.exitCode, 1);
    EXPECT_THAT(pictures.err, HasSubstr("--screenshots needs the window program qxmover-window"));
    int pid = test::spawnBinary(
        alone, args, sandbox.path("out"),
        {"TZ=Europe/Berlin", "QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + sandbox.path("run").string()});
    std::string err;
    test::waitUntil(
        [&] {
            err = sandbox.exists("out.err") ? sandbox.read("out.err") : "";
            return err.find("qxmover: root") != std::string::npos;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(10));
    std::string maps = test::readFile("/proc/" + std::to_string(pid) + "/maps");
    ::kill(pid, SIGTERM);
    EXPECT_EQ(test::waitChild(pid, std::chrono::seconds(10)), 0);
    EXPECT_THAT(err, HasSubstr("qxmover-window is not installed; running without a window"));
    EXPECT_THAT(err, HasSubstr("qxmover: root"));  // the headless start-up line
    EXPECT_THAT(maps, ::testing::Not(HasSubstr("libQt6")));
    EXPECT_FALSE(sandbox.exists("pictures"));
}

// The windowed service as a session sees it: a second start shows its dialog, and SIGTERM (a log-out,
// a shutdown, systemd's stop) ends it with exit code 0 within the headless service's three seconds.
TEST_F(WindowTest, SecondStartShowsTheDialogAndSigtermEndsTheWindowedService) {
#ifdef QX_WITHOUT_WINDOW_TESTS
    GTEST_SKIP() << "Qt is not instrumented for this sanitizer";
#endif
    sandbox.dir("work/log");
    sandbox.file("root/windows/qxmover.ini", "[Config]\r\n");
    std::filesystem::permissions(sandbox.dir("run"), std::filesystem::perms::owner_all);
    const std::vector<std::string> args{"--root", sandbox.path("root").string(), "--workdir",
                                        sandbox.path("work").string()};
    const std::vector<std::string> env{"TZ=Europe/Berlin", "QT_QPA_PLATFORM=offscreen",
                                       "XDG_RUNTIME_DIR=" + sandbox.path("run").string()};
    int pid = test::spawnBinary(QX_BINARY, args, sandbox.path("out"), env);
    // A failed assertion leaves no service behind.
    struct Reap {
        int pid;
        ~Reap() {
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                test::waitChild(pid, std::chrono::seconds(10));
            }
        }
    } reap{pid};
    auto log = [&] {
        std::string text;
        for (const auto& entry : std::filesystem::directory_iterator(sandbox.path("work/log")))
            if (entry.path().filename().string().rfind("qxmover_", 0) == 0)
                text += test::readFile(entry.path());
        return text;
    };
    auto waitFor = [&](const std::function<bool()>& done) {
        return test::waitUntil(done, std::chrono::seconds(10), std::chrono::milliseconds(10));
    };
    ASSERT_TRUE(waitFor([&] { return log().find("Mover started") != std::string::npos; }));

    auto second = test::runBinary(QX_BINARY, args, env);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_THAT(second.err, HasSubstr("another instance is running"));
    EXPECT_TRUE(waitFor([&] { return log().find("Show mover") != std::string::npos; })) << log();

    auto stopped = std::chrono::steady_clock::now();
    ::kill(pid, SIGTERM);
    EXPECT_EQ(test::waitChild(std::exchange(reap.pid, 0), std::chrono::seconds(10)), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(3));
}

// Under a real window manager and tray (Xvfb, openbox, trayer; skipped where they are not installed):
// 20 double clicks on the tray icon and 20 second starts after a Save by Return each show the dialog,
// and SIGTERM ends the service at once (tray-cycles.sh).
TEST_F(WindowTest, TrayAndSecondStartShowTheDialogEveryTimeUnderAWindowManager) {
#ifdef QX_WITHOUT_WINDOW_TESTS
    GTEST_SKIP() << "Qt is not instrumented for this sanitizer";
#endif
    const std::filesystem::path source(QX_SOURCE_DIR);
    const std::filesystem::path demo = sandbox.path("demo");
    auto made = test::runBinary("/bin/bash", {(source / "demo/make-demo.sh").string(), demo.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    std::filesystem::permissions(sandbox.dir("run"), std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    auto result =
        test::runBinary("/bin/bash",
                        {(source / "tests/e2e/tray-cycles.sh").string(), QX_BINARY, (demo / "root").string(),
                         (demo / "work").string()},
                        {"TZ=Europe/Berlin", "XDG_RUNTIME_DIR=" + sandbox.path("run").string(),
                         "PATH=" + (demo / "work/bin").string() + ":" + (path ? path : "/usr/bin:/bin")},
                        std::chrono::seconds(240));
    if (result.exitCode == 77)
        GTEST_SKIP() << result.out;
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_THAT(result.out, HasSubstr("misses: 0 of 40"));
}

}  // namespace
}  // namespace qx
