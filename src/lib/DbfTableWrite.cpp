#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

#include "DbfIo.h"
#include "qxclass/DbfTable.h"
#include "qxclass/DbfValue.h"

namespace qx::dbf {

void Table::blankInto(char* record) const {
    std::memset(record, ' ', m_header.recordLength);
    record[0] = kRecordValid;
    for (const Field& f : m_header.fields)
        if (f.binary)
            std::memset(record + f.offset, 0, f.length);
}

bool Table::changeable(std::size_t index) const {
    return m_writable && m_recNo != 0 && index < m_header.fields.size() && !m_header.fields[index].memo;
}

bool Table::assignText(std::size_t index, std::string_view text) {
    if (!changeable(index))
        return false;
    const Field& f = m_header.fields[index];
    char* to = m_record.data() + f.offset;
    switch (f.type) {
        case 'N':
        case 'F': {
            while (!text.empty() && text.front() == ' ')
                text.remove_prefix(1);
            text = text.substr(0, lengthWithoutTrailingBlanks(text));
            if (text.size() > f.length)
                return false;
            std::memset(to, ' ', f.length - text.size());
            std::memcpy(to + (f.length - text.size()), text.data(), text.size());
            break;
        }
        case 'L':
            std::memset(to, ' ', f.length);
            if (!text.empty())
                to[0] = text[0];
            break;
        default: {
            if (f.binary)
                return false;
            std::size_t n = std::min<std::size_t>(text.size(), f.length);
            std::memcpy(to, text.data(), n);
            std::memset(to + n, ' ', f.length - n);
        }
    }
    m_pending = true;
    return true;
}

bool Table::assignNumber(std::size_t index, double value) {
    if (!changeable(index))
        return false;
    const Field& f = m_header.fields[index];
    char* to = m_record.data() + f.offset;
    if (f.type == 'L') {
        std::memset(to, ' ', f.length);
        to[0] = value != 0 ? 'T' : 'F';
    } else if (f.binary) {
        if (f.length != 4 || !(value >= std::numeric_limits<std::int32_t>::min()) ||
            !(value <= std::numeric_limits<std::int32_t>::max()) || value != std::trunc(value))
            return false;
        io::storeLe32(reinterpret_cast<unsigned char*>(to), std::uint32_t(std::int32_t(value)));
    } else {
        unsigned decimals = (f.type == 'N' || f.type == 'F') ? f.decimals : 0;
        if (!formatNumber(value, f.length, decimals, to))
            return false;
    }
    m_pending = true;
    return true;
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
            std::memset(m_record.data() + f.offset, f.binary ? 0 : ' ', f.length);
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
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    unsigned char date[3] = {static_cast<unsigned char>(local.tm_year),
                             static_cast<unsigned char>(local.tm_mon + 1),
                             static_cast<unsigned char>(local.tm_mday)};
    m_dateStamped = io::writeAt(m_fd, date, sizeof date, kUpdateDateAt);
}

bool Table::writeHeaderCount(std::uint32_t count) {
    unsigned char bytes[4];
    io::storeLe32(bytes, count);
    if (!io::writeAt(m_fd, bytes, sizeof bytes, kRecordCountAt))
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
    bool written = io::writeAt(m_fd, m_record.data(), m_record.size(), recordOffset(m_recNo));
    m_locks.unlockRecord(m_recNo);
    if (!written)
        return false;
    stampUpdateDate();
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
        done = io::writeAt(m_fd, m_scratch.data(), m_header.recordLength + 1, recordOffset(count + 1)) &&
               writeHeaderCount(count + 1);
    }
    m_locks.unlockAppend();
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
    if (::fdatasync(m_fd) != 0)
        return false;
    m_unsynced = false;
    return true;
}

bool Table::pack() {
    if (!m_writable || !writePending())
        return false;
    bool hadTableLock = m_locks.holdsTable();
    if (!m_locks.lockTable())
        return false;
    std::uint32_t count = recordCount();
    std::uint32_t kept = 0;
    bool ok = true;
    for (std::uint32_t from = 1; ok && from <= count; ++from) {
        ok = readRecord(from, m_scratch.data());
        if (!ok || m_scratch[0] == kRecordDeleted)
            continue;
        ++kept;
        if (kept != from)
            ok = io::writeAt(m_fd, m_scratch.data(), m_header.recordLength, recordOffset(kept));
    }
    if (ok) {
        unsigned char end = kEndOfData;
        std::uint64_t endAt = m_header.headerLength + std::uint64_t(kept) * m_header.recordLength;
        ok = writeHeaderCount(kept) && io::writeAt(m_fd, &end, 1, endAt) &&
             ::ftruncate(m_fd, off_t(endAt + 1)) == 0;
    }
    if (!hadTableLock)
        m_locks.unlockAll();
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
