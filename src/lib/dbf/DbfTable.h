#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "DbfHeader.h"
#include "DbfIo.h"
#include "DbfLock.h"

namespace qx::dbf {

// One field of a table to be created: its name, type, length and decimals.
struct FieldDescription {
    std::string_view name;  // 1 to 10 letters, digits or '_', starting with a letter; stored upper-cased
    char type = 'C';        // 'C' (1-254), 'N' and 'F' (1-20), 'D' (always 8), 'L' (always 1)
    std::uint32_t length = 0;
    std::uint8_t decimals = 0;  // 'N' and 'F' only; at most length - 2 so that a digit and '.' fit
};

struct TableOptions {
    LockConvention locking = LockConvention::clipper();
    LockPatience patience;
    unsigned codePage = 1252;  // the code page of a created table's text, stated in its header
};

enum class CreateMode {
    New,      // fails when the file exists
    Replace,  // an existing file is replaced, once the new table has been made
};

// How long records read ahead for a scan may be served: "a moment".
inline constexpr std::chrono::milliseconds kReadAheadLifetime{20};

// What became of a change asked for.
enum class Change {
    Made,
    NotAllowed,  // read-only table, no current record, a memo reference
    Refused,     // the value does not fit the field's type or width; nothing was changed
};

// One open dBASE table, read and written in place with positioned reads and writes.
//
// A move to a record reads it from the file, so a record read sees what another program wrote a
// moment before. Only a move to the next record (a scan) may be served from a block of up to 64 KiB
// of records read ahead with an earlier one, and only while that block is younger than
// kReadAheadLifetime; any write through this table drops the block. The record count is read from the
// header when the table is opened, by top(), bottom() and recordCount(), and whenever a move goes past
// the count known so far, so a scan costs one read per block and still sees the records that other
// programs append. Changes are made to the current record's buffer and written when the table moves to
// another record, on flush() and at destruction.
//
// While open, a table holds a shared in-use lock (TableLocks::markInUse): pack() runs only when no
// other table of ours has the file open, and an open waits while a pack runs.
//
// Tables that have a production index are opened read-only: we do not maintain index files, and a
// change behind the index's back would corrupt it for the programs that use it.
//
// Not thread-safe: one thread at a time uses a table.
class Table {
public:
    // Why open() failed.
    enum class OpenError { None, NoFile, NotReadable, NotRegular, NotATable };

    // Opens `file` for reading and writing, or read-only when it cannot be written. Returns null when
    // the file cannot be opened, is not a regular file, or its header is not readable (parseHeader());
    // `why` then says which. The first record (if any) becomes current.
    static std::unique_ptr<Table> open(const std::filesystem::path& file, const TableOptions& options = {},
                                       OpenError* why = nullptr);

    // Creates a new dBASE III table without records, stating options.codePage in its header, and opens
    // it. Fails (null) when a field description is invalid, names repeat, or the file cannot be
    // written, and for CreateMode::New when `file` exists; nothing on disk has changed then (a
    // half-written file is removed again, a file to be replaced is still there).
    static std::unique_ptr<Table> create(const std::filesystem::path& file,
                                         std::span<const FieldDescription> fields,
                                         const TableOptions& options = {}, CreateMode mode = CreateMode::New);

    // Writes a pending change (its failure cannot be reported here: call flush() first to know).
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    bool writable() const { return m_writable; }
    const Header& header() const { return m_header; }
    std::size_t fieldCount() const { return m_header.fields.size(); }
    const Field& field(std::size_t index) const { return m_header.fields[index]; }

    // The index of the field called `name` (letter case ignored; the first of equal names); -1 if none.
    int fieldIndex(std::string_view name) const;

    // The record count stated in the header now, but never more records than the file holds whole.
    // Also becomes the count known to the moves.
    std::uint32_t recordCount();

    // The current record's number; 0 when there is none (an empty table).
    std::uint32_t recNo() const { return m_recNo; }

