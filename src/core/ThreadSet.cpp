#include "ThreadSet.h"

#include <algorithm>
#include <exception>

namespace qx {

ThreadSet::ThreadSet(Clock& clock, Report report)
    : m_clock(clock), m_report(std::make_shared<const Report>(std::move(report))) {}

ThreadSet::~ThreadSet() {
    stop();
    // Left only when stop() ran in one of the set's own threads: that thread cannot join itself.
    std::lock_guard lock(m_mutex);
    for (auto& thread : m_threads)
        if (thread.joinable())
            thread.detach();
}

bool ThreadSet::start(std::string name, Body body, std::function<void()> onExit) {
    std::lock_guard lock(m_mutex);
    joinFinished();
    if (m_source.stop_requested())
        return false;
    ClockMember member(m_clock);
    // The thread holds its own references to what it needs after the body: the set may be gone by
    // then when the thread stopped it itself.
    m_threads.emplace_back([report = m_report, finished = m_finished, name = std::move(name),
                            body = std::move(body), onExit = std::move(onExit), member = std::move(member),
                            token = m_source.get_token()]() mutable {
        try {
            body(token);
        } catch (const std::exception& e) {
            if (*report)
                (*report)("Thread " + name + " ended: " + e.what());
        } catch (...) {
            if (*report)
                (*report)("Thread " + name + " ended");
        }
        if (onExit)
            onExit();
        {
            std::lock_guard done(finished->mutex);
            finished->ids.push_back(std::this_thread::get_id());
        }
        // Leaving the clock last: a thread that has ended must no longer hold the virtual time.
        ClockMember gone = std::move(member);
    });
    return true;
}

void ThreadSet::joinFinished() const {
    std::vector<std::thread::id> ids;
    {
        std::lock_guard done(m_finished->mutex);
        ids.swap(m_finished->ids);
    }
    for (auto id : ids) {
        auto it = std::find_if(m_threads.begin(), m_threads.end(),
                               [id](const std::thread& t) { return t.get_id() == id; });
        if (it == m_threads.end())
            continue;
        it->join();  // the thread is past its last step that needs the set; this returns at once
        m_threads.erase(it);
    }
}

void ThreadSet::stop() {
    m_source.request_stop();
    const auto self = std::this_thread::get_id();
    for (;;) {
        std::thread thread;
        {
            std::lock_guard lock(m_mutex);
            auto it = std::find_if(m_threads.begin(), m_threads.end(),
                                   [self](const std::thread& t) { return t.get_id() != self; });
            if (it == m_threads.end())
                return;
            thread = std::move(*it);
            m_threads.erase(it);
        }
        const auto id = thread.get_id();
        thread.join();
        // Its number may be given to a new thread now; it must not be joined a second time.
        std::lock_guard done(m_finished->mutex);
        std::erase(m_finished->ids, id);
    }
}

std::size_t ThreadSet::size() const {
    std::lock_guard lock(m_mutex);
    joinFinished();
    return m_threads.size();
}

}  // namespace qx
