#include <windows.h>

#include "SingleInstance.h"

namespace fs = std::filesystem;

namespace qx {

fs::path SingleInstance::runtimeDirectory(std::string*) {
    return {};  // the kernel's session namespace serves instead
}

std::vector<fs::path> SingleInstance::placesToLook() {
    return {};
}

SingleInstance::SingleInstance(const std::string& key, fs::path runtimeDir) {
    // A runtime directory given (the tests') makes an installation of its own.
    m_key = runtimeDir.empty() ? key : key + "|" + runtimeDir.string();
    // "Local\": the namespace of this logon session, so that another user's session neither blocks
    // this start nor is asked to show itself.
    m_lockPath = fs::path(L"Local\\" + fs::path(fileStem(m_key)).wstring());
    m_socketPath = fs::path(m_lockPath.wstring() + L"-show");
}

SingleInstance::~SingleInstance() {
    if (m_event)
        CloseHandle(m_event);
    if (m_mutex) {
        ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
    }
}

SingleInstance::Result SingleInstance::acquire() {
    // The event first: a second start that finds the mutex then always finds the event to set.
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, m_socketPath.c_str());
    if (!event) {
        m_problem = "cannot create the event " + m_socketPath.string() + " (error " +
                    std::to_string(GetLastError()) + ")";
        return Result::Failed;
    }
    HANDLE mutex = CreateMutexW(nullptr, TRUE, m_lockPath.c_str());
    const DWORD error = GetLastError();
    if (!mutex) {
        CloseHandle(event);
        // Held under the same name by an object of another kind or another user: not ours to judge.
        m_problem =
            "cannot create the mutex " + m_lockPath.string() + " (error " + std::to_string(error) + ")";
        return Result::Failed;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        SetEvent(event);
        CloseHandle(event);
        return Result::AnotherRuns;
    }
    m_mutex = mutex;
    m_event = event;
    return Result::First;
}

std::optional<bool> SingleInstance::heldElsewhere() const {
    // Opening the mutex neither takes it nor asks its holder for anything.
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, m_lockPath.c_str());
    if (mutex) {
        CloseHandle(mutex);
        return true;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional<bool>(false) : std::nullopt;
}

bool SingleInstance::takeShowRequest() {
    return m_event && WaitForSingleObject(m_event, 0) == WAIT_OBJECT_0;
}

}  // namespace qx
