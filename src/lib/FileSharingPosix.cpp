#include "FileSharing.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

namespace qx::detail {
namespace {

// Far past any file's data and past the locks of the table conventions (below 2^41).
constexpr std::int64_t kMarksAt = std::int64_t(1) << 62;
constexpr std::int64_t kReading = kMarksAt;
constexpr std::int64_t kWriting = kMarksAt + 1;
constexpr std::int64_t kDenyingRead = kMarksAt + 2;
constexpr std::int64_t kDenyingWrite = kMarksAt + 3;
constexpr auto kGatePatience = std::chrono::seconds(2);

bool setLock(int fd, short type, std::int64_t at) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(at);
    lock.l_len = 1;
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// True when another open holds a mark at `at`.
bool marked(int fd, std::int64_t at) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(at);
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return true;  // cannot tell: count it as held
    return lock.l_type != F_UNLCK;
}

}  // namespace

bool claimSharing(int fd, int markFd, const SharingRequest& request,
                  const std::function<bool()>& whileGated) {
    if (markFd < 0 && (request.denyRead || request.denyWrite))
        return false;
    // The gate is a whole-file flock, which any descriptor may take whatever its access. We hold it
    // only for a few system calls; someone else holding it for seconds (a program that keeps a flock on
    // the file) makes the open fail rather than hang.
    auto giveUp = std::chrono::steady_clock::now() + kGatePatience;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    bool allowed = !(request.reads && marked(fd, kDenyingRead)) &&
                   !((request.writes || request.truncates) && marked(fd, kDenyingWrite)) &&
                   !(request.denyRead && marked(fd, kReading)) &&
                   !(request.denyWrite && marked(fd, kWriting));
    if (allowed && whileGated)
        allowed = whileGated();
    if (allowed && markFd >= 0)
        allowed = (!request.reads || setLock(markFd, F_RDLCK, kReading)) &&
                  (!request.writes || setLock(markFd, F_RDLCK, kWriting)) &&
                  (!request.denyRead || setLock(markFd, F_RDLCK, kDenyingRead)) &&
                  (!request.denyWrite || setLock(markFd, F_RDLCK, kDenyingWrite));
    ::flock(fd, LOCK_UN);
    return allowed;
}

}  // namespace qx::detail
