#include "DbfLock.h"

#include <fcntl.h>

#include <cerrno>
#include <thread>

namespace qx::dbf {

LockConvention::LockConvention(std::uint64_t base, std::uint64_t tableLength, bool downward)
    : m_base(base), m_tableLength(tableLength == 0 ? 1 : tableLength), m_downward(downward) {}

LockConvention LockConvention::clipper() {
    return LockConvention(1'000'000'000, 1'000'000'000);
}

ByteRange LockConvention::record(std::uint32_t recordNumber) const {
    return {m_downward ? m_base - recordNumber : m_base + recordNumber, 1};
}

ByteRange LockConvention::table() const {
    return {m_downward ? m_base + 1 - m_tableLength : m_base, m_tableLength};
}

ByteRange LockConvention::append() const {
    return {m_base, 1};
}

TableLocks::TableLocks(int fd, LockConvention convention, LockPatience patience)
    : m_fd(fd), m_convention(convention), m_patience(patience) {}

bool TableLocks::take(ByteRange range) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(range.start);
    lock.l_len = off_t(range.length);
    int attempts = m_patience.attempts < 1 ? 1 : m_patience.attempts;
    for (int attempt = 1;; ++attempt) {
        if (fcntl(m_fd, F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno == EINTR)
            continue;
        // Only a lock held elsewhere is worth waiting for; a descriptor without write access is not.
        if ((errno != EAGAIN && errno != EACCES) || attempt >= attempts)
            return false;
        std::this_thread::sleep_for(m_patience.pause);
    }
}

void TableLocks::release(ByteRange range) {
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(range.start);
    lock.l_len = off_t(range.length);
    while (fcntl(m_fd, F_OFD_SETLK, &lock) != 0 && errno == EINTR) {
    }
}

bool TableLocks::lockTable() {
    if (m_holdsTable)
        return true;
    m_holdsTable = take(m_convention.table());
    return m_holdsTable;
}

bool TableLocks::lockRecord(std::uint32_t recordNumber) {
    return m_holdsTable || take(m_convention.record(recordNumber));
}

bool TableLocks::lockAppend() {
    return m_holdsTable || take(m_convention.append());
}

void TableLocks::unlockRecord(std::uint32_t recordNumber) {
    if (!m_holdsTable)
        release(m_convention.record(recordNumber));
}

void TableLocks::unlockAppend() {
    if (!m_holdsTable)
        release(m_convention.append());
}

void TableLocks::unlockAll() {
    // Every lock of the conventions goes, but not the in-use lock, which lives as long as the table.
    release({0, kInUseLockAt});
    release({kInUseLockAt + 1, 0});
    m_holdsTable = false;
}

namespace {

bool setInUse(int fd, short type, int command) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(kInUseLockAt);
    lock.l_len = 1;
    for (;;) {
        if (fcntl(fd, command, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

}  // namespace

namespace {

bool setTransfer(int fd, short type, std::uint32_t first, std::uint32_t count) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(kTransferLockAt + first);
    lock.l_len = off_t(count == 0 ? 1 : count);
    for (;;) {
        if (fcntl(fd, type == F_UNLCK ? F_OFD_SETLK : F_OFD_SETLKW, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

}  // namespace

bool TableLocks::beginRead(std::uint32_t first, std::uint32_t count) const {
    return setTransfer(m_fd, F_RDLCK, first, count);
}

bool TableLocks::beginWrite(std::uint32_t first, std::uint32_t count) const {
    return setTransfer(m_fd, F_WRLCK, first, count);
}

void TableLocks::endTransfer(std::uint32_t first, std::uint32_t count) const {
    setTransfer(m_fd, F_UNLCK, first, count);
}

bool TableLocks::markInUse() {
    return setInUse(m_fd, F_RDLCK, F_OFD_SETLKW);
}

bool TableLocks::takeSole() {
    return setInUse(m_fd, F_WRLCK, F_OFD_SETLK);
}

void TableLocks::releaseSole() {
    setInUse(m_fd, F_RDLCK, F_OFD_SETLK);
}

}  // namespace qx::dbf
