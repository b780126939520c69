#include "qxclass/CDosFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "FileSharing.h"

namespace {

int accessFlags(int mode) {
    switch (mode & 0x0f) {
        case CDosFile::OF_READ:
            return O_RDONLY;
        case CDosFile::OF_WRITE:
            return O_WRONLY;
        case CDosFile::OF_READWRITE:
            return O_RDWR;
        default:
            return -1;
    }
}

// The sharing value of `mode`; false for a value that is none of the five.
bool sharingOf(int mode, qx::detail::SharingRequest& sharing) {
    switch (mode & 0x70) {
        case CDosFile::OF_SHARE_COMPAT:
        case CDosFile::OF_SHARE_DENY_NONE:
            return true;
        case CDosFile::OF_SHARE_EXCLUSIVE:
            sharing.denyRead = sharing.denyWrite = true;
            return true;
        case CDosFile::OF_SHARE_DENY_WRITE:
            sharing.denyWrite = true;
            return true;
        case CDosFile::OF_SHARE_DENY_READ:
            sharing.denyRead = true;
            return true;
        default:
            return false;
    }
}

}  // namespace

CDosFile::CDosFile(const char* name) : m_name(name ? strdup(name) : nullptr) {}

CDosFile::CDosFile(const char* name, bool append) : m_name(name ? strdup(name) : nullptr), m_append(append) {}

CDosFile::~CDosFile() {
    Close();
    free(m_name);
}

CLogFile::CLogFile(const char* name) : CDosFile(name, true) {}

CLogFile::~CLogFile() = default;

int CDosFile::Create(int mode) {
    return OpenFile(mode, true);
}

int CDosFile::Open(int mode) {
    return OpenFile(mode, false);
}

int CDosFile::OpenFile(int mode, bool create) {
    if (!m_name)
        return 0;
    Close();
    int flags = accessFlags(mode);
    qx::detail::SharingRequest sharing;
    if (flags < 0 || !sharingOf(mode, sharing))
        return 0;
    sharing.reads = flags != O_WRONLY;
    sharing.writes = flags != O_RDONLY;
    sharing.truncates = create;
    // A log file only ever grows at its end: every write lands there in one piece, whatever other
    // processes append at the same time.
    if (m_append && sharing.writes)
        flags |= O_APPEND;
    // Create never empties the file before the sharing rule has let it in: a file that another
    // process holds exclusively keeps its contents.
    int fd = ::open(m_name, flags | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0)
        return 0;
    int markFd = sharing.reads ? fd : ::open(m_name, O_RDONLY | O_CLOEXEC);
    bool claimed = qx::detail::claimSharing(fd, markFd, sharing, [&] {
        if (!create)
            return true;
        if (sharing.writes)
            return ::ftruncate(fd, 0) == 0;
        int writer = ::open(m_name, O_WRONLY | O_TRUNC | O_CLOEXEC);
        return writer >= 0 && ::close(writer) == 0;
    });
    if (!claimed) {
        if (markFd >= 0 && markFd != fd)
            ::close(markFd);
        ::close(fd);
        return 0;
    }
    m_fd = fd;
    m_markFd = markFd != fd ? markFd : -1;
    return 1;
}

int CDosFile::Close() {
    if (m_fd < 0)
        return 0;
    int result = ::close(m_fd);
    if (m_markFd >= 0)
        ::close(m_markFd);
    m_fd = m_markFd = -1;
    return result == 0 ? 1 : 0;
}

int CDosFile::Seek(long pos) {
    if (m_fd < 0 || pos < 0)
        return 0;
    return ::lseek(m_fd, pos, SEEK_SET) == pos ? 1 : 0;
}

int CDosFile::SeekEof() {
    if (m_fd < 0)
        return 0;
    return ::lseek(m_fd, 0, SEEK_END) >= 0 ? 1 : 0;
}

long CDosFile::GetPos() {
    if (m_fd < 0)
        return -1;
    off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    return pos < 0 ? -1 : static_cast<long>(pos);
}

int CDosFile::Read(void* buf, std::size_t count, std::size_t& done) {
    done = 0;
    if (m_fd < 0 || (!buf && count > 0))
        return 0;
    auto* bytes = static_cast<char*>(buf);
    while (done < count) {
        ssize_t n = ::read(m_fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            done = 0;
            return 0;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return 1;
}

int CDosFile::Read(void* buf, std::size_t count) {
    std::size_t done = 0;
    return Read(buf, count, done);
}

int CDosFile::Write(const void* buf, std::size_t count, std::size_t& done) {
    done = 0;
    if (m_fd < 0 || (!buf && count > 0))
        return 0;
    const auto* bytes = static_cast<const char*>(buf);
    while (done < count) {
        ssize_t n = ::write(m_fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        done += static_cast<std::size_t>(n);
    }
    return 1;
}

int CDosFile::Write(const void* buf, std::size_t count) {
    std::size_t done = 0;
    return Write(buf, count, done);
}

int CDosFile::ReadLine(char* buf, std::size_t size) {
    if (m_fd < 0 || !buf || size == 0)
        return 0;
    long start = GetPos();
    if (start < 0)
        return 0;
    std::size_t n = 0;
    if (!Read(buf, size - 1, n))
        return 0;
    for (std::size_t i = 2; i <= n; ++i) {
        if (buf[i - 2] == '\r' && buf[i - 1] == '\n') {
            buf[i - 2] = '\0';
            return Seek(start + static_cast<long>(i));
        }
    }
    buf[n] = '\0';
    // A CR LF is never split where the buffer ends: a CR as the last byte read whose LF follows ends
    // the line there, and a piece that fills the buffer exactly and is followed by CR LF is a whole
    // line, so the next call does not return an empty one for its line end.
    char after[2] = {};
    ssize_t more = n > 0 ? ::pread(m_fd, after, sizeof after, start + static_cast<long>(n)) : 0;
    if (more >= 1 && buf[n - 1] == '\r' && after[0] == '\n') {
        buf[n - 1] = '\0';
        return Seek(start + static_cast<long>(n) + 1);
    }
    if (more == 2 && n == size - 1 && after[0] == '\r' && after[1] == '\n')
        return Seek(start + static_cast<long>(n) + 2);
    return Seek(start + static_cast<long>(n));
}
