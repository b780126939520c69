#include "ThreadSet.h"

#include <exception>

namespace qx {

ThreadSet::ThreadSet(Clock& clock, Report report) : m_clock(clock), m_report(std::move(report)) {}

ThreadSet::~ThreadSet() {
    stop();
}

bool ThreadSet::start(std::string name, Body body, std::function<void()> onExit) {
    std::lock_guard lock(m_mutex);
    if (m_source.stop_requested())
        return false;
    ClockMember member(m_clock);
    m_threads.emplace_back([this, name = std::move(name), body = std::move(body), onExit = std::move(onExit),
                            member = std::move(member), token = m_source.get_token()]() mutable {
        try {
            body(token);
        } catch (const std::exception& e) {
            if (m_report)
                m_report("Thread " + name + " ended: " + e.what());
        } catch (...) {
            if (m_report)
                m_report("Thread " + name + " ended");
        }
        if (onExit)
            onExit();
        // Leaving the clock last: a thread that has ended must no longer hold the virtual time.
        ClockMember gone = std::move(member);
    });
    return true;
}

void ThreadSet::stop() {
    m_source.request_stop();
    for (;;) {
        std::thread thread;
        {
            std::lock_guard lock(m_mutex);
            if (m_threads.empty())
                return;
            thread = std::move(m_threads.front());
            m_threads.pop_front();
        }
        if (thread.joinable() && thread.get_id() != std::this_thread::get_id())
            thread.join();
        else if (thread.joinable())
            thread.detach();
    }
}

std::size_t ThreadSet::size() const {
    std::lock_guard lock(m_mutex);
    return m_threads.size();
}

}  // namespace qx
