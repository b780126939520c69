#pragma once

#include <cstddef>
#include <memory>

#include "qxclass/Export.h"

// One field of a table to be created by CDatabase::Create. A list of them ends with an entry whose
// name is null or empty.
struct FIELD4INFO {
    const char* name;   // 1 to 10 letters, digits or '_', starting with a letter
    int type;           // 'C', 'N', 'F', 'D' or 'L'
    unsigned length;    // ignored for 'D' (8) and 'L' (1)
    unsigned decimals;  // 'N' and 'F' only
};

namespace qx::detail {
struct DatabaseState;
}

// A table of the alarm server (dBASE .dbf) opened by name; every operation works on the current record.
//
// Failures are results: 1 success and 0 failure for the int operations, 0 for "no record" where a
// record number is returned. Positioning and flushing failures also show an error box naming the
// operation ("CDatabase::Go") under the caption "Error" (see qx::showErrorBox); the caller goes on.
//
// The virtual operations keep their slot order: other programs of the installation call them
// through the table. A copy shares the open table with its source; the table is closed when the last
// object sharing it closes it or goes away, so closing both is harmless. Each object is used by one
// thread at a time.
class QXCLASS_API CDatabase {
public:
    // Makes the shared engine context on first use.
    CDatabase();
    CDatabase(const CDatabase& other);
    CDatabase& operator=(const CDatabase& other);
    // Not virtual (the class's binary layout has no such slot); writes a pending change of a table
    // that no other object shares.
    ~CDatabase();

    // Closes a table still open, then opens `table` (a native path; ".dbf" is tried when the name has
    // no extension). 0 without any message when the file is missing or not a readable table; the
    // object then stays closed. The first record becomes current; flushing after each change is on.
    virtual int Open(const char* table);
    // Closes a table still open and creates `table` with `fields` and no records, replacing any file of
    // that name, then opens it. The field list is checked first: an invalid list (or a table that
    // cannot be written) leaves an existing file as it was. The header states the code page of
    // qx::dbf::tableCodePage() (Windows-1252 unless set). Error box "CDatabase::Create" and 0 when the
    // table cannot be made.
    virtual int Create(const char* table, const FIELD4INFO* fields);
    // Writes a pending change, makes every change durable and closes the table. 1; 0 with the error
    // box "CDatabase::Close" only when a change cannot be written or synced (it may then be lost).
    virtual int Close();

