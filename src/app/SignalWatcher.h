#pragma once

#include <signal.h>

#include <functional>
#include <stop_token>
#include <thread>

namespace qx {

// SIGTERM and SIGINT of the service are taken by one watcher thread, so that worker threads are never
// interrupted and the stop reaches every thread through its stop token. The thread sleeps without a
// timeout until a signal comes, a later start asks us to show ourselves, or the watcher is destroyed:
// an idle service makes no system calls here.
class SignalWatcher {
public:
    // Blocks SIGTERM and SIGINT in the calling thread; threads started afterwards inherit that, so
    // construct it before any other thread.
    SignalWatcher();
    // Ends the watching thread; the signals stay blocked.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // Starts watching: a signal requests `target`'s stop and ends the watch. While `showFd` is not -1,
    // `onShow` runs in the watcher thread whenever it becomes readable. False when the signal
    // descriptor cannot be made (the signals are then left blocked and unwatched).
    bool watch(std::stop_source target, int showFd = -1, std::function<void()> onShow = {});
    // Ends the watching thread now (the destructor does it otherwise); `onShow` runs no more after it.
    void stopWatching();

private:
    void loop(std::stop_source target, int showFd, const std::function<void()>& onShow);

    sigset_t m_set;
    int m_signalFd = -1;
    int m_quitFd = -1;
    std::thread m_thread;
};

}  // namespace qx
