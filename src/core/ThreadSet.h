#pragma once

#include <functional>
#include <list>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "Clock.h"

namespace qx {

// The worker threads of the process. Every thread is enrolled in the clock before it starts, gets
// the set's stop token, and is joined when the set is stopped or destroyed. An exception that escapes a
// thread's body is caught and reported, and ends only that thread.
class ThreadSet {
public:
    using Body = std::function<void(std::stop_token)>;
    using Report = std::function<void(const std::string& line)>;

    explicit ThreadSet(Clock& clock, Report report = {});
    ~ThreadSet();
    ThreadSet(const ThreadSet&) = delete;
    ThreadSet& operator=(const ThreadSet&) = delete;

    // Starts `body` in a new thread; `onExit` runs in that thread when the body returns (for example
    // to clear a started mark). Returns false after stop() has been requested.
    bool start(std::string name, Body body, std::function<void()> onExit = {});

    // Asks every thread to stop and waits for all of them.
    void stop();

    std::stop_token token() const { return m_source.get_token(); }
    std::stop_source& source() { return m_source; }
    std::size_t size() const;

private:
    Clock& m_clock;
    Report m_report;
    std::stop_source m_source;
    mutable std::mutex m_mutex;
    std::list<std::thread> m_threads;
};

}  // namespace qx
