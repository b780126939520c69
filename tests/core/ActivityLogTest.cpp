#include "ActivityLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "AliveLogThread.h"
#include "Sandbox.h"

namespace qx {
namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::useCentralEuropeanTime();
        sandbox.dir("log");
    }
    test::Sandbox sandbox;
    SharedState state;
    VirtualClock clock{fromLocal(2026, 12, 7, 8, 5)};
};

TEST_F(LogTest, WritesTheLineToTheFileOfTheWeek) {
    ActivityLog log(clock, state, sandbox.path("log"));
    log.write("Mover started");
    EXPECT_EQ(sandbox.read("log/qxmover_50.log"), "07.12, 08:05,  Mover started\n");
    clock.advanceTo(fromLocal(2027, 1, 2, 23, 59));
    log.write("late");
    EXPECT_EQ(sandbox.read("log/qxmover_00.log"), "02.01, 23:59,  late\n");
}

TEST_F(LogTest, NoteObeysWriteLogFile) {
    ActivityLog log(clock, state, sandbox.path("log"));
    state.writeLogFile = false;
    log.note("silent");
    log.write("always");
    state.writeLogFile = true;
    log.note("heard");
    EXPECT_EQ(sandbox.read("log/qxmover_50.log"), "07.12, 08:05,  always\n07.12, 08:05,  heard\n");
}

TEST_F(LogTest, MissingDirectoryLosesTheLineQuietly) {
    ActivityLog log(clock, state, sandbox.path("nolog"));
    log.write("lost");
    EXPECT_FALSE(sandbox.exists("nolog"));
}

TEST_F(LogTest, ConcurrentWritersKeepLinesWhole) {
    ActivityLog log(clock, state, sandbox.path("log"));
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                log.write("thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    for (auto& w : writers)
        w.join();
    std::string text = sandbox.read("log/qxmover_50.log");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 800);
    std::size_t pos = 0;
    while ((pos = text.find('\n', pos)) != std::string::npos && pos + 1 < text.size()) {
        EXPECT_EQ(text.substr(pos + 1, 15), "07.12, 08:05,  ");
        ++pos;
    }
}

TEST_F(LogTest, AliveLogCountsTenMinutePeriods) {
    AliveLogThread alive(clock, sandbox.path("log/qxlive.log"));
    std::stop_source stop;
    {
        ClockMember main(clock);
        std::thread worker([&, member = ClockMember(clock)]() mutable { alive.run(stop.get_token()); });
        clock.sleepFor(std::chrono::minutes(25), stop.get_token());
        stop.request_stop();
        worker.join();
    }
    EXPECT_EQ(sandbox.read("log/qxlive.log"), "07.12, 08:05,  1\n07.12, 08:15,  2\n07.12, 08:25,  3\n");
}

TEST_F(LogTest, AliveCounterCountsLostLinesToo) {
    AliveLogThread alive(clock, sandbox.path("missing/qxlive.log"));
    alive.pass(clock.now());
    alive.pass(clock.now());
    EXPECT_EQ(alive.counter(), 3);
}

}  // namespace
}  // namespace qx
