#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

#include "DbfFieldValue.h"
#include "DbfIo.h"
#include "DbfTable.h"
#include "DbfValue.h"

namespace qx::dbf {

void Table::blankInto(char* record) const {
    record[0] = kRecordValid;
    for (const Field& f : m_header.fields)
        blankField(f, record + f.offset);
}

bool Table::changeable(std::size_t index) const {
    return m_writable && m_recNo != 0 && index < m_header.fields.size() && !m_header.fields[index].memo;
}

Change Table::assigned(std::size_t index, bool stored) {
    if (!stored)
        return Change::Refused;
    // A field given a value is no longer NULL for the programs that keep null flags.
    int bit = m_header.fields[index].nullBit;
    if (bit >= 0 && m_header.nullFlagsField >= 0) {
        const Field& flags = m_header.fields[std::size_t(m_header.nullFlagsField)];
        m_record[flags.offset + std::size_t(bit / 8)] &= char(~(1u << (bit % 8)));
    }
    m_pending = true;
    return Change::Made;
}

Change Table::assignText(std::size_t index, std::string_view text) {
    if (!changeable(index))
        return Change::NotAllowed;
    const Field& f = m_header.fields[index];
    return assigned(index, encodeText(f, text, m_record.data() + f.offset));
}

Change Table::assignNumber(std::size_t index, double value) {
    if (!changeable(index))
        return Change::NotAllowed;
    const Field& f = m_header.fields[index];
    return assigned(index, encodeNumber(f, value, m_record.data() + f.offset));
}

bool Table::assignStored(std::size_t index, std::string_view bytes) {
    if (!changeable(index) || bytes.size() != m_header.fields[index].length)
        return false;
    std::memcpy(m_record.data() + m_header.fields[index].offset, bytes.data(), bytes.size());
    m_pending = true;
    return true;
}

bool Table::blank() {
    if (!m_writable || m_recNo == 0)
        return false;
    for (const Field& f : m_header.fields)
        if (!f.memo)
            blankField(f, m_record.data() + f.offset);
    m_pending = true;
    return true;
}

bool Table::setDeleted(bool deleted) {
    if (!m_writable || m_recNo == 0)
        return false;
    m_record[0] = deleted ? kRecordDeleted : kRecordValid;
    m_pending = true;
    return true;
}

void Table::stampUpdateDate() {
    if (m_dateStamped)
        return;
    std::tm local = io::localNow();
    unsigned char date[3] = {static_cast<unsigned char>(local.tm_year),
                             static_cast<unsigned char>(local.tm_mon + 1),
                             static_cast<unsigned char>(local.tm_mday)};
    m_dateStamped = io::writeAt(m_fd, date, sizeof date, kUpdateDateAt);
}

bool Table::writeHeaderCount(std::uint32_t count) {
    unsigned char bytes[4];
    io::storeLe32(bytes, count);
    bool locked = m_locks.beginWrite(0, 1);
    bool written = io::writeAt(m_fd, bytes, sizeof bytes, kRecordCountAt);
    if (locked)
        m_locks.endTransfer(0, 1);
    if (!written)
        return false;
    stampUpdateDate();
    m_unsynced = true;
    return true;
}

bool Table::writePending() {
    if (!m_pending)
        return true;
    if (!m_writable || m_recNo == 0)
        return false;
    // The whole record goes out under its lock, so a program that honours the convention never reads
    // it half written.
    if (!m_locks.lockRecord(m_recNo))
        return false;
    // The transfer mark keeps our readers out for the moment the bytes go out, without them ever
    // waiting for the record lock, which other programs may hold for as long as they edit a record.
    bool marked = m_locks.beginWrite(m_recNo, 1);
    bool written = io::writeAt(m_fd, m_record.data(), m_record.size(), recordOffset(m_recNo));
    if (marked)
        m_locks.endTransfer(m_recNo, 1);
    m_locks.unlockRecord(m_recNo);
    if (!written)
        return false;
    stampUpdateDate();
    dropReadAhead();
    m_pending = false;
    m_unsynced = true;
    return true;
}

bool Table::append() {
    if (!m_writable || !writePending())
        return false;
    if (!m_locks.lockAppend())
        return false;
    // Placed after the last whole record: a header that claims more records than the file holds
    // (an interrupted writer) must not leave a hole of garbage records before ours.
    std::uint32_t count = recordCount();
    bool done = count < std::numeric_limits<std::uint32_t>::max();
    if (done) {
        blankInto(m_scratch.data());
        m_scratch[m_header.recordLength] = char(kEndOfData);
        bool marked = m_locks.beginWrite(count + 1, 1);
        done = io::writeAt(m_fd, m_scratch.data(), m_header.recordLength + 1, recordOffset(count + 1));
        if (marked)
            m_locks.endTransfer(count + 1, 1);
        done = done && writeHeaderCount(count + 1);
    }
    m_locks.unlockAppend();
    dropReadAhead();
    if (!done)
        return false;
    std::memcpy(m_record.data(), m_scratch.data(), m_header.recordLength);
    m_recNo = count + 1;
    return true;
}

bool Table::flush() {
    if (!writePending())
        return false;
    if (!m_unsynced)
        return true;
    if (!io::syncData(m_fd))
        return false;
    m_unsynced = false;
    return true;
}

bool Table::pack() {
    if (!m_writable || !writePending())
        return false;
    // Records move only while no other table of ours has the file open; the table lock keeps the
    // programs of the locking convention out as well.
    if (!m_locks.takeSole())
        return false;
    bool hadTableLock = m_locks.holdsTable();
    if (!m_locks.lockTable()) {
        m_locks.releaseSole();
        return false;
    }
    std::uint32_t count = recordCount();
    std::uint32_t kept = 0;
    bool ok = true;
    // A buffer of whole records at a time; kept records only ever move toward the front, so what is
    // written never overwrites records not yet read.
    const std::uint32_t perRead = std::uint32_t(m_scratch.size() / m_header.recordLength);
    for (std::uint32_t first = 1; ok && first <= count; first += perRead) {
        std::uint32_t n = std::min(perRead, count - first + 1);
        std::size_t bytes = std::size_t(n) * m_header.recordLength;
        ok = io::readAt(m_fd, m_scratch.data(), bytes, recordOffset(first)) == std::int64_t(bytes);
        std::uint32_t keptBefore = kept;
        std::size_t to = 0;
        for (std::uint32_t i = 0; ok && i < n; ++i) {
            const char* record = m_scratch.data() + std::size_t(i) * m_header.recordLength;
            if (record[0] == kRecordDeleted)
                continue;
            if (to != std::size_t(i) * m_header.recordLength)
                std::memmove(m_scratch.data() + to, record, m_header.recordLength);
            to += m_header.recordLength;
            ++kept;
        }
        bool moved = keptBefore != first - 1 || kept - keptBefore != n;
        if (ok && moved && to > 0)
            ok = io::writeAt(m_fd, m_scratch.data(), to, recordOffset(keptBefore + 1));
    }
    if (ok) {
        unsigned char end = kEndOfData;
        std::uint64_t endAt = m_header.headerLength + std::uint64_t(kept) * m_header.recordLength;
        ok = writeHeaderCount(kept) && io::writeAt(m_fd, &end, 1, endAt) && io::truncate(m_fd, endAt + 1);
    }
    if (!hadTableLock)
        m_locks.unlockAll();
    m_locks.releaseSole();
    dropReadAhead();
    m_recNo = 0;
    top();
    return ok;
}

bool Table::lockTable() {
    return m_locks.lockTable();
}

void Table::unlock() {
    m_locks.unlockAll();
}

}  // namespace qx::dbf
