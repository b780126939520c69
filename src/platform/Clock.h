#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A stop reaches a sleeping thread through std::stop_callback, whose destructor may wait for the
// callback on a semaphore. libstdc++ before 13 can lose that wake-up where it has no futex (Windows);
// the build there takes the thread library's semaphores (see CMakeLists.txt).
#if defined(_WIN32) && defined(__GLIBCXX__) && defined(__GNUC__) && __GNUC__ < 13 && \
    !_GLIBCXX_USE_POSIX_SEMAPHORE
#error "build with _GLIBCXX_USE_POSIX_SEMAPHORE=1: std::stop_callback can hang otherwise"
#endif

namespace qx {

using SysTime = std::chrono::system_clock::time_point;

// A broken-down local time in the process time zone (TZ; on Windows the system's time zone).
struct LocalTime {
    int year = 1970;
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;   // 0..59
    int second = 0;   // 0..60
    int weekday = 4;  // 0 = Sunday .. 6 = Saturday
    int yearDay = 1;  // 1 = 1 January

    // Monday = 1 .. Sunday = 7.
    int isoWeekday() const { return weekday == 0 ? 7 : weekday; }
};

LocalTime toLocal(SysTime time);

// The instant `seconds` + `nanoseconds` after 1970-01-01 UTC (a file time, a time_t), clamped to the
// range the clock can hold (about 1678 to 2262): a file dated 2300 is later than every other time,
// never wrapped round into the past. The one conversion of file and calendar times.
SysTime fromUnixTime(std::int64_t seconds, std::int64_t nanoseconds = 0);

// The instant of a local date and time; daylight saving time is decided by the time zone.
SysTime fromLocal(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The local hours of today that daylight saving time skipped within the hour before `now`: {2} from
// 03:00 to 03:59 on the morning the clocks go forward in Berlin, {0} in the hour after midnight where
// the change comes at midnight; empty at every other time. Hour-based work of those hours runs then.
std::vector<int> skippedLocalHours(SysTime now);

// Parses "YYYY-MM-DD HH:MM[:SS]" (or "YYYY-MM-DD"); nullopt when malformed or out of range.
std::optional<SysTime> parseLocalTime(std::string_view text);

// The start of the minute after `time`.
SysTime nextMinute(SysTime time);

// The start of the local hour after `time`, through the local calendar, so that a daylight saving
// change still lands on a full hour.
SysTime nextFullHour(SysTime time);

// "YYYY-MM-DD HH:MM:SS" of the local time.
std::string formatLocalTime(SysTime time);

// `time` + `duration` with `duration` held to 0..Clock::kLongestSleep and the sum to the clock's range:
// the one place where a length taken from a setting meets a time.
SysTime later(SysTime time, std::chrono::milliseconds duration);

// Every thread takes the time and sleeps through a Clock, so that a virtual clock can run days of
// work in seconds. A thread that sleeps on a virtual clock must be enrolled (see ClockMember).
class Clock {
public:
    virtual ~Clock() = default;

    virtual SysTime now() const = 0;
    LocalTime localNow() const { return toLocal(now()); }

    // No sleep lasts longer than this: a service wakes at least once a year, whatever a setting asks.
    static constexpr std::chrono::hours kLongestSleep{24 * 366};

    // Sleeps until `deadline` or until a stop is requested. Returns false when stopped.
    virtual bool sleepUntil(SysTime deadline, std::stop_token stop) = 0;

    // Sleeps `duration`, held to 0..kLongestSleep, so that no interval read from a setting can overflow
    // the deadline (which would end the sleep at once and make its thread spin).
    bool sleepFor(std::chrono::milliseconds duration, std::stop_token stop) {
        return sleepUntil(later(now(), duration), std::move(stop));
    }

    // Whether a thread may sleep through its passes that would find nothing to do. True only where
    // nothing but the service itself and the programs it starts changes what the passes read, so that
    // the time of a thread's next work can be foretold from its last pass: a rehearsal on the virtual
    // clock. The system clock says false, because there a setting changed by hand must take effect at
    // the next pass.
    virtual bool skipsIdlePasses() const { return false; }

    // Sleeps until `nextPass`, or, where idle passes are skipped, until `due` when that is later:
    // the time of the first pass that can find work, foretold from what the current pass read
    // (SysTime::max() for none; held to kLongestSleep from now). A thread that passes every minute
    // thus costs a rehearsal one wake-up per piece of work, not one per minute. Returns false when
    // stopped.
    bool sleepUntilDue(SysTime nextPass, SysTime due, std::stop_token stop);

    // Membership of a worker thread. The virtual clock advances only while every member sleeps;
    // the system clock ignores membership.
    virtual void enroll() {}
    virtual void leave() {}
};

// Enrolls in the constructor (on the starting thread, before the worker runs, so that the clock
// cannot jump ahead while the worker is being set up) and leaves when destroyed.
class ClockMember {
public:
    explicit ClockMember(Clock& clock) : m_clock(&clock) { m_clock->enroll(); }
    ClockMember(ClockMember&& other) noexcept : m_clock(std::exchange(other.m_clock, nullptr)) {}
    ClockMember(const ClockMember&) = delete;
    ClockMember& operator=(const ClockMember&) = delete;
    ClockMember& operator=(ClockMember&&) = delete;
    ~ClockMember() {
        if (m_clock)
            m_clock->leave();
    }

private:
    Clock* m_clock;
};

// The wall clock of the machine. A sleep is measured on the monotonic clock, so that setting the wall
// clock back (by hand or by time synchronisation) cannot stall a thread until the wall clock reaches
// the old deadline again: a sleep lasts at most the wall-clock time that was left when it began. The
// wall clock is looked at every `wallCheck` during a sleep, so that a step forward over the deadline
// ends the sleep within that time rather than after the whole remaining length.
class SystemClock : public Clock {
public:
    static constexpr std::chrono::seconds kWallCheck{10};

    // `wall` stands in for the wall clock (tests step it); empty means the system's.
    explicit SystemClock(std::function<SysTime()> wall = {},
                         std::chrono::milliseconds wallCheck = kWallCheck);

    SysTime now() const override { return m_wall ? m_wall() : std::chrono::system_clock::now(); }
    bool sleepUntil(SysTime deadline, std::stop_token stop) override;

private:
    std::function<SysTime()> m_wall;
    std::chrono::milliseconds m_wallCheck;
};

// A clock that stands still while any member works and jumps to the earliest wake-up time as soon
// as every member sleeps. Deterministic: the order of wake-ups depends only on the deadlines.
//
// By default it skips idle passes (see Clock::skipsIdlePasses); a test that changes settings while the
// threads run and wants each minute's pass to see the change turns that off.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(SysTime start, bool skipIdlePasses = true)
        : m_now(start), m_skipIdlePasses(skipIdlePasses) {}

    SysTime now() const override;
    bool skipsIdlePasses() const override { return m_skipIdlePasses; }
    bool sleepUntil(SysTime deadline, std::stop_token stop) override;
    void enroll() override;
    void leave() override;

    // Moves the time forward by hand (tests); wakes the sleepers that are due.
    void advanceTo(SysTime time);

private:
    // Each sleeper has its own condition, so that a wake-up reaches only the threads that are due: a
    // rehearsal of a year wakes the scheduler half a million times, the others far less often.
    struct Sleeper {
        SysTime deadline;
        bool woken = false;
        std::condition_variable_any wake;
    };
    void advanceIfAllAsleep();  // m_mutex held
    void wakeDue();             // m_mutex held

    mutable std::mutex m_mutex;
    SysTime m_now;
    const bool m_skipIdlePasses;
    int m_members = 0;
    std::multimap<SysTime, Sleeper*> m_sleepers;
};

}  // namespace qx
