#include "SignalWatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Sandbox.h"
#include "SingleInstance.h"

namespace qx {
namespace {

using namespace std::chrono_literals;

bool stopsWithin(const std::stop_source& source, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!source.stop_requested() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(5ms);
    return source.stop_requested();
}

class SignalWatcherTest : public ::testing::TestWithParam<SignalWatcher::Stop> {};

// Every way the system stops the service reaches the threads' stop source; one that waits for the
// service's end (a closed console window) returns once the watcher is gone.
TEST_P(SignalWatcherTest, StopReachesTheThreads) {
    std::stop_source source;
    std::thread sender;
    {
        SignalWatcher watcher;
        ASSERT_TRUE(watcher.watch(source));
        sender = std::thread([stop = GetParam()] { SignalWatcher::deliver(stop); });
        EXPECT_TRUE(stopsWithin(source, 5s));
    }
    sender.join();
}

// A stop that comes while the service is still starting is kept for the watch.
TEST_P(SignalWatcherTest, StopBeforeTheWatchIsKept) {
    std::stop_source source;
    std::thread sender;
    {
        SignalWatcher watcher;
        sender = std::thread([stop = GetParam()] { SignalWatcher::deliver(stop); });
        std::this_thread::sleep_for(50ms);
        EXPECT_FALSE(source.stop_requested());
        ASSERT_TRUE(watcher.watch(source));
        EXPECT_TRUE(stopsWithin(source, 5s));
    }
    sender.join();
}

INSTANTIATE_TEST_SUITE_P(Stops, SignalWatcherTest,
                         ::testing::Values(SignalWatcher::Stop::Terminate, SignalWatcher::Stop::Interrupt,
                                           SignalWatcher::Stop::Shutdown),
                         [](const auto& test) {
                             switch (test.param) {
                                 case SignalWatcher::Stop::Terminate:
                                     return "Terminate";
                                 case SignalWatcher::Stop::Interrupt:
                                     return "Interrupt";
                                 case SignalWatcher::Stop::Shutdown:
                                     return "Shutdown";
                             }
                             return "Unknown";
                         });

TEST(SignalWatcherShowTest, LaterStartsAreAnsweredUntilTheWatchEnds) {
    test::Sandbox sandbox;
    SingleInstance first("/inst/show", sandbox.root());
    ASSERT_EQ(first.acquire(), SingleInstance::Result::First);
    std::mutex mutex;
    std::condition_variable changed;
    int shown = 0;
    std::stop_source source;
    SignalWatcher watcher;
    ASSERT_TRUE(watcher.watch(source, &first, [&] {
        std::lock_guard lock(mutex);
        ++shown;
        changed.notify_all();
    }));
    for (int start = 1; start <= 2; ++start) {
        SingleInstance later("/inst/show", sandbox.root());
        EXPECT_EQ(later.acquire(), SingleInstance::Result::AnotherRuns);
        std::unique_lock lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, 5s, [&] { return shown == start; })) << "start " << start;
    }
    watcher.stopWatching();
    SingleInstance unanswered("/inst/show", sandbox.root());
    EXPECT_EQ(unanswered.acquire(), SingleInstance::Result::AnotherRuns);
    std::this_thread::sleep_for(50ms);
    std::lock_guard lock(mutex);
    EXPECT_EQ(shown, 2);
    EXPECT_FALSE(source.stop_requested());
}

}  // namespace
}  // namespace qx
