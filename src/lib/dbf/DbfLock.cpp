#include "DbfLock.h"

#include <algorithm>
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

TableLocks::TableLocks(io::Handle file, LockConvention convention, LockPatience patience)
    : m_file(file), m_convention(convention), m_patience(patience) {}

bool TableLocks::holds(ByteRange range) const {
    return std::find_if(m_held.begin(), m_held.end(), [&](const ByteRange& held) {
               return held.start == range.start && held.length == range.length;
           }) != m_held.end();
}

bool TableLocks::take(ByteRange range) {
    // Where locks do not merge, a second lock over our own range would conflict with the first.
    if (holds(range))
        return true;
    int attempts = m_patience.attempts < 1 ? 1 : m_patience.attempts;
    for (int attempt = 1;; ++attempt) {
        io::LockResult result =
            io::lockRange(m_file, range.start, range.length, io::LockKind::Exclusive, false);
        if (result == io::LockResult::Taken) {
            m_held.push_back(range);
            return true;
        }
        if (result == io::LockResult::Failed || attempt >= attempts)
            return false;
        std::this_thread::sleep_for(m_patience.pause);
    }
}

void TableLocks::release(ByteRange range) {
    auto held = std::find_if(m_held.begin(), m_held.end(), [&](const ByteRange& lock) {
        return lock.start == range.start && lock.length == range.length;
    });
    if (held == m_held.end())
        return;
    m_held.erase(held);
    io::unlockRange(m_file, range.start, range.length);
}

bool TableLocks::lockTable() {
    if (m_holdsTable)
        return true;
    ByteRange table = m_convention.table();
    if (io::kLocksMerge) {
        m_holdsTable = take(table);
        return m_holdsTable;
    }
    // Our own record and append locks lie inside the table lock and would conflict with it: they give
    // way to it, and come back when it cannot be had.
    std::vector<ByteRange> inside;
    for (const ByteRange& held : m_held)
        if (held.start >= table.start && held.start + held.length <= table.start + table.length)
            inside.push_back(held);
    for (const ByteRange& range : inside)
        release(range);
    m_holdsTable = take(table);
    if (!m_holdsTable)
        for (const ByteRange& range : inside)
            take(range);
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
    while (!m_held.empty())
        release(m_held.back());
    m_holdsTable = false;
}

bool TableLocks::beginRead(std::uint32_t first, std::uint32_t count) const {
    return io::lockRange(m_file, kTransferLockAt + first, count == 0 ? 1 : count, io::LockKind::Shared,
                         true) == io::LockResult::Taken;
}

bool TableLocks::beginWrite(std::uint32_t first, std::uint32_t count) const {
    return io::lockRange(m_file, kTransferLockAt + first, count == 0 ? 1 : count, io::LockKind::Exclusive,
                         true) == io::LockResult::Taken;
}

void TableLocks::endTransfer(std::uint32_t first, std::uint32_t count) const {
    io::unlockRange(m_file, kTransferLockAt + first, count == 0 ? 1 : count);
}

bool TableLocks::markInUse() {
    return io::lockRange(m_file, kInUseLockAt, 1, io::LockKind::Shared, true) == io::LockResult::Taken;
}

bool TableLocks::takeSole() {
    return io::relock(m_file, kInUseLockAt, 1, io::LockKind::Exclusive, false);
}

void TableLocks::releaseSole() {
    io::relock(m_file, kInUseLockAt, 1, io::LockKind::Shared, true);
}

}  // namespace qx::dbf
