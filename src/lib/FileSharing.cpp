#include "FileSharing.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstdint>

namespace qx::detail {
namespace {

// Far past any file's data and past the locks of the table conventions (below 2^41).
constexpr std::int64_t kMarksAt = std::int64_t(1) << 62;
constexpr std::int64_t kReading = kMarksAt;
constexpr std::int64_t kWriting = kMarksAt + 1;
constexpr std::int64_t kDenyingRead = kMarksAt + 2;
constexpr std::int64_t kDenyingWrite = kMarksAt + 3;

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
    // The gate is a whole-file flock, which any descriptor may take whatever its access; it is held
    // only for a few system calls, so waiting for it is short.
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
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
