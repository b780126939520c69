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

// The instance files of a pipe (see PipeIo.h): made and renewed by the server, claimed by clients.

namespace qx::detail {

namespace {

// A claim held this long without its client connecting is taken to be a squatter's.
constexpr long kClaimGraceMs = 1000;

std::string describe(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::string instanceName(const std::string& stem, int instance) {
    return stem + "." + std::to_string(instance);
}

// Instance numbers of `stem` whose socket file exists, ascending.
std::vector<int> existingInstances(const PipeDirectory& dir, const std::string& stem) {
    std::vector<int> instances;
    int listing = ::openat(dir.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!d) {
        if (listing >= 0)
            ::close(listing);
        return instances;
    }
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

// True while `claimFd` is still the claim file under `name`: the server has not renewed it.
bool claimCurrent(const PipeDirectory& dir, const std::string& name, int claimFd) {
    struct stat held {
    }, named{};
    return ::fstat(claimFd, &held) == 0 &&
           ::fstatat(dir.fd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == held.st_ino &&
           named.st_dev == held.st_dev;
}

bool acceptableOwner(uid_t owner) {
    return owner == ::geteuid() || owner == 0;
}

bool peerAcceptable(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    return acceptableOwner(peer.uid);
}

// Opens (creating it when missing) a file of ours in the directory: never through a link, and only
// when it is a regular file of this account. -1 otherwise.
int openOwnFile(const PipeDirectory& dir, const std::string& name, int flags, mode_t mode) {
    int fd = ::openat(dir.fd, name.c_str(), flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True when `name` is missing or a file of this account (which we may then replace).
bool absentOrOwn(const PipeDirectory& dir, const std::string& name) {
    struct stat info {};
    if (::fstatat(dir.fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    return info.st_uid == ::geteuid() && !S_ISLNK(info.st_mode);
}

// A fresh claim file under `name` + ".lock", put in place in one step. -1 when it cannot be made or
// the name is held by a file of another account.
int freshClaim(const PipeDirectory& dir, const std::string& name, bool isPublic, bool held) {
    std::string claim = name + ".lock";
    if (!absentOrOwn(dir, claim))
        return -1;
    static std::atomic<unsigned> serial{0};
    std::string temporary = claim + "." + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    int fd = ::openat(dir.fd, temporary.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    // Readable for the clients of other accounts when public, never writable for them: a claim is a
    // flock, which needs no write access. A claim the server holds itself is locked before it gets
    // its name, so no client ever takes it.
    if (::fchmod(fd, isPublic ? 0644 : 0600) != 0 || (held && ::flock(fd, LOCK_EX | LOCK_NB) != 0) ||
        ::renameat(dir.fd, temporary.c_str(), dir.fd, claim.c_str()) != 0) {
        ::unlinkat(dir.fd, temporary.c_str(), 0);
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool makeInstance(const std::string& stem, int maxInstances, bool isPublic, ServerInstance& out,
                  std::string& why) {
    PipeDirectory dir = openPipeDirectory(why);
    if (dir.fd < 0)
        return false;
    if (stem.empty()) {
        why = "empty pipe name";
        return false;
    }
    int limit = std::clamp(maxInstances, 1, 255);
    why = "all " + std::to_string(limit) + " instances of pipe " + stem + " exist";
    for (int instance = 0; instance < limit; ++instance) {
        std::string name = instanceName(stem, instance);
        // Files another account made under our names are not ours to use: that instance is taken.
        int owner = openOwnFile(dir, name + ".srv", O_RDWR, 0600);
        if (owner < 0) {
            why = "instance " + name + " in " + dir.path + " belongs to another account";
            continue;
        }
        if (::flock(owner, LOCK_EX | LOCK_NB) != 0) {
            ::close(owner);
            continue;
        }
        int claim = freshClaim(dir, name, isPublic, false);
        if (claim < 0 || !absentOrOwn(dir, name)) {
            why = "instance " + name + " in " + dir.path + " belongs to another account";
            if (claim >= 0)
                ::close(claim);
            ::close(owner);
            continue;
        }
        ::unlinkat(dir.fd, name.c_str(), 0);  // a socket left by an owner of ours that has gone
        sockaddr_un address;
        int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        std::string path = dir.path + "/" + name;
        // The directory is trusted, so no other account can put a link in place of our socket between
        // bind and the change of its mode; fchmodat refuses a link all the same.
        if (listener < 0 || !fillAddress(path, address) ||
            ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::fchmodat(dir.fd, name.c_str(), isPublic ? 0666 : 0600, AT_SYMLINK_NOFOLLOW) != 0 ||
            ::listen(listener, 4) != 0) {
            why = describe("cannot listen on", path);
            if (listener >= 0)
                ::close(listener);
            ::close(claim);
            ::close(owner);
            return false;
        }
        out.listenFd = listener;
        out.ownerLockFd = owner;
        out.claimFd = claim;
        out.name = name;
        out.isPublic = isPublic;
        out.claimedSinceMs = -1;
        out.dir = std::move(dir);
        why.clear();
        return true;
    }
    return false;
}

void releaseClaim(ServerInstance& instance) {
    if (instance.claimFd >= 0)
        ::flock(instance.claimFd, LOCK_UN);
}

void closeInstance(ServerInstance& instance) {
    if (instance.listenFd >= 0) {
        // Remove the socket and the claim while still owning the instance, so nothing of a newer
        // owner is removed. The owner file stays: a server about to lock it must not lock a file
        // that no longer has a name while a third one makes a new one.
        ::unlinkat(instance.dir.fd, instance.name.c_str(), 0);
        ::unlinkat(instance.dir.fd, (instance.name + ".lock").c_str(), 0);
        ::close(instance.listenFd);
    }
    if (instance.claimFd >= 0)
        ::close(instance.claimFd);
    if (instance.ownerLockFd >= 0)
        ::close(instance.ownerLockFd);
    instance = ServerInstance{};
}

bool renewClaim(ServerInstance& instance, bool hold) {
    if (instance.dir.fd < 0)
        return false;
    int claim = freshClaim(instance.dir, instance.name, instance.isPublic, hold);
    if (claim < 0)
        return false;
    if (instance.claimFd >= 0)
        ::close(instance.claimFd);
    instance.claimFd = claim;
    instance.claimedSinceMs = -1;
    return true;
}

bool claimHeld(const ServerInstance& instance) {
    // A flock cannot be looked at without taking it, and taking it for a moment would make a client
    // find the instance busy; the kernel's list of locks shows it without touching it.
    struct stat claim {};
    if (instance.claimFd < 0 || ::fstat(instance.claimFd, &claim) != 0)
        return false;
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major(claim.st_dev), minor(claim.st_dev),
                  static_cast<unsigned long>(claim.st_ino));
    FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks)
        return false;
    bool held = false;
    char line[256];
    while (!held && std::fgets(line, sizeof line, locks)) {
        // "1: FLOCK  ADVISORY  WRITE 5901 fe:00:10953048 0 EOF"; waiters are marked "->" and skipped.
        if (std::strstr(line, "->") || !std::strstr(line, " FLOCK "))
            continue;
        char* at = std::strstr(line, wanted);
        held = at && at[-1] == ' ' && at[std::strlen(wanted)] == ' ';
    }
    std::fclose(locks);
    return held;
}

int acceptClient(int listenFd, bool isPublic) {
    while (true) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return -1;
        }
        if ((isPublic || peerAcceptable(fd)) && peerPresent(fd))
            return fd;
        ::close(fd);
    }
}

ClientAttempt connectClient(const std::string& stem, bool anyServer, int& fd, int& claimFd,
                            std::string& why) {
    PipeDirectory dir = openPipeDirectory(why);
    if (dir.fd < 0)
        return ClientAttempt::Refused;
    bool sawInstance = false, refused = false;
    for (int instance : existingInstances(dir, stem)) {
        std::string name = instanceName(stem, instance);
        int claim = ::openat(dir.fd, (name + ".lock").c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (claim < 0) {
            if (errno == EACCES) {
                why = "pipe " + stem + " is private to another account";
                refused = true;
            }
            continue;
        }
        struct stat info {};
        if (::fstat(claim, &info) != 0 || !S_ISREG(info.st_mode) ||
            (!anyServer && !acceptableOwner(info.st_uid))) {
            ::close(claim);
            why =
                "instance " + name + " belongs to uid " + std::to_string(info.st_uid) + ", not to us or root";
            refused = true;
            continue;
        }
        if (::flock(claim, LOCK_EX | LOCK_NB) != 0) {
            ::close(claim);
            sawInstance = true;
            continue;
        }
        if (!claimCurrent(dir, name + ".lock", claim)) {
            // A claim the server has renewed meanwhile (it took a client, or let a squatter go): the
            // current one decides.
            ::close(claim);
            sawInstance = true;
            continue;
        }
        sockaddr_un address;
        int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (s < 0 || !fillAddress(dir.path + "/" + name, address)) {
            if (s >= 0)
                ::close(s);
            ::close(claim);
            continue;
        }
        int result = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int error = errno;
        if (result == 0 && !anyServer && !peerAcceptable(s)) {
            // Someone else's socket under the pipe's name: never talk to it.
            ::close(s);
            ::close(claim);
            why = "instance " + name + " is served by another account";
            refused = true;
            continue;
        }
        if (result == 0) {
            fd = s;
            claimFd = claim;
            return ClientAttempt::Connected;
        }
        ::close(s);
        ::close(claim);
        if (error == EACCES || error == EPERM) {
            why = "pipe " + stem + " is private to another account";
            refused = true;
        }
        if (error == EAGAIN)
            sawInstance = true;  // its owner has not taken earlier clients yet
        // ECONNREFUSED, ENOENT: a socket whose owner has gone
    }
    if (sawInstance)
        return ClientAttempt::Busy;
    if (refused)
        return ClientAttempt::Refused;
    why = "pipe " + stem + " not found in " + dir.path;
    return ClientAttempt::NotFound;
}

bool noteClaimWithoutClient(ServerInstance& instance) {
    if (!claimHeld(instance)) {
        instance.claimedSinceMs = -1;
        return false;
    }
    long now = steadyMilliseconds();
    if (instance.claimedSinceMs < 0) {
        instance.claimedSinceMs = now;
        return false;
    }
    return now - instance.claimedSinceMs >= kClaimGraceMs && renewClaim(instance, false);
}

}  // namespace qx::detail
