#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FileHandle.h"

namespace fs = std::filesystem;

namespace qx {

std::vector<fs::path> SingleInstance::placesToLook() {
    std::vector<fs::path> places;
    for (const char* name : {"RUNTIME_DIRECTORY", "XDG_RUNTIME_DIR"})
        if (const char* value = std::getenv(name); value && *value)
            places.emplace_back(std::string(value).substr(0, std::string(value).find(':')));
    places.emplace_back("/run/qxmover");
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    places.push_back((ec ? fs::path("/tmp") : temp) / ("qxmover-" + std::to_string(::getuid())));
    return places;
}

fs::path SingleInstance::runtimeDirectory(std::string* problem) {
    for (const char* name : {"RUNTIME_DIRECTORY", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(name);
        // RuntimeDirectory= may list several directories separated by colons; the first is ours.
        if (value && *value)
            return fs::path(std::string(value).substr(0, std::string(value).find(':')));
    }
    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec) / ("qxmover-" + std::to_string(::getuid()));
    if (ec)
        dir = fs::path("/tmp") / ("qxmover-" + std::to_string(::getuid()));
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        if (problem)
            *problem = "cannot create " + dir.string() + ": " + std::strerror(errno);
        return {};
    }
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        if (problem)
            *problem = dir.string() + " is not a private directory of this user";
        return {};
    }
    return dir;
}

SingleInstance::SingleInstance(const std::string& key, fs::path runtimeDir) {
    if (runtimeDir.empty())
        runtimeDir = runtimeDirectory(&m_problem);
    if (runtimeDir.empty())
        return;
    std::string stem = fileStem(key);
    m_lockPath = runtimeDir / (stem + ".lock");
    m_socketPath = runtimeDir / (stem + ".sock");
}

SingleInstance::~SingleInstance() {
    if (m_socket >= 0) {
        FileHandle(m_socket).close();
        ::unlink(m_socketPath.c_str());
    }
    if (m_lock >= 0) {
        // Removed while still locked: a start that opened the old file sees that it is gone and
        // opens the new one (see acquire()).
        ::unlink(m_lockPath.c_str());
        FileHandle(m_lock).close();
    }
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

// True when `fd` is still the file that `path` names (a lock on a removed file protects nothing).
bool stillNamed(int fd, const fs::path& path) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

void askToShow(const sockaddr_un& address) {
    const FileHandle s(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.valid())
        return;
    if (::connect(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const char request[] = "show\n";
        // The first may take the request and close before we have written: no SIGPIPE for that.
        [[maybe_unused]] auto n = ::send(s.get(), request, sizeof request - 1, MSG_NOSIGNAL);
    }
}

}  // namespace

std::optional<bool> SingleInstance::heldElsewhere() const {
    if (m_lockPath.empty())
        return std::nullopt;
    struct stat lock {};
    if (::lstat(m_lockPath.c_str(), &lock) != 0)
        return errno == ENOENT ? std::optional<bool>(false) : std::nullopt;
    std::FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks)
        return std::nullopt;
    // "1: FLOCK  ADVISORY  WRITE 6270 fe:00:10953079 0 EOF"; waiting locks carry a "->" before FLOCK.
    char line[256];
    bool held = false;
    while (!held && std::fgets(line, sizeof line, locks)) {
        char kind[16] = {};
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        const char* at = std::strstr(line, "FLOCK");
        held = at && std::sscanf(at, "%15s %*s %*s %*d %x:%x:%llu", kind, &major, &minor, &inode) == 4 &&
               inode == static_cast<unsigned long long>(lock.st_ino) && major == ::major(lock.st_dev) &&
               minor == ::minor(lock.st_dev) && !std::strstr(line, "->");
    }
    std::fclose(locks);
    return held;
}

SingleInstance::Result SingleInstance::acquire() {
    if (m_lockPath.empty())
        return Result::Failed;
    sockaddr_un address{};
    bool addressOk = socketAddress(m_socketPath, address);
    for (int attempt = 0; attempt < 16; ++attempt) {
        FileHandle lock(openRetrying(m_lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0600));
        if (!lock.valid()) {
            m_problem = "cannot create " + m_lockPath.string() + ": " + std::strerror(errno);
            return Result::Failed;
        }
        if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
            if (addressOk)
                askToShow(address);
            return Result::AnotherRuns;
        }
        // Otherwise the first instance ended and removed the file between our open and our lock.
        if (stillNamed(lock.get(), m_lockPath)) {
            m_lock = lock.release();
            break;
        }
    }
    if (m_lock < 0) {
        m_problem = "the lock file " + m_lockPath.string() + " keeps changing";
        return Result::Failed;
    }
    if (addressOk) {
        ::unlink(m_socketPath.c_str());  // left by a process that died; we hold the lock now
        FileHandle socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (socket.valid() &&
            ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(socket.get(), 4) == 0)
            m_socket = socket.release();
    }
    return Result::First;
}

bool SingleInstance::takeShowRequest() {
    if (m_socket < 0)
        return false;
    bool any = false;
    for (;;) {
        const FileHandle c(::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC));
        if (!c.valid())
            break;
        any = true;
    }
    return any;
}

}  // namespace qx
