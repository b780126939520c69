#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "DosFileIo.h"

namespace qx::detail {

bool openDosFile(const char* name, const DosOpenRequest& request, int& fd, int& markFd) {
    const SharingRequest& sharing = request.sharing;
    int flags = sharing.reads && sharing.writes ? O_RDWR : sharing.writes ? O_WRONLY : O_RDONLY;
    if (request.append)
        flags |= O_APPEND;
    // Create never empties the file before the sharing rule has let it in: a file that another
    // process holds exclusively keeps its contents.
    int opened = ::open(name, flags | O_CLOEXEC | (request.create ? O_CREAT : 0), 0666);
    if (opened < 0)
        return false;
    int mark = sharing.reads ? opened : ::open(name, O_RDONLY | O_CLOEXEC);
    bool claimed = claimSharing(opened, mark, sharing, [&] {
        if (!request.create)
            return true;
        if (sharing.writes)
            return ::ftruncate(opened, 0) == 0;
        int writer = ::open(name, O_WRONLY | O_TRUNC | O_CLOEXEC);
        return writer >= 0 && ::close(writer) == 0;
    });
    if (!claimed) {
        if (mark >= 0 && mark != opened)
            ::close(mark);
        ::close(opened);
        return false;
    }
    fd = opened;
    markFd = mark != opened ? mark : -1;
    return true;
}

bool closeDosFile(int fd, int markFd) {
    int result = ::close(fd);
    if (markFd >= 0)
        ::close(markFd);
    return result == 0;
}

std::int64_t seekDosFile(int fd, std::int64_t offset, SeekFrom from) {
    int whence = from == SeekFrom::Start ? SEEK_SET : from == SeekFrom::End ? SEEK_END : SEEK_CUR;
    off_t pos = ::lseek(fd, off_t(offset), whence);
    return pos < 0 ? -1 : std::int64_t(pos);
}

std::int64_t readDosFile(int fd, void* into, std::size_t count) {
    for (;;) {
        ssize_t n = ::read(fd, into, count);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

std::int64_t writeDosFile(int fd, const void* from, std::size_t count) {
    for (;;) {
        ssize_t n = ::write(fd, from, count);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

std::int64_t readDosFileAt(int fd, void* into, std::size_t count, std::int64_t offset) {
    return ::pread(fd, into, count, off_t(offset));
}

}  // namespace qx::detail
