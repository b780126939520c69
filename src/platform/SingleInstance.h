#pragma once

#include <filesystem>
#include <string>

namespace qx {

// Keeps a second start of the service for the same installation from running beside the first: a
// lock file in the runtime directory, plus a local socket through which the second start asks the
// first to show its dialog.
class SingleInstance {
public:
    enum class Result { First, AnotherRuns, Failed };

    // `key` names the installation (its profile directory); `runtimeDir` defaults to
    // $XDG_RUNTIME_DIR, else the temporary directory.
    explicit SingleInstance(const std::string& key, std::filesystem::path runtimeDir = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // First: this process holds the lock (until it ends) and listens. AnotherRuns: the first instance
    // was asked to show itself; the caller ends with exit code 0. Failed: the lock file cannot be made.
    Result acquire();

    // Drains the show requests of later starts without blocking; true when there was at least one.
    bool takeShowRequest();

private:
    std::filesystem::path m_lockPath;
    std::filesystem::path m_socketPath;
    int m_lock = -1;
    int m_socket = -1;
};

}  // namespace qx
