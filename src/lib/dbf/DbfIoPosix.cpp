#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "DbfIo.h"

namespace qx::dbf::io {

const bool kLocksMerge = true;

std::filesystem::path pathOf(const char* name) {
    return std::filesystem::path(name);
}

Handle openExisting(const std::filesystem::path& file, bool& writable, OpenFailure& why) {
    why = OpenFailure::None;
    // O_NONBLOCK keeps a FIFO given as table name from hanging the open; it is refused below.
    int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    writable = fd >= 0;
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY))
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = errno == ENOENT || errno == ENOTDIR ? OpenFailure::NoFile : OpenFailure::NotReadable;
        return kNoFile;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = S_ISREG(st.st_mode) ? OpenFailure::NotReadable : OpenFailure::NotRegular;
        ::close(fd);
        return kNoFile;
    }
    return fd;
}

bool createNew(const std::filesystem::path& file, std::span<const unsigned char> bytes) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool written = writeAt(fd, bytes.data(), bytes.size(), 0);
    written = ::close(fd) == 0 && written;
    if (!written)
        ::unlink(file.c_str());
    return written;
}

bool replace(const std::filesystem::path& file, std::span<const unsigned char> bytes) {
    struct stat old {};
    bool hadFile = ::lstat(file.c_str(), &old) == 0;
    // The new table is written beside the old one and takes its name in one step. It keeps the old
    // file's access rights (and, for root, its owner), as the programs sharing the table expect them.
    std::string temporary = file.string() + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    if (hadFile && S_ISREG(old.st_mode)) {
        // Neither failure is fatal: the table is still ours to write.
        if (::geteuid() != 0 || ::fchown(fd, old.st_uid, old.st_gid) == 0)
            ::fchmod(fd, old.st_mode & 07777);
    }
    bool written = writeAt(fd, bytes.data(), bytes.size(), 0);
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool exists(const std::filesystem::path& file) {
    struct stat st {};
    return ::lstat(file.c_str(), &st) == 0;
}

void close(Handle file) {
    ::close(int(file));
}

std::int64_t readAt(Handle file, void* into, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(int(file), static_cast<char*>(into) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return std::int64_t(done);
}

bool writeAt(Handle file, const void* from, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n =
            ::pwrite(int(file), static_cast<const char*>(from) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

std::int64_t length(Handle file) {
    struct stat st {};
    if (::fstat(int(file), &st) != 0)
        return -1;
    return std::int64_t(st.st_size);
}

bool truncate(Handle file, std::uint64_t size) {
    return ::ftruncate(int(file), off_t(size)) == 0;
}

bool syncData(Handle file) {
    return ::fdatasync(int(file)) == 0;
}

std::tm localNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::chrono::steady_clock::time_point coarseNow() {
    // The coarse clock costs no system call; its few milliseconds of resolution are enough here.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::chrono::steady_clock::time_point(std::chrono::seconds(now.tv_sec) +
                                                 std::chrono::nanoseconds(now.tv_nsec));
}

namespace {

// Open-file-description locks (F_OFD_*): they belong to the open file, not to the process.
bool setLock(Handle file, short type, std::uint64_t start, std::uint64_t size, bool wait, int& error) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(start);
    lock.l_len = off_t(size);
    for (;;) {
        if (::fcntl(int(file), wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
}

short typeOf(LockKind kind) {
    return kind == LockKind::Shared ? F_RDLCK : F_WRLCK;
}

}  // namespace

LockResult lockRange(Handle file, std::uint64_t start, std::uint64_t size, LockKind kind, bool wait) {
    int error = 0;
    if (setLock(file, typeOf(kind), start, size, wait, error))
        return LockResult::Taken;
    // Only a lock held elsewhere is worth waiting for; a descriptor without write access is not.
    return error == EAGAIN || error == EACCES ? LockResult::Busy : LockResult::Failed;
}

void unlockRange(Handle file, std::uint64_t start, std::uint64_t size) {
    int error = 0;
    setLock(file, F_UNLCK, start, size, false, error);
}

bool relock(Handle file, std::uint64_t start, std::uint64_t size, LockKind to, bool wait) {
    int error = 0;
    return setLock(file, typeOf(to), start, size, wait, error);
}

}  // namespace qx::dbf::io
