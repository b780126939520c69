#include "qxclass/CDosFile.h"

#include <cstdlib>
#include <cstring>

#include "DosFileIo.h"

namespace {

// The access of `mode` into `sharing`; false for an unknown access value.
bool accessOf(int mode, qx::detail::SharingRequest& sharing) {
    switch (mode & 0x0f) {
        case CDosFile::OF_READ:
            sharing.reads = true;
            return true;
        case CDosFile::OF_WRITE:
            sharing.writes = true;
            return true;
        case CDosFile::OF_READWRITE:
            sharing.reads = sharing.writes = true;
            return true;
        default:
            return false;
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
    qx::detail::DosOpenRequest request;
    if (!accessOf(mode, request.sharing) || !sharingOf(mode, request.sharing))
        return 0;
    request.sharing.truncates = request.create = create;
    // A log file only ever grows at its end: every write lands there in one piece, whatever other
    // processes append at the same time.
    request.append = m_append && request.sharing.writes;
    int fd = -1, markFd = -1;
    if (!qx::detail::openDosFile(m_name, request, fd, markFd))
        return 0;
    m_fd = fd;
    m_markFd = markFd;
    return 1;
}

int CDosFile::Close() {
    if (m_fd < 0)
        return 0;
    bool closed = qx::detail::closeDosFile(m_fd, m_markFd);
    m_fd = m_markFd = -1;
    return closed ? 1 : 0;
}

int CDosFile::Seek(long pos) {
    if (m_fd < 0 || pos < 0)
        return 0;
    return qx::detail::seekDosFile(m_fd, pos, qx::detail::SeekFrom::Start) == pos ? 1 : 0;
}

int CDosFile::SeekEof() {
    if (m_fd < 0)
        return 0;
    return qx::detail::seekDosFile(m_fd, 0, qx::detail::SeekFrom::End) >= 0 ? 1 : 0;
}

long CDosFile::GetPos() {
    if (m_fd < 0)
        return -1;
    std::int64_t pos = qx::detail::seekDosFile(m_fd, 0, qx::detail::SeekFrom::Current);
    return pos < 0 ? -1 : static_cast<long>(pos);
}

int CDosFile::Read(void* buf, std::size_t count, std::size_t& done) {
    done = 0;
    if (m_fd < 0 || (!buf && count > 0))
        return 0;
    auto* bytes = static_cast<char*>(buf);
    while (done < count) {
        std::int64_t n = qx::detail::readDosFile(m_fd, bytes + done, count - done);
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
        std::int64_t n = qx::detail::writeDosFile(m_fd, bytes + done, count - done);
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
    std::int64_t more =
        n > 0 ? qx::detail::readDosFileAt(m_fd, after, sizeof after, start + static_cast<long>(n)) : 0;
    if (more >= 1 && buf[n - 1] == '\r' && after[0] == '\n') {
        buf[n - 1] = '\0';
        return Seek(start + static_cast<long>(n) + 1);
    }
    if (more == 2 && n == size - 1 && after[0] == '\r' && after[1] == '\n')
        return Seek(start + static_cast<long>(n) + 2);
    return Seek(start + static_cast<long>(n));
}
