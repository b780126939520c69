#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "Clock.h"

namespace qx {

// The worker threads of the process. Every thread is enrolled in the clock before it starts, gets
// the set's stop token, and is joined: as soon as possible after it has ended (threads that come and
// go do not pile up), or when the set is stopped or destroyed. An exception that escapes a thread's
// body is caught and reported, and ends only that thread.
class ThreadSet {
public:
    using Body = std::function<void(std::stop_token)>;
    using Report = std::function<void(const std::string& line)>;

    explicit ThreadSet(Clock& clock, Report report = {});
    // Stops and joins every thread. Destroyed from one of its own threads, it joins all others; that
    // thread's remaining steps then touch nothing of the set.
    ~ThreadSet();
    ThreadSet(const ThreadSet&) = delete;
    ThreadSet& operator=(const ThreadSet&) = delete;

    // Starts `body` in a new thread; `onExit` runs in that thread when the body returns (for example
    // to clear a started mark). Returns false after stop() has been requested.
    bool start(std::string name, Body body, std::function<void()> onExit = {});

    // Asks every thread to stop and waits for all of them. Called from one of the set's own threads,
    // it waits for all the others; the calling thread is joined by the owner's stop() or destructor.
    void stop();

    std::stop_token token() const { return m_source.get_token(); }
    std::stop_source& source() { return m_source; }

    // The threads that have not been joined yet: those running, and those that ended a moment ago.
    std::size_t size() const;

private:
    // What a thread still touches after its body has returned; it outlives the set.
    struct Finished {
        std::mutex mutex;
        std::vector<std::thread::id> ids;
    };
    void joinFinished() const;  // m_mutex held

    Clock& m_clock;
    std::shared_ptr<const Report> m_report;
    std::stop_source m_source;
    mutable std::mutex m_mutex;
    mutable std::list<std::thread> m_threads;
    std::shared_ptr<Finished> m_finished = std::make_shared<Finished>();
};

}  // namespace qx
