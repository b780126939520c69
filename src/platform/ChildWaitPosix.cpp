#include "ChildWait.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "FileHandle.h"

namespace qx {

namespace {

using Steady = std::chrono::steady_clock;

int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// An event descriptor that becomes readable as soon as a stop is requested, so that poll() can wait
// for a child and for the stop at once.
class StopEvent {
public:
    explicit StopEvent(const std::stop_token& stop) : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        m_callback.emplace(stop, [this] { signal(); });
    }
    ~StopEvent() {
        // The callback goes first: its end waits for a run under way in the stopping thread, which must
        // not write to the number after it was closed (and perhaps given to another file).
        m_callback.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    int fd() const { return m_fd; }

private:
    void signal() {
        std::uint64_t one = 1;
        if (m_fd >= 0) [[maybe_unused]]
            auto n = ::write(m_fd, &one, sizeof one);
    }

    int m_fd;
    std::optional<std::stop_callback<std::function<void()>>> m_callback;
};

int pollTimeout(Steady::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 0x7fffffff));
}

// One child, watched through a pidfd when there is one, else through a waitpid poll.
class ChildWatch {
public:
    ChildWatch(pid_t pid, bool usePidfd) : m_pid(pid), m_pidfd(usePidfd ? openPidfd(pid) : -1) {}
    ~ChildWatch() {
        reap();
        if (m_pidfd >= 0)
            ::close(m_pidfd);
    }
    ChildWatch(const ChildWatch&) = delete;
    ChildWatch& operator=(const ChildWatch&) = delete;

    // True when the child ended before `deadline`; false when the deadline passed or a stop came
    // (`stop` may be null: no stop counts, as in the grace after a stop).
    bool awaitEnd(Steady::time_point deadline, const std::stop_token* stop) {
        if (m_reaped)
            return true;
        return m_pidfd >= 0 ? awaitPidfd(deadline, stop) : awaitPolling(deadline, stop);
    }

    // Signals the child's process group; only while the child is not reaped, so that the number
    // cannot have been given to another group.
    void signalGroup(int signal) {
        if (!m_reaped)
            ::kill(-m_pid, signal);
    }

    void reap() {
        if (m_reaped)
            return;
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_reaped = true;
    }

private:
    bool awaitPidfd(Steady::time_point deadline, const std::stop_token* stop) {
        std::optional<StopEvent> stopEvent;
        if (stop && stop->stop_possible())
            stopEvent.emplace(*stop);
        pollfd fds[2] = {{m_pidfd, POLLIN, 0}, {stopEvent ? stopEvent->fd() : -1, POLLIN, 0}};
        for (;;) {
            if (stop && stop->stop_requested())
                return false;
            int r = ::poll(fds, 2, pollTimeout(deadline));
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                return awaitPolling(deadline, stop);
            if (fds[0].revents != 0)
                return true;
            if (r == 0 && Steady::now() >= deadline)
                return false;
        }
    }

    // Without a pidfd the child is polled: often at first, for the many short runs, then at most five
    // times a second. The stop ends the pause at once.
    bool awaitPolling(Steady::time_point deadline, const std::stop_token* stop) {
        std::mutex mutex;
        std::condition_variable_any changed;
        std::unique_lock lock(mutex);
        std::chrono::milliseconds step{2};
        std::stop_token never;
        for (;;) {
            int status = 0;
            pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid || (r < 0 && errno == ECHILD)) {
                m_reaped = true;
                return true;
            }
            if (stop && stop->stop_requested())
                return false;
            auto now = Steady::now();
            if (now >= deadline)
                return false;
            auto pause = std::min<Steady::duration>(step, deadline - now);
            changed.wait_for(lock, stop ? *stop : never, pause, [] { return false; });
            step = std::min(step * 2, std::chrono::milliseconds(200));
        }
    }

    pid_t m_pid;
    int m_pidfd;
    bool m_reaped = false;
};

}  // namespace

bool pidfdAvailable() {
    return FileHandle(openPidfd(::getpid())).valid();
}

ChildEnd waitForChild(pid_t pid, std::chrono::milliseconds limit, const ChildPolicy& policy) {
    ChildWatch child(pid, policy.usePidfd);
    if (child.awaitEnd(Steady::now() + limit, &policy.stop))
        return ChildEnd::Exited;
    ChildEnd end = policy.stop.stop_requested() ? ChildEnd::Stopped : ChildEnd::TimedOut;
    child.signalGroup(SIGTERM);
    if (!child.awaitEnd(Steady::now() + policy.grace, nullptr))
        child.signalGroup(SIGKILL);
    child.reap();
    return end;
}

}  // namespace qx
