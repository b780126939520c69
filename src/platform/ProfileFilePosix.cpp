#include "ProfileFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "FileHandle.h"
#include "ProfileParser.h"

namespace qx {

namespace {

// Allocates the first `size` bytes of the open file without changing its size or content. Returns 0,
// or the error number. A file system without the call gets the portable reservation, which may grow the
// file; a failure takes it back to `oldSize`.
int reserveSpace(int fd, off_t size, off_t oldSize) {
    if (size == 0)
        return 0;
    int result;
    do
        result = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    int error = ::posix_fallocate(fd, 0, size);
    if (error != 0 && ::ftruncate(fd, oldSize) != 0)
        return errno;
    return error;
}

}  // namespace

ProfileDirectoryLock::ProfileDirectoryLock(const std::filesystem::path& directory) {
    FileHandle directoryHandle(
        openRetrying(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY));
    if (!directoryHandle.valid())
        return;
    int result;
    do
        result = ::flock(directoryHandle.get(), LOCK_EX);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return;
    m_fd = directoryHandle.release();
}

ProfileDirectoryLock::~ProfileDirectoryLock() {
    FileHandle held(m_fd);  // its close releases the lock
}

std::optional<FileSnapshot> readFileSnapshot(const std::filesystem::path& path) {
    FileSnapshot snapshot;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
    const FileHandle file(openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY));
    const int fd = file.get();
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return snapshot;
        return std::nullopt;
    }
    bool ok = ::fstat(fd, &snapshot.status) == 0 && S_ISREG(snapshot.status.st_mode);
    if (ok) {
        // One read for the whole file when it does not grow meanwhile; the buffer is the file's size.
        std::size_t size = static_cast<std::size_t>(snapshot.status.st_size);
        snapshot.bytes.resize(size + 1);
        std::size_t have = 0;
        for (;;) {
            if (have == snapshot.bytes.size())
                snapshot.bytes.resize(snapshot.bytes.size() * 2);
            ssize_t got = ::read(fd, snapshot.bytes.data() + have, snapshot.bytes.size() - have);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                ok = false;
            if (got <= 0)
                break;
            have += static_cast<std::size_t>(got);
        }
        snapshot.bytes.resize(have);
    }
    if (!ok)
        return std::nullopt;
    snapshot.exists = true;
    return snapshot;
}

std::optional<std::optional<std::string>> findProfileValueInFile(const std::filesystem::path& path,
                                                                 std::string_view section,
                                                                 std::string_view key,
                                                                 std::size_t blockSize) {
    const FileHandle file(openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY));
    const int fd = file.get();
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    ProfileSeek seek(section, key);
    std::string buffer;
    std::size_t have = 0;
    bool first = true, atEnd = false, failed = false;
    std::size_t searched = 0;  // bytes of the buffer known to hold no line end
    std::optional<std::string> value;
    while (!seek.done && !atEnd) {
        if (buffer.size() < have + blockSize)
            buffer.resize(have + blockSize);
        ssize_t got = ::read(fd, buffer.data() + have, blockSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            failed = true;
            break;
        }
        atEnd = got == 0;
        have += static_cast<std::size_t>(got);
        std::string_view text(buffer.data(), have);
        std::size_t skip = 0;
        if (first) {
            if (have < 3 && !atEnd)
                continue;  // not enough to tell the byte-order mark yet
            first = false;
            if (text.starts_with("\xFF\xFE")) {
                failed = true;  // UTF-16: converted only by a whole read
                break;
            }
            if (text.starts_with("\xEF\xBB\xBF"))
                skip = 3;
        }
        // Whole lines only: up to the last LF, or in a file of CRs alone up to the last CR that is not
        // the block's last byte (an LF may follow it in the next block). Only what came since the last
        // search is searched: a line of many blocks would otherwise be searched again at every block.
        std::size_t end = have;
        if (!atEnd) {
            const std::size_t from = std::max(searched, skip);
            std::string_view fresh = text.substr(from);
            std::size_t lf = fresh.rfind('\n');
            std::size_t cr = fresh.size() >= 2 ? fresh.rfind('\r', fresh.size() - 2) : std::string_view::npos;
            countProfileBytesScanned(2 * fresh.size());
            if (lf != std::string_view::npos)
                end = from + lf + 1;
            else if (cr != std::string_view::npos)
                end = from + cr + 1;
            else
                end = skip;  // one line longer than the block: read on
        }
        const bool noLineEnd = end == skip;
        seek.feed(text.substr(skip, end - skip));
        if (seek.value)
            value = std::string(*seek.value);
        buffer.erase(0, end);
        have -= end;
        // What is left was searched unless lines were taken; its last byte may be a CR whose LF is
        // still to come.
        searched = noLineEnd && have > 0 ? have - 1 : 0;
    }
    if (failed)
        return std::nullopt;
    return value;
}

FileWrite rewriteFileInPlace(const std::filesystem::path& target, std::string_view bytes) {
    FileWrite result;
    FileHandle file(openRetrying(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
    const int fd = file.get();
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    struct stat status {};
    bool ok = ::fstat(fd, &status) == 0;
    if (ok && !S_ISREG(status.st_mode)) {
        errno = EINVAL;
        ok = false;
    }
    // Not a byte of the old text is overwritten before the new one is sure to fit: on a full file system
    // the write is refused and the file stays whole.
    if (ok) {
        int reserved = reserveSpace(fd, static_cast<off_t>(bytes.size()), status.st_size);
        if (reserved != 0) {
            errno = reserved;
            ok = false;
        }
    }
    ok = ok && writeWhole(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
         ::fsync(fd) == 0;
    if (!ok)
        result.error = errno ? errno : EIO;
    ok = !file.close() && ok;
    result.ok = ok;
    if (!ok && result.error == 0)
        result.error = EIO;
    return result;
}

}  // namespace qx
