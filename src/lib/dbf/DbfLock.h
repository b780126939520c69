#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "DbfIo.h"

namespace qx::dbf {

struct ByteRange {
    std::uint64_t start = 0;
    std::uint64_t length = 0;
};

// Where the programs sharing a table place their byte-range locks. Locks lie far past the data so that
// they never stop a reader; another program sees ours only when both use the same convention.
class LockConvention {
public:
    // Record n at base + n (downward: base - n), one byte each; the whole table is `tableLength` bytes
    // from base upward (downward: ending at base). The append lock is the byte of record 0 (the base):
    // two programs never place new records on the same number, and a table lock excludes appending.
    LockConvention(std::uint64_t base, std::uint64_t tableLength, bool downward = false);

    // Clipper's convention, the default: base 1,000,000,000, table length 1,000,000,000.
    static LockConvention clipper();

    ByteRange record(std::uint32_t recordNumber) const;
    ByteRange table() const;
    ByteRange append() const;

    bool operator==(const LockConvention&) const = default;

private:
    std::uint64_t m_base;
    std::uint64_t m_tableLength;
    bool m_downward;
};

// Where every table of this engine holds a shared lock while it is open, far beyond the locks of any
// convention: pack needs it alone, so that it never moves records under a reader or writer of ours.
inline constexpr std::uint64_t kInUseLockAt = std::uint64_t(1) << 40;

// Where our tables mark the records they are writing or reading right now (record n at the base plus
// n, the header's record count as record 0), beyond every convention's locks and the in-use lock. A
// writer holds an exclusive lock there only while its bytes go to the file, a reader a shared one over
// the records it reads only while it reads them, so a reader of ours sees every record whole, before
// or after a change of ours, and neither ever waits for a program's long-held record or table lock.
inline constexpr std::uint64_t kTransferLockAt = std::uint64_t(1) << 41;

// How long a lock that another program holds is waited for before the operation gives up.
struct LockPatience {
    int attempts = 50;
    std::chrono::milliseconds pause{10};
};

// The byte-range locks of one open table (io::lockRange): they belong to this open file, not to the
// process, so two tables open in one process exclude each other just as two programs do, and closing
// another open of the same file does not drop them. Write locks need a file opened for writing. The
// locks of the convention taken are remembered and released one by one, as systems whose locks do not
// merge require.
class TableLocks {
public:
    TableLocks(io::Handle file, LockConvention convention, LockPatience patience);

    // Each returns false when another open file holds a conflicting lock after all attempts, or when
    // the descriptor does not allow the lock.
    bool lockTable();
    bool lockRecord(std::uint32_t recordNumber);
    bool lockAppend();

    // A record or append lock is not released while the table lock is held: both are part of it, and
    // unlocking their bytes would punch a hole into the table lock.
    void unlockRecord(std::uint32_t recordNumber);
    void unlockAppend();
    void unlockAll();

    // The shared in-use lock, taken at open. Waits while a pack holds it alone (a pack ends by itself:
    // it never waits for anything while holding it). False when the descriptor does not allow it.
    bool markInUse();
    // Makes the in-use lock exclusive: true only when no other open table of ours shares it. Never
    // waits. releaseSole() makes it shared again.
    bool takeSole();
    void releaseSole();

    // The transfer marks (kTransferLockAt): taken waiting, since they are held only for one read or
    // write; records first .. first + count - 1 (record 0: the header's count). beginWrite needs a
    // descriptor opened for writing. False when the lock cannot be taken (no lock support): the
    // transfer then goes ahead unprotected, as it would against a program that takes no locks.
    bool beginRead(std::uint32_t first, std::uint32_t count) const;
    bool beginWrite(std::uint32_t first, std::uint32_t count) const;
    void endTransfer(std::uint32_t first, std::uint32_t count) const;

    bool holdsTable() const { return m_holdsTable; }
    const LockConvention& convention() const { return m_convention; }

private:
    bool take(ByteRange range);
    void release(ByteRange range);
    bool holds(ByteRange range) const;

    io::Handle m_file;
    LockConvention m_convention;
    LockPatience m_patience;
    bool m_holdsTable = false;
    std::vector<ByteRange> m_held;  // convention locks taken, as taken
};

}  // namespace qx::dbf
