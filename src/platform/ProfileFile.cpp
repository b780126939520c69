#include "ProfileFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace qx {

namespace {

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do
        fd = ::open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

ProfileDirectoryLock::ProfileDirectoryLock(const std::filesystem::path& directory) {
    int fd = openRetrying(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    int result;
    do
        result = ::flock(fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

ProfileDirectoryLock::~ProfileDirectoryLock() {
    if (m_fd >= 0)
        ::close(m_fd);  // releases the lock
}

std::optional<FileSnapshot> readFileSnapshot(const std::filesystem::path& path) {
    FileSnapshot snapshot;
    int fd = openRetrying(path.c_str(), O_RDONLY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return snapshot;
        return std::nullopt;
    }
    bool ok = ::fstat(fd, &snapshot.status) == 0 && S_ISREG(snapshot.status.st_mode);
    if (ok) {
        snapshot.bytes.reserve(static_cast<std::size_t>(snapshot.status.st_size));
        char buffer[16384];
        for (;;) {
            ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                ok = false;
            if (got <= 0)
                break;
            snapshot.bytes.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    snapshot.exists = true;
    return snapshot;
}

bool replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                           const struct stat* previous) {
    std::filesystem::path temporary = target;
    temporary.replace_filename("." + target.filename().string() + ".qxtmp");
    // A temporary left by a writer that was killed is stale; removing it lets O_EXCL give us a fresh
    // file whose mode comes from the umask, not from the leftover.
    ::unlink(temporary.c_str());
    int fd = openRetrying(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (fd < 0)
        return false;
    bool ok = true;
    if (previous) {
        ok = ::fchmod(fd, previous->st_mode & 07777) == 0;
        if (ok && (previous->st_uid != ::geteuid() || previous->st_gid != ::getegid()))
            (void)!::fchown(fd, previous->st_uid, previous->st_gid);  // only root can; others keep theirs
    }
    // Synced before the rename, so that a power loss cannot leave an empty file under the old name.
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

}  // namespace qx