    // Positioning writes a pending change first and fails (false, nothing moves) when that fails.
    // go() fails when the record does not exist or cannot be read whole; the record stays as it was.
    bool go(std::uint32_t recordNumber);
    // Move to the first or last record; on an empty table there is none and recNo() becomes 0.
    bool top();
    bool bottom();
    // Moves `count` records (backward when negative) but never before the first or past the last
    // record: at either end the record number stays. Returns the record number reached.
    std::uint32_t skip(std::int64_t count);

    bool isDeleted() const { return m_recNo != 0 && m_record[0] == kRecordDeleted; }

    // The current record's field bytes exactly as stored (blanks when there is no current record).
    std::string_view stored(std::size_t index) const;
    // The field's text form (fieldText()) into `out` of `size` bytes. Returns the length written.
    std::size_t readText(std::size_t index, char* out, std::size_t size) const;
    // The field's value as an integer (fieldInt()).
    std::int32_t readInt(std::size_t index) const;

    // Changes of the current record: NotAllowed on a read-only table, when there is no current
    // record, and for memo fields, whose references are never written; Refused when the value does
    // not fit (encodeText(), encodeNumber()). Giving a nullable field a value clears its null flag.
    Change assignText(std::size_t index, std::string_view text);
    Change assignNumber(std::size_t index, double value);
    // Exactly `bytes`, which must be as long as the field (copying a field from another record),
    // null flags included; false otherwise.
    bool assignStored(std::size_t index, std::string_view bytes);
    // Blanks every field but memo references, binary fields and null flags to zero bytes; the
    // deletion flag stays.
    bool blank();
    bool setDeleted(bool deleted);

    // Appends a blank record after the last whole record and makes it current. The record and the end
    // byte are written, then the header count, under the append lock. False when read-only, when the
    // lock is held elsewhere, or on a write failure (the header then still names the old count).
    bool append();

    // Writes a pending change and makes every change made through this table durable (fdatasync).
    bool flush();

    // Removes deleted records in place under the table lock, truncates the file behind the last record
    // and its end byte, and moves to the first record. Refused (false, nothing changed) while another
    // table of ours has the file open, so that no reader or writer of ours ever sees records move;
    // also false when read-only, when the table lock cannot be had, or on an I/O failure (records
    // already moved stay moved; the count is only lowered at the end).
    bool pack();

    // The table lock of the locking convention (see TableLocks).
    bool lockTable();
    void unlock();

    bool hasPendingChange() const { return m_pending; }
    // A change is pending or written but not yet durable.
    bool needsFlush() const { return m_pending || m_unsynced; }

private:
    Table(io::Handle fd, bool writable, Header header, const TableOptions& options);

    bool readRecord(std::uint32_t recordNumber, char* into) const;
    const char* readAhead(std::uint32_t recordNumber);
    void dropReadAhead() { m_aheadCount = 0; }
    std::uint32_t readCount() const;
    Change assigned(std::size_t index, bool stored);
    bool writePending();
    bool writeHeaderCount(std::uint32_t count);
    void stampUpdateDate();
    void blankInto(char* record) const;
    bool changeable(std::size_t index) const;
    std::uint64_t recordOffset(std::uint32_t recordNumber) const;
    int fieldIndexSearch(const char* key) const;

    struct NameKey {
        char upper[kFieldNameSize + 1];
        std::uint32_t index;
    };

    io::Handle m_fd;
    bool m_writable;
    Header m_header;
    TableLocks m_locks;
    std::vector<NameKey> m_names;           // sorted by upper-cased name, ties in field order
    std::vector<NameKey> m_byField;         // the same keys in field order
    mutable std::uint32_t m_nextGuess = 0;  // fields are mostly asked for in table order
    std::vector<char> m_record;             // the current record
    std::vector<char> m_scratch;            // a second record buffer for append and pack
    std::uint32_t m_recNo = 0;
    std::uint32_t m_knownCount = 0;  // the record count last read (see recordCount())
    std::vector<char> m_ahead;       // records read ahead for a scan, made at the first scan
    std::uint32_t m_aheadFirst = 0;  // the record number of the first of them
    std::uint32_t m_aheadCount = 0;
    std::chrono::steady_clock::time_point m_aheadReadAt;
    bool m_pending = false;
    bool m_unsynced = false;
    bool m_dateStamped = false;
};

}  // namespace qx::dbf
