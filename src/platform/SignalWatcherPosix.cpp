#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "SignalWatcher.h"
#include "SingleInstance.h"

namespace qx {

struct SignalWatcher::State {
    sigset_t set;
    int signalFd = -1;
    int quitFd = -1;
};

SignalWatcher::SignalWatcher() : m_state(std::make_unique<State>()) {
    sigemptyset(&m_state->set);
    sigaddset(&m_state->set, SIGTERM);
    sigaddset(&m_state->set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &m_state->set, nullptr);
}

SignalWatcher::~SignalWatcher() {
    stopWatching();
    if (m_state->signalFd >= 0)
        ::close(m_state->signalFd);
    if (m_state->quitFd >= 0)
        ::close(m_state->quitFd);
}

void SignalWatcher::stopWatching() {
    if (m_thread.joinable()) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_state->quitFd, &one, sizeof one);
        m_thread.join();
    }
}

bool SignalWatcher::watch(std::stop_source target, SingleInstance* shows, std::function<void()> onShow) {
    if (m_thread.joinable())
        return true;
    if (m_state->signalFd < 0)
        m_state->signalFd = ::signalfd(-1, &m_state->set, SFD_CLOEXEC);
    if (m_state->quitFd < 0)
        m_state->quitFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_state->signalFd < 0 || m_state->quitFd < 0)
        return false;
    m_thread = std::thread([this, target = std::move(target), shows, onShow = std::move(onShow)]() mutable {
        loop(std::move(target), shows, onShow);
    });
    return true;
}

void SignalWatcher::loop(std::stop_source target, SingleInstance* shows,
                         const std::function<void()>& onShow) {
    const int showFd = shows && onShow ? shows->showRequestFd() : -1;
    pollfd fds[3] = {{m_state->signalFd, POLLIN, 0}, {m_state->quitFd, POLLIN, 0}, {showFd, POLLIN, 0}};
    for (;;) {
        int r = ::poll(fds, showFd >= 0 ? 3 : 2, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || fds[1].revents != 0)
            return;
        if (fds[0].revents != 0) {
            signalfd_siginfo info{};
            [[maybe_unused]] auto n = ::read(m_state->signalFd, &info, sizeof info);
            target.request_stop();
            return;
        }
        if (fds[2].revents != 0 && shows->takeShowRequest())
            onShow();
    }
}

void SignalWatcher::deliver(Stop stop) {
    ::kill(::getpid(), stop == Stop::Interrupt ? SIGINT : SIGTERM);
}

}  // namespace qx
