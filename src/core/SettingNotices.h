#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace qx {

// The bad setting values that have been told already, so that a value read at every pass is told in
// the activity log once, when it is first seen, and again only when it changes. Shared by every thread
// (SharedState holds the service's one).
class SettingNotices {
public:
    // More different bad values than this are not remembered: the memory starts afresh, so a value
    // may then be told a second time, but it never grows without bound.
    static constexpr std::size_t kRemembered = 4096;

    // True the first time `what` (file, section, key and value) is offered; false afterwards.
    bool firstTime(std::string_view what) {
        std::lock_guard lock(m_mutex);
        if (m_told.size() >= kRemembered && !m_told.count(std::string(what)))
            m_told.clear();
        return m_told.insert(std::string(what)).second;
    }

private:
    std::mutex m_mutex;
    std::set<std::string, std::less<>> m_told;
};

}  // namespace qx
