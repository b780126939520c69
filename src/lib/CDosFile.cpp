#include "qxclass/CDosFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

}  // namespace

CDosFile::CDosFile(const char* name) : m_name(name ? strdup(name) : nullptr) {}

CDosFile::~CDosFile() {
    Close();
    free(m_name);
}

CLogFile::~CLogFile() = default;

int CDosFile::Create(int mode) {
    if (!m_name)
        return 0;
    Close();
    int fd = ::open(m_name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return 0;
    ::close(fd);
    return Open(mode);
}

int CDosFile::Open(int mode) {
    if (!m_name)
        return 0;
    Close();
    int flags = accessFlags(mode);
    if (flags < 0)
        return 0;
    int fd = ::open(m_name, flags | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int lock = (mode & 0x70) == OF_SHARE_EXCLUSIVE ? LOCK_EX : LOCK_SH;
    if (::flock(fd, lock | LOCK_NB) != 0) {
        ::close(fd);
        return 0;
    }
    m_fd = fd;
    return 1;
}

int CDosFile::Close() {
    if (m_fd < 0)
        return 0;
    int result = ::close(m_fd);
    m_fd = -1;
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
    for (std::size_t i = 2; i < n; ++i) {
        if (buf[i - 2] == '\r' && buf[i - 1] == '\n') {
            buf[i - 2] = '\0';
            return Seek(start + static_cast<long>(i));
        }
    }
    buf[n] = '\0';
    if (n >= 2 && buf[n - 2] == '\r' && buf[n - 1] == '\n')
        buf[n - 2] = '\0';
    return Seek(start + static_cast<long>(n));
}
