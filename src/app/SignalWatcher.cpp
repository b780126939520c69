#include "SignalWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace qx {

SignalWatcher::SignalWatcher() {
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGTERM);
    sigaddset(&m_set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
}

SignalWatcher::~SignalWatcher() {
    stopWatching();
    if (m_signalFd >= 0)
        ::close(m_signalFd);
    if (m_quitFd >= 0)
        ::close(m_quitFd);
}

void SignalWatcher::stopWatching() {
    if (m_thread.joinable()) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_quitFd, &one, sizeof one);
        m_thread.join();
    }
}

bool SignalWatcher::watch(std::stop_source target, int showFd, std::function<void()> onShow) {
    if (m_thread.joinable())
        return true;
    m_signalFd = ::signalfd(-1, &m_set, SFD_CLOEXEC);
    m_quitFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_signalFd < 0 || m_quitFd < 0)
        return false;
    m_thread = std::thread([this, target = std::move(target), showFd, onShow = std::move(onShow)]() mutable {
        loop(std::move(target), showFd, onShow);
    });
    return true;
}

void SignalWatcher::loop(std::stop_source target, int showFd, const std::function<void()>& onShow) {
    pollfd fds[3] = {{m_signalFd, POLLIN, 0}, {m_quitFd, POLLIN, 0}, {showFd, POLLIN, 0}};
    for (;;) {
        int r = ::poll(fds, showFd >= 0 && onShow ? 3 : 2, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || fds[1].revents != 0)
            return;
        if (fds[0].revents != 0) {
            signalfd_siginfo info{};
            [[maybe_unused]] auto n = ::read(m_signalFd, &info, sizeof info);
            target.request_stop();
            return;
        }
        if (fds[2].revents != 0)
            onShow();
    }
}

}  // namespace qx
