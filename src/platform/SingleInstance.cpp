#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace fs = std::filesystem;

namespace qx {

SingleInstance::SingleInstance(const std::string& key, fs::path runtimeDir) {
    if (runtimeDir.empty()) {
        const char* xdg = std::getenv("XDG_RUNTIME_DIR");
        runtimeDir = xdg && *xdg ? fs::path(xdg) : fs::temp_directory_path();
    }
    std::string name =
        "qxmover-" + std::to_string(getuid()) + "-" + std::to_string(std::hash<std::string>{}(key));
    m_lockPath = runtimeDir / (name + ".lock");
    m_socketPath = runtimeDir / (name + ".sock");
}

SingleInstance::~SingleInstance() {
    if (m_socket >= 0) {
        ::close(m_socket);
        ::unlink(m_socketPath.c_str());
    }
    if (m_lock >= 0)
        ::close(m_lock);
}

namespace {

bool socketAddress(const fs::path& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path)
        return false;
    std::strcpy(address.sun_path, path.c_str());
    return true;
}

}  // namespace

SingleInstance::Result SingleInstance::acquire() {
    m_lock = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock < 0)
        return Result::Failed;
    sockaddr_un address{};
    bool addressOk = socketAddress(m_socketPath, address);
    if (::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_lock);
        m_lock = -1;
        if (addressOk) {
            int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (s >= 0) {
                if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                    const char request[] = "show\n";
                    [[maybe_unused]] auto n = ::write(s, request, sizeof request - 1);
                }
                ::close(s);
            }
        }
        return Result::AnotherRuns;
    }
    if (addressOk) {
        ::unlink(m_socketPath.c_str());  // left by a process that died; we hold the lock now
        m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_socket >= 0 && (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                              ::listen(m_socket, 4) != 0)) {
            ::close(m_socket);
            m_socket = -1;
        }
    }
    return Result::First;
}

bool SingleInstance::takeShowRequest() {
    if (m_socket < 0)
        return false;
    bool any = false;
    for (;;) {
        int c = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0)
            break;
        any = true;
        ::close(c);
    }
    return any;
}

}  // namespace qx
