#include <windows.h>

#include <atomic>

#include "SignalWatcher.h"
#include "SingleInstance.h"

namespace qx {

namespace {

// The console handler runs in a thread of its own that the system starts; it finds the events here.
// They live as long as the process, so that a handler still running never sees them closed.
struct StopEvents {
    // A stop came; kept until a watch takes it, as a blocked signal stays pending.
    HANDLE stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // the service has wound down
};

StopEvents& stopEvents() {
    static StopEvents events;
    return events;
}

// How long a close, log-off or shutdown waits for the service to wind down; the system ends the
// process when the handler returns, and itself after a few seconds more.
constexpr DWORD kWindDownMs = 4500;

// Whether this process runs in a user's session: a service's session (0) gets every user's log-off,
// which is not its own end.
bool interactiveSession() {
    DWORD session = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session != 0;
}

BOOL WINAPI onConsoleControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            SetEvent(stopEvents().stop);
            return TRUE;
        case CTRL_LOGOFF_EVENT:
            if (!interactiveSession())
                return FALSE;
            [[fallthrough]];
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            SetEvent(stopEvents().stop);
            // The process ends when this returns: the threads get the time to finish their work as
            // after SIGTERM.
            WaitForSingleObject(stopEvents().ended, kWindDownMs);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

struct SignalWatcher::State {
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool handler = false;
    ~State() {
        if (quit)
            CloseHandle(quit);
    }
};

SignalWatcher::SignalWatcher() : m_state(std::make_unique<State>()) {
    StopEvents& events = stopEvents();
    ResetEvent(events.ended);
    m_state->handler = SetConsoleCtrlHandler(onConsoleControl, TRUE) != 0;
}

SignalWatcher::~SignalWatcher() {
    stopWatching();
    // A handler that waits for our end may return now; one that comes later finds nothing to wait for.
    SetEvent(stopEvents().ended);
    if (m_state->handler)
        SetConsoleCtrlHandler(onConsoleControl, FALSE);
}

void SignalWatcher::stopWatching() {
    if (m_thread.joinable()) {
        SetEvent(m_state->quit);
        m_thread.join();
        ResetEvent(m_state->quit);
    }
}

bool SignalWatcher::watch(std::stop_source target, SingleInstance* shows, std::function<void()> onShow) {
    if (m_thread.joinable())
        return true;
    StopEvents& events = stopEvents();
    if (!m_state->handler || !m_state->quit || !events.stop || !events.ended)
        return false;
    m_thread = std::thread([this, target = std::move(target), shows, onShow = std::move(onShow)]() mutable {
        loop(std::move(target), shows, onShow);
    });
    return true;
}

void SignalWatcher::loop(std::stop_source target, SingleInstance* shows,
                         const std::function<void()>& onShow) {
    HANDLE show = shows && onShow ? static_cast<HANDLE>(shows->showRequestEvent()) : nullptr;
    const HANDLE handles[3] = {stopEvents().stop, m_state->quit, show};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(show ? 3 : 2, handles, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0) {
            target.request_stop();
            return;
        }
        if (woken != WAIT_OBJECT_0 + 2)
            return;  // the quit event, or the wait failed
        onShow();    // the wait took the request: the event resets itself
    }
}

void SignalWatcher::deliver(Stop stop) {
    switch (stop) {
        case Stop::Interrupt:
            onConsoleControl(CTRL_C_EVENT);
            break;
        case Stop::Terminate:
            onConsoleControl(CTRL_CLOSE_EVENT);
            break;
        case Stop::Shutdown:
            onConsoleControl(CTRL_SHUTDOWN_EVENT);
            break;
    }
}

}  // namespace qx
