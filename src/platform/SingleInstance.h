#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Keeps a second start of the service for the same installation from running beside the first: a
// lock file in a private runtime directory, plus a local socket through which the second start asks
// the first to show its dialog. Both files are removed when the first instance ends. On Windows a named
// mutex in the session namespace takes the lock's place and a named event the socket's (see
// showRequestEvent); both vanish with the first instance.
class SingleInstance {
public:
    enum class Result { First, AnotherRuns, Failed };

    // `key` names the installation (its profile directory); `runtimeDir` defaults to
    // runtimeDirectory().
    explicit SingleInstance(const std::string& key, std::filesystem::path runtimeDir = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // First: this process holds the lock (until it ends) and listens. AnotherRuns: the first instance
    // was asked to show itself; the caller ends with exit code 0. Failed: no usable runtime directory,
    // or the lock file cannot be made; problem() says why.
    Result acquire();

    // Whether a process holds this installation's lock, found without taking it or asking the holder
    // anything (the holder would show its dialog): the kernel's list of file locks (/proc/locks) is
    // searched for the lock file. False when there is no lock file (the holder removes it at its end);
    // nullopt when it cannot be told (no runtime directory, no list of locks).
    std::optional<bool> heldElsewhere() const;

    // Drains the show requests of later starts without blocking; true when there was at least one.
    bool takeShowRequest();

    // The listening socket for poll(), or -1 before acquire() or when it could not be made (always on
    // Windows).
    int showRequestFd() const { return m_socket; }

    // Windows: the event (a HANDLE) that a later start sets, for a wait; null elsewhere and before
    // acquire().
    void* showRequestEvent() const { return m_event; }

    const std::filesystem::path& lockPath() const { return m_lockPath; }
    const std::string& problem() const { return m_problem; }

    // Where the lock lives: $RUNTIME_DIRECTORY (the service unit's RuntimeDirectory=), else
    // $XDG_RUNTIME_DIR, else a directory "qxmover-UID" below the temporary directory that only this
    // user may enter. Empty, with `problem` set, when that last one is held by someone else or open to
    // others: a name in /tmp that another user could take must not decide whether we start.
    static std::filesystem::path runtimeDirectory(std::string* problem = nullptr);

    // Every place a service of this machine may keep its lock, for looking (heldElsewhere()) without
    // creating any: the directories runtimeDirectory() would take, and the packaged service's
    // (its unit's RuntimeDirectory=qxmover) for an administrator who asks as another user.
    static std::vector<std::filesystem::path> placesToLook();

    // The name of an installation's lock files: a hash of `key` that stays the same across builds and
    // machines (64-bit FNV-1a, 16 hex digits).
    static std::string fileStem(std::string_view key);

private:
    std::filesystem::path m_lockPath;
    std::filesystem::path m_socketPath;
    std::string m_problem;
    int m_lock = -1;
    int m_socket = -1;
    void* m_mutex = nullptr;  // Windows handles
    void* m_event = nullptr;
    std::string m_key;
};

}  // namespace qx
