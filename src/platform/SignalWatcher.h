#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

namespace qx {

class SingleInstance;

// The stop of the service from outside, taken by one watcher thread so that worker threads are never
// interrupted and the stop reaches every thread through its stop token: on Linux SIGTERM and SIGINT;
// on Windows the console's Ctrl+C and Ctrl+Break, the closing of its window, the shutdown of the
// system and, in an interactive session, the user's log-off. The thread sleeps without a timeout until
// a stop comes, a later start asks us to show ourselves, or the watcher is destroyed: an idle service
// makes no system calls here.
class SignalWatcher {
public:
    // Takes the stop from here on: blocks SIGTERM and SIGINT in the calling thread, and threads started
    // afterwards inherit that, so construct it before any other thread (on Windows installs the console
    // handler). A stop that comes before watch() is kept for it.
    SignalWatcher();
    // Ends the watching thread. The signals stay blocked; on Windows a close, log-off or shutdown
    // that waits for the service's end (the system ends the process when the handler returns) is let go.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // Starts watching: a stop requests `target`'s stop and ends the watch. While `shows` is given,
    // `onShow` runs in the watcher thread for the show requests of later starts (taken from `shows`,
    // which must outlive the watch). False when the watch cannot be set up (the stop is then left
    // unwatched).
    bool watch(std::stop_source target, SingleInstance* shows = nullptr, std::function<void()> onShow = {});
    // Ends the watching thread now (the destructor does it otherwise); `onShow` runs no more after it.
    void stopWatching();

    // What the system sends to stop the service, for tests: Terminate is SIGTERM (Windows: the console
    // window's close), Interrupt SIGINT (Ctrl+C), Shutdown the system's shutdown (SIGTERM on Linux).
    enum class Stop { Terminate, Interrupt, Shutdown };
    // Delivers `stop` to this process as the system would. On Windows a close or shutdown waits, as the
    // system's handler does, until the watcher is destroyed or a few seconds have passed.
    static void deliver(Stop stop);

private:
    struct State;
    void loop(std::stop_source target, SingleInstance* shows, const std::function<void()>& onShow);

    std::unique_ptr<State> m_state;
    std::thread m_thread;
};

}  // namespace qx
