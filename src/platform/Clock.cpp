#include "Clock.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace qx {

SysTime fromUnixTime(std::int64_t seconds, std::int64_t nanoseconds) {
    using Ticks = SysTime::duration;
    constexpr std::int64_t perSecond = std::chrono::duration_cast<Ticks>(std::chrono::seconds(1)).count();
    constexpr std::int64_t maxSeconds = Ticks::max().count() / perSecond;
    constexpr std::int64_t minSeconds = Ticks::min().count() / perSecond;
    if (seconds >= maxSeconds)
        return SysTime::max();
    if (seconds <= minSeconds)
        return SysTime::min();
    return SysTime(std::chrono::duration_cast<Ticks>(std::chrono::seconds(seconds) +
                                                     std::chrono::nanoseconds(nanoseconds)));
}

std::vector<int> skippedLocalHours(SysTime now) {
    const LocalTime local = toLocal(now);
    const LocalTime hourBefore = toLocal(now - std::chrono::hours(1));
    // The hours of today between the local hour an hour ago and this one: none but in a gap.
    const int first = hourBefore.day == local.day ? hourBefore.hour + 1 : 0;
    std::vector<int> hours;
    for (int hour = first; hour < local.hour; ++hour)
        hours.push_back(hour);
    return hours;
}

std::optional<SysTime> parseLocalTime(std::string_view text) {
    std::string s(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int consumed = 0;
    int fields = std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed);
    if (fields != 3)
        return std::nullopt;
    std::string_view rest = std::string_view(s).substr(static_cast<std::size_t>(consumed));
    if (!rest.empty()) {
        int timeConsumed = 0;
        std::string restText(rest);
        int timeFields = std::sscanf(restText.c_str(), " %2d:%2d%n:%2d%n", &hour, &minute, &timeConsumed,
                                     &second, &timeConsumed);
        if (timeFields < 2 || static_cast<std::size_t>(timeConsumed) != restText.size())
            return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59 ||
        hour < 0 || minute < 0 || second < 0 || year < 1970)
        return std::nullopt;
    SysTime time = fromLocal(year, month, day, hour, minute, second);
    // 31 February and the like; a date past the clock's range is held at its end.
    if (time != SysTime::max() && toLocal(time).day != day)
        return std::nullopt;
    return time;
}

SysTime nextMinute(SysTime time) {
    return std::chrono::floor<std::chrono::minutes>(time) + std::chrono::minutes(1);
}

SysTime nextFullHour(SysTime time) {
    const LocalTime t = toLocal(time);
    SysTime boundary = fromLocal(t.year, t.month, t.day, t.hour) + std::chrono::hours(1);
    while (boundary <= time)
        boundary += std::chrono::hours(1);
    return boundary;
}

std::string formatLocalTime(SysTime time) {
    LocalTime t = toLocal(time);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buffer;
}

SysTime later(SysTime time, std::chrono::milliseconds duration) {
    const auto length = std::chrono::duration_cast<SysTime::duration>(
        std::clamp<std::chrono::milliseconds>(duration, std::chrono::milliseconds(0), Clock::kLongestSleep));
    if (time > SysTime::max() - length)
        return SysTime::max();
    return time + length;
}

bool Clock::sleepUntilDue(SysTime nextPass, SysTime due, std::stop_token stop) {
    if (skipsIdlePasses() && due > nextPass)
        return sleepUntil(std::min(due, later(now(), kLongestSleep)), std::move(stop));
    return sleepUntil(nextPass, std::move(stop));
}

SystemClock::SystemClock(std::function<SysTime()> wall, std::chrono::milliseconds wallCheck)
    : m_wall(std::move(wall)), m_wallCheck(std::max(wallCheck, std::chrono::milliseconds(1))) {}

bool SystemClock::sleepUntil(SysTime deadline, std::stop_token stop) {
    using Monotonic = std::chrono::steady_clock;
    const SysTime start = now();
    if (deadline <= start)
        return !stop.stop_requested();
    // What is left by the wall clock now is all this sleep may last by the monotonic clock.
    const auto left = std::min<SysTime::duration>(deadline - start, Clock::kLongestSleep);
    const Monotonic::time_point end =
        Monotonic::now() + std::chrono::duration_cast<Monotonic::duration>(left);
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    for (;;) {
        const Monotonic::time_point slice = std::min(end, Monotonic::now() + m_wallCheck);
        cv.wait_until(lock, stop, slice, [] { return false; });
        if (stop.stop_requested())
            return false;
        if (Monotonic::now() >= end || now() >= deadline)
            return true;
    }
}

SysTime VirtualClock::now() const {
    std::lock_guard lock(m_mutex);
    return m_now;
}

void VirtualClock::enroll() {
    std::lock_guard lock(m_mutex);
    ++m_members;
}

void VirtualClock::leave() {
    std::lock_guard lock(m_mutex);
    --m_members;
    advanceIfAllAsleep();
}

void VirtualClock::advanceTo(SysTime time) {
    std::lock_guard lock(m_mutex);
    if (time > m_now)
        m_now = time;
    wakeDue();
}

void VirtualClock::wakeDue() {
    while (!m_sleepers.empty() && m_sleepers.begin()->first <= m_now) {
        Sleeper* sleeper = m_sleepers.begin()->second;
        sleeper->woken = true;
        m_sleepers.erase(m_sleepers.begin());
        sleeper->wake.notify_one();  // under the mutex: the sleeper cannot have gone yet
    }
    // The others sleep on: each waits only for its own wake-up, so waking it would cost a switch and
    // nothing else.
}

void VirtualClock::advanceIfAllAsleep() {
    if (m_sleepers.empty() || static_cast<int>(m_sleepers.size()) < m_members)
        return;
    // Sleepers that were woken are no longer in the map, so a member that has not run yet after its
    // wake-up keeps the clock where it is.
    if (m_sleepers.begin()->first > m_now)
        m_now = m_sleepers.begin()->first;
    wakeDue();
}

bool VirtualClock::sleepUntil(SysTime deadline, std::stop_token stop) {
    std::unique_lock lock(m_mutex);
    if (stop.stop_requested())
        return false;
    if (deadline <= m_now)
        return true;
    Sleeper self{deadline, false, {}};
    auto entry = m_sleepers.emplace(deadline, &self);
    advanceIfAllAsleep();
    self.wake.wait(lock, stop, [&] { return self.woken; });
    if (!self.woken) {
        m_sleepers.erase(entry);
        advanceIfAllAsleep();
        return false;
    }
    return true;
}

}  // namespace qx