    // First / last record; an empty table leaves no current record (RecNo() 0) without a box. Error
    // box "CDatabase::Top" / "CDatabase::Bottom" when no table is open or the record cannot be read.
    virtual void Top();
    virtual void Bottom();
    // Goes to physical record `record` (1-based). Error box "CDatabase::Go" when it does not exist or
    // cannot be read; the current record then stays as it was.
    virtual void Go(unsigned record);
    // Moves `count` records (backward when negative), stopping at the first and the last record.
    // Returns the record number reached (0 when there is none); no message.
    virtual unsigned Skip(int count);
    virtual unsigned RecNo();
    // The record count of the header now, never more records than the file holds. 0 when closed.
    virtual unsigned RecCount();
    // The table lock of the engine's locking convention; the result is not reported.
    virtual void Lock();
    virtual void Unlock();
    // Non-zero (the default after Open): every change is written and made durable (synced) at once,
    // so nothing a call reported is lost in a crash; each change then costs a disk sync, which makes
    // many appended records slow (bench/table_write_bench). 0, the batch mode: a change is written to
    // the file when the table moves to another record (other programs see it from then on) and made
    // durable only at Flush or Close; a crash may lose changes since the last of them.
    virtual void SetFlush(int flush);
    // Writes and syncs pending changes (error box "CDatabase::Flush" on failure), then releases locks.
    virtual void Flush();
    // 1 when the table has a field called `name` (letter case ignored), else 0.
    virtual int IsField(const char* name);
    // Searches from the current record onward for the first record whose `field` equals `value` and
    // leaves it current; returns its number. 0 when the field is unknown or nothing matches (the last
    // record is then current). Text compares exactly, after cutting the field's trailing blanks.
    virtual unsigned Find(const char* field, int value);
    virtual unsigned Find(const char* field, const char* value);
    // The field's value as an integer (blanks and '*' give 0). 0 for an unknown field, `value` untouched.
    // FoxPro's binary fields: integers as they are, doubles and currency cut toward zero, date-times
    // as the date YYYYMMDD.
    virtual int Read(const char* field, int& value);
    // The field's text, NUL-terminated, into `buffer` of `size` bytes: a longer text is cut at
    // size - 1, never written past. 0 for an unknown field (buffer untouched), else 1. Text fields give
    // their bytes up to a NUL with trailing blanks cut; FoxPro's binary fields give 'I' as an integer
    // ("-42"), 'B' as the shortest text of the double ("3.5"), 'Y' with four decimals ("12.3400"),
    // 'T' as "YYYYMMDDhhmmss" (".mmm" added for milliseconds; "" when blank), a 4-byte memo reference
    // as its block number ("" for none).
    virtual int Read(const char* field, char* buffer, std::size_t size);
    // Assigns `value` to the field, then writes it at once when flushing is on (error box
    // "CDatabase::Replace" when that fails) and releases locks. 0 and nothing changed for an unknown
    // field, a memo field, a read-only table or no current record; 0 with the error box
    // "CDatabase::Replace" and nothing changed for a value that does not fit the field:
    //  - 'N', 'F': a decimal number ("-12.5"), stored right-aligned with the field's decimals,
    //    rounded half away from zero ("12.5" in N(10,2) is "     12.50"), refused when too wide;
    //  - 'D': a date "YYYYMMDD" (or the integer 20240229); 'L': T, F, Y, N or ? (non-zero / zero);
    //  - 'I': a 32-bit integer; 'B': a number; 'Y': a decimal number, kept to four decimals;
    //  - 'T': "YYYYMMDD[hhmmss[.mmm]]" (or the integer date);
    //  - 'C' and other types: any text, cut at the field length.
    // Empty text stores the field's blank value. A nullable field given a value is no longer NULL.
    virtual int Replace(const char* field, int value);
    virtual int Replace(const char* field, const char* value);
    // Appends a blank record, which becomes current, and releases locks. 1 on success, else 0. Binary
    // fields and null flags of the new record are zero bytes: no field is NULL.
    virtual int Append();
    // Blank every field / mark deleted / unmark the current record, then as Replace (the error box
    // names the operation, also when the change is refused).
    virtual void Blank();
    virtual void Delete();
    virtual void Recall();
    // Removes deleted records from the file and goes to the first record; releases locks; no message.
    // Refused (nothing changes) while another CDatabase, in this process or another, has the table
    // open: records never move under a reader or writer of ours. An Open made while a pack runs waits
    // for its end.
    virtual void Pack();
    // Copies every field, whole and untrimmed, from record `source` to record `target`, then as
    // Replace ("CDatabase::CopyRecord"). Memo references are not copied: two records must never share
    // a memo block. When either record cannot be reached (box of Go), nothing is copied.
    virtual void CopyRecord(unsigned source, unsigned target);

    // The name of field `number` (1-based, in table order); "" when there is no such field. The text
    // stays valid while the table is open.
    const char* Fieldname(unsigned number);
    // The field's length in bytes; 0 for an unknown field.
    unsigned FieldLength(const char* name);

    // Beyond the classic interface (not virtual, so the slot order stays): the number of fields, the
    // length in bytes, type letter and decimals of field `number` (0 when there is none), and whether
    // the current record is marked deleted.
    unsigned FieldCount();
    unsigned FieldLengthAt(unsigned number);
    char FieldType(unsigned number);
    unsigned FieldDecimals(unsigned number);
    int Deleted();
    // As Read (text) of field `number` (1-based, in table order), so that fields of the same name are
    // each read. 0 when there is no such field (buffer untouched).
    int ReadField(unsigned number, char* buffer, std::size_t size);
    // As ReadField (text), but a text field's bytes come whole, a NUL inside them too, with only the
    // padding (trailing blanks and NULs) cut: for a reader that shows what is stored. Returns the length
    // written before the terminating NUL; 0 also when there is no such field.
    std::size_t ReadFieldBytes(unsigned number, char* buffer, std::size_t size);
    // As Read (integer) of field `number`: a reader of many records looks its fields' numbers up once
    // (Fieldname) instead of by name for every record. 0 when there is no such field (value untouched).
    int ReadField(unsigned number, int& value);
    // As Go, but a record that does not exist or cannot be read is a result, not a box: 1 when record
    // `record` is current, else 0 (the current record stays as it was).
    int Seek(unsigned record);

private:
    QXCLASS_LOCAL int GetFieldsAddrs();
    QXCLASS_LOCAL void FlushStep(const char* operation);
    QXCLASS_LOCAL int FieldIndex(const char* name) const;
    QXCLASS_LOCAL int Changed(int change, const char* operation);

    // Everything else lives here, so that the engine can change without changing this class's size.
    std::unique_ptr<qx::detail::DatabaseState> m_state;
};

// Cuts the trailing blanks (byte 32 only; tabs stay) of the NUL-terminated `text` in place and returns
// `text`. A null pointer is returned as it is.
QXCLASS_API char* TrimBlanks(char* text);
