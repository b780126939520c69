#include "ChildReaper.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

namespace qx {

namespace {

int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

}  // namespace

ChildReaper::ChildReaper(bool usePidfd)
    : m_usePidfd(usePidfd), m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ChildReaper::~ChildReaper() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    wake();
    if (m_thread.joinable())
        m_thread.join();
}

void ChildReaper::adopt(pid_t pid) {
    FileHandle pidfd(m_usePidfd ? openPidfd(pid) : -1);
    {
        std::lock_guard lock(m_mutex);
        m_children.push_back({pid, std::move(pidfd)});
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
    }
    wake();
}

std::size_t ChildReaper::pending() const {
    std::lock_guard lock(m_mutex);
    return m_children.size();
}

bool ChildReaper::awaitNonePending(std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_mutex);
    return m_reaped.wait_for(lock, limit, [this] { return m_children.empty(); });
}

void ChildReaper::wake() {
    std::uint64_t one = 1;
    if (m_wakeFd.valid()) [[maybe_unused]]
        auto n = ::write(m_wakeFd.get(), &one, sizeof one);
}

void ChildReaper::loop() {
    std::vector<pollfd> fds;
    for (;;) {
        bool polling = !m_wakeFd.valid();
        {
            std::lock_guard lock(m_mutex);
            if (m_quit)
                return;
            fds.assign(1, pollfd{m_wakeFd.get(), POLLIN, 0});
            for (const Child& child : m_children) {
                if (child.pidfd.valid())
                    fds.push_back({child.pidfd.get(), POLLIN, 0});
                else
                    polling = true;
            }
        }
        if (::poll(fds.data(), fds.size(), polling ? 1000 : -1) < 0 && errno != EINTR)
            return;
        std::uint64_t count = 0;
        if (m_wakeFd.valid()) [[maybe_unused]]
            auto n = ::read(m_wakeFd.get(), &count, sizeof count);
        std::lock_guard lock(m_mutex);
        std::erase_if(m_children, [](const Child& child) {
            int status = 0;
            pid_t r = ::waitpid(child.pid, &status, WNOHANG);
            // Erased, the child's pidfd is closed with it.
            return r != 0 && !(r < 0 && errno == EINTR);
        });
        m_reaped.notify_all();
    }
}

}  // namespace qx
