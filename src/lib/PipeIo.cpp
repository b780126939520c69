#include "PipeIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <poll.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace qx::detail {

namespace {

bool fillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::string instancePath(const std::string& dir, const std::string& stem, int instance) {
    return dir + "/" + stem + "." + std::to_string(instance);
}

// Instance numbers of `stem` whose socket file exists, ascending.
std::vector<int> existingInstances(const std::string& dir, const std::string& stem) {
    std::vector<int> instances;
    DIR* d = dir.empty() ? nullptr : ::opendir(dir.c_str());
    if (!d)
        return instances;
    std::string prefix = stem + ".";
    while (dirent* entry = ::readdir(d)) {
        std::string name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string rest = name.substr(prefix.size());
        if (rest.size() > 3 || rest.find_first_not_of("0123456789") != std::string::npos)
            continue;
        instances.push_back(std::atoi(rest.c_str()));
    }
    ::closedir(d);
    std::sort(instances.begin(), instances.end());
    return instances;
}

bool sameAccount(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    return peer.uid == ::geteuid() || peer.uid == 0;
}

}  // namespace

std::string pipeDirectory() {
    const char* configured = std::getenv("QXCLASS_PIPE_DIR");
    std::string dir = configured && *configured ? configured : "/tmp/.qxpipe";
    if (::mkdir(dir.c_str(), 0700) == 0)
        ::chmod(dir.c_str(), 01777);
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};
    return dir;
}

std::string pipeStem(const std::string& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string stem;
    for (unsigned char c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
            (c == '.' && !stem.empty())) {
            stem += static_cast<char>(c);
        } else {
            stem += '%';
            stem += hex[c >> 4];
            stem += hex[c & 15];
        }
    }
    return stem;
}

bool isLocalHost(const char* host) {
    if (!host || !*host || std::strcmp(host, ".") == 0 || strcasecmp(host, "localhost") == 0)
        return true;
    char own[256] = {};
    if (::gethostname(own, sizeof own - 1) != 0)
        return false;
    if (strcasecmp(host, own) == 0)
        return true;
    // A bare machine name matches this machine's name with its domain, and the other way round.
    std::string a = host, b = own;
    a = a.substr(0, a.find('.'));
    b = b.substr(0, b.find('.'));
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool makeInstance(const std::string& stem, int maxInstances, bool isPublic, ServerInstance& out) {
    std::string dir = pipeDirectory();
    if (dir.empty() || stem.empty())
        return false;
    int limit = std::clamp(maxInstances, 1, 255);
    for (int instance = 0; instance < limit; ++instance) {
        std::string path = instancePath(dir, stem, instance);
        int owner = ::open((path + ".srv").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (owner < 0)
            continue;
        if (::flock(owner, LOCK_EX | LOCK_NB) != 0) {
            ::close(owner);
            continue;
        }
        mode_t access = isPublic ? 0666 : 0600;
        int claim = ::open((path + ".lock").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, access);
        if (claim >= 0) {
            ::fchmod(claim, access);
            ::close(claim);
        }
        sockaddr_un address;
        int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::unlink(path.c_str());  // a socket left by an owner that has gone
        if (claim < 0 || listener < 0 || !fillAddress(path, address) ||
            ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::chmod(path.c_str(), access) != 0 || ::listen(listener, 4) != 0) {
            if (listener >= 0)
                ::close(listener);
            ::close(owner);
            return false;
        }
        out.listenFd = listener;
        out.ownerLockFd = owner;
        out.socketPath = path;
        return true;
    }
    return false;
}

void closeInstance(ServerInstance& instance) {
    if (instance.listenFd >= 0) {
        // Remove the socket while still owning the instance, so no newer owner's socket is removed.
        ::unlink(instance.socketPath.c_str());
        ::close(instance.listenFd);
    }
    if (instance.ownerLockFd >= 0)
        ::close(instance.ownerLockFd);
    instance = ServerInstance{};
}

int acceptClient(int listenFd, bool isPublic) {
    while (true) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return -1;
        }
        if ((isPublic || sameAccount(fd)) && peerPresent(fd))
            return fd;
        ::close(fd);
    }
}

ClientAttempt connectClient(const std::string& stem, int& fd, int& claimFd) {
    bool sawInstance = false;
    std::string dir = pipeDirectory();
    for (int instance : existingInstances(dir, stem)) {
        std::string path = instancePath(dir, stem, instance);
        int claim = ::open((path + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
        if (claim < 0) {
            if (errno == EACCES)
                return ClientAttempt::Refused;
            continue;
        }
        if (::flock(claim, LOCK_EX | LOCK_NB) != 0) {
            ::close(claim);
            sawInstance = true;
            continue;
        }
        sockaddr_un address;
        int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (s < 0 || !fillAddress(path, address)) {
            if (s >= 0)
                ::close(s);
            ::close(claim);
            continue;
        }
        int result = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int error = errno;
        if (result == 0) {
            fd = s;
            claimFd = claim;
            return ClientAttempt::Connected;
        }
        ::close(s);
        ::close(claim);
        if (error == EACCES || error == EPERM)
            return ClientAttempt::Refused;
        if (error == EAGAIN)
            sawInstance = true;  // its owner has not taken earlier clients yet
        // ECONNREFUSED, ENOENT: a socket whose owner has gone
    }
    return sawInstance ? ClientAttempt::Busy : ClientAttempt::NotFound;
}

bool pullAvailable(int fd, std::string& received) {
    char chunk[4096];
    while (true) {
        ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            received.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;
    }
}

bool waitReadable(int fd, int ms, const std::atomic<bool>& abort) {
    int left = ms;
    while (!abort.load()) {
        int slice = left < 0 ? 100 : std::min(left, 100);
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, slice);
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
        if (left >= 0) {
            left -= slice;
            if (left <= 0)
                return false;
        }
    }
    return false;
}

bool sendAll(int fd, const char* data, std::size_t len, const std::atomic<bool>& abort) {
    std::size_t sent = 0;
    while (sent < len) {
        if (abort.load())
            return false;
        ssize_t n = ::send(fd, data + sent, len - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        return false;
    }
    return true;
}

bool waitDrained(int fd, const std::atomic<bool>& abort) {
    // The bytes stay charged to this end until the other end has read them; there is no wakeup for
    // that, so look again after a short pause that grows up to 10 ms.
    int pauseUs = 200;
    while (!abort.load()) {
        int unread = 0;
        if (::ioctl(fd, SIOCOUTQ, &unread) != 0 || unread <= 0)
            return true;
        std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
        pauseUs = std::min(pauseUs * 2, 10000);
    }
    return false;
}

bool peerPresent(int fd) {
    char c;
    ssize_t n = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

}  // namespace qx::detail
