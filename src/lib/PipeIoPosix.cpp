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
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace qx::detail {

namespace {

long steadyMs() {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count());
}

bool acceptableOwner(uid_t owner) {
    return owner == ::geteuid() || owner == 0;
}

std::string describe(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

PipeDirectory::PipeDirectory(PipeDirectory&& other) noexcept : fd(other.fd), path(std::move(other.path)) {
    other.fd = -1;
}

PipeDirectory& PipeDirectory::operator=(PipeDirectory&& other) noexcept {
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = other.fd;
        path = std::move(other.path);
        other.fd = -1;
    }
    return *this;
}

PipeDirectory::~PipeDirectory() {
    if (fd >= 0)
        ::close(fd);
}

PipeDirectory openPipeDirectory(std::string& why) {
    PipeDirectory dir;
    const char* configured = std::getenv("QXCLASS_PIPE_DIR");
    dir.path = configured && *configured ? configured : "/tmp/.qxpipe";
    bool made = ::mkdir(dir.path.c_str(), 0700) == 0;
    int fd = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        why = describe("pipe directory unusable:", dir.path);
        return dir;
    }
    // Made by root, it is the meeting place of every account, like /tmp; made by another account, it
    // is that account's alone (no other account would trust it anyway).
    if (made && ::geteuid() == 0)
        ::fchmod(fd, 01777);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        why = describe("pipe directory unusable:", dir.path);
        ::close(fd);
        return dir;
    }
    if (!acceptableOwner(info.st_uid)) {
        why = "pipe directory " + dir.path + " not trusted: owned by uid " + std::to_string(info.st_uid) +
              ", not by root or this account";
        ::close(fd);
        return dir;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0) {
        why = "pipe directory " + dir.path + " not trusted: writable by others and not sticky";
        ::close(fd);
        return dir;
    }
    dir.fd = fd;
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

bool pullAvailable(int fd, PipeInbox& inbox) {
    char chunk[4096];
    while (inbox.room() > 0) {
        std::size_t room = std::min(sizeof chunk, inbox.room());
        ssize_t n = ::recv(fd, chunk, room, MSG_DONTWAIT);
        if (n > 0) {
            inbox.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;
    }
    return true;
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

bool sendAll(int fd, const char* data, std::size_t len, int ms, const std::atomic<bool>& abort) {
    long deadline = ms < 0 ? -1 : steadyMs() + ms;
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
            long now = steadyMs();
            if (deadline >= 0 && now >= deadline)
                return false;
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, deadline < 0 ? 100 : int(std::min(100L, deadline - now)));
            continue;
        }
        return false;
    }
    return true;
}

bool waitDrained(int fd, int ms, const std::atomic<bool>& abort) {
    // The bytes stay charged to this end until the other end has read them; there is no wakeup for
    // that, so look again after a short pause that grows up to 10 ms.
    long deadline = ms < 0 ? -1 : steadyMs() + ms;
    int pauseUs = 200;
    while (!abort.load()) {
        int unread = 0;
        if (::ioctl(fd, SIOCOUTQ, &unread) != 0 || unread <= 0)
            return true;
        if (deadline >= 0 && steadyMs() >= deadline)
            return false;
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

long steadyMilliseconds() {
    return steadyMs();
}

}  // namespace qx::detail
