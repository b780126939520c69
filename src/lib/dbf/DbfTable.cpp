#include "DbfTable.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "AsciiText.h"
#include "DbfFieldValue.h"
#include "DbfIo.h"
#include "DbfValue.h"

namespace qx::dbf {
namespace {

// Upper-cases `name` into a fixed key; false when no field name can be that long.
bool makeKey(std::string_view name, char (&key)[kFieldNameSize + 1]) {
    if (name.size() > kFieldNameSize)
        return false;
    std::memset(key, 0, sizeof key);
    for (std::size_t i = 0; i < name.size(); ++i)
        key[i] = asciiUpper(name[i]);
    return true;
}

// Pack reads and writes records a buffer of this size at a time.
constexpr std::size_t kScratchBytes = 64 * 1024;

}  // namespace

std::unique_ptr<Table> Table::open(const std::filesystem::path& file, const TableOptions& options,
                                   OpenError* why) {
    OpenError ignored;
    OpenError& error = why ? *why : ignored;
    error = OpenError::None;
    bool writable = false;
    io::OpenFailure failure = io::OpenFailure::None;
    io::Handle fd = io::openExisting(file, writable, failure);
    if (fd == io::kNoFile) {
        error = failure == io::OpenFailure::NoFile       ? OpenError::NoFile
                : failure == io::OpenFailure::NotRegular ? OpenError::NotRegular
                                                         : OpenError::NotReadable;
        return nullptr;
    }
    auto fail = [&](OpenError reason) {
        io::close(fd);
        error = reason;
        return nullptr;
    };
    std::int64_t size = io::length(fd);
    if (size < 0)
        return fail(OpenError::NotReadable);
    unsigned char main[kMainHeaderSize];
    std::int64_t got = io::readAt(fd, main, sizeof main, 0);
    if (got < 0)
        return fail(OpenError::NotReadable);
    if (got != std::int64_t(sizeof main))
        return fail(OpenError::NotATable);
    std::uint32_t headerLength = statedHeaderLength(main);
    if (headerLength < kMainHeaderSize || std::uint64_t(size) < headerLength)
        return fail(OpenError::NotATable);
    std::vector<unsigned char> headerBytes(headerLength);
    if (io::readAt(fd, headerBytes.data(), headerLength, 0) != std::int64_t(headerLength))
        return fail(OpenError::NotReadable);
    auto header = parseHeader(headerBytes);
    if (!header)
        return fail(OpenError::NotATable);
    if (header->productionIndex)
        writable = false;
    std::unique_ptr<Table> table(new Table(fd, writable, std::move(*header), options));
    // Without lock support (some network file systems) the table still reads; pack then refuses.
    table->m_locks.markInUse();
    table->top();
    return table;
}

Table::Table(io::Handle fd, bool writable, Header header, const TableOptions& options)
    : m_fd(fd),
      m_writable(writable),
      m_header(std::move(header)),
      m_locks(fd, options.locking, options.patience),
      m_record(m_header.recordLength),
      m_scratch(std::max<std::size_t>(m_header.recordLength + 1, kScratchBytes)) {
    m_names.reserve(m_header.fields.size());
    for (std::uint32_t i = 0; i < m_header.fields.size(); ++i) {
        NameKey key{};
        makeKey(m_header.fields[i].name, key.upper);
        key.index = i;
        m_names.push_back(key);
    }
    m_byField = m_names;
    std::stable_sort(m_names.begin(), m_names.end(), [](const NameKey& a, const NameKey& b) {
        return std::memcmp(a.upper, b.upper, sizeof a.upper) < 0;
    });
    // Each field-order entry names the field that a lookup of its name finds: the first of equal names.
    for (NameKey& key : m_byField)
        key.index = std::uint32_t(fieldIndexSearch(key.upper));
    blankInto(m_record.data());
}

Table::~Table() {
    writePending();
    m_locks.unlockAll();
    io::close(m_fd);
}

int Table::fieldIndex(std::string_view name) const {
    char key[kFieldNameSize + 1];
    if (!makeKey(name, key))
        return -1;
    // Readers walk the fields in order (a whole record); trying the next field first saves the search.
    if (m_nextGuess < m_byField.size() && std::memcmp(m_byField[m_nextGuess].upper, key, sizeof key) == 0) {
        int found = int(m_byField[m_nextGuess].index);
        m_nextGuess = std::uint32_t(found) + 1;
        return found;
    }
    int found = fieldIndexSearch(key);
    if (found >= 0)
        m_nextGuess = std::uint32_t(found) + 1;
    return found;
}

int Table::fieldIndexSearch(const char* key) const {
    auto found =
        std::lower_bound(m_names.begin(), m_names.end(), key, [](const NameKey& entry, const char* k) {
            return std::memcmp(entry.upper, k, kFieldNameSize + 1) < 0;
        });
    if (found == m_names.end() || std::memcmp(found->upper, key, kFieldNameSize + 1) != 0)
        return -1;
    return int(found->index);
}

std::uint64_t Table::recordOffset(std::uint32_t recordNumber) const {
    return m_header.headerLength + std::uint64_t(recordNumber - 1) * m_header.recordLength;
}

std::uint32_t Table::readCount() const {
    unsigned char count[4];
    bool locked = m_locks.beginRead(0, 1);
    bool read = io::readAt(m_fd, count, sizeof count, kRecordCountAt) == 4;
    if (locked)
        m_locks.endTransfer(0, 1);
    std::int64_t length = read ? io::length(m_fd) : -1;
    if (length < 0)
        return 0;
    std::uint64_t size = std::uint64_t(length);
    std::uint64_t held =
        size > m_header.headerLength ? (size - m_header.headerLength) / m_header.recordLength : 0;
    std::uint64_t stated = io::loadLe32(count);
    return std::uint32_t(std::min(stated, held));
}

std::uint32_t Table::recordCount() {
    m_knownCount = readCount();
    return m_knownCount;
}

bool Table::readRecord(std::uint32_t recordNumber, char* into) const {
    bool locked = m_locks.beginRead(recordNumber, 1);
    bool read = io::readAt(m_fd, into, m_header.recordLength, recordOffset(recordNumber)) ==
                std::int64_t(m_header.recordLength);
    if (locked)
        m_locks.endTransfer(recordNumber, 1);
    return read;
}

bool Table::go(std::uint32_t recordNumber) {
    if (!writePending())
        return false;
    if (recordNumber == 0)
        return false;
    // The count decides; a record beyond it (bytes after the last record) does not exist. Past the
    // count known so far, the header is asked again: another program may have appended.
    if (recordNumber > m_knownCount && recordNumber > recordCount())
        return false;
    const char* read = nullptr;
    if (m_recNo != 0 && recordNumber == m_recNo + 1)
        read = readAhead(recordNumber);
    else if (readRecord(recordNumber, m_scratch.data()))
        read = m_scratch.data();
    if (read == nullptr) {
        recordCount();  // the file was cut behind our back
        return false;
    }
    std::memcpy(m_record.data(), read, m_header.recordLength);
    m_recNo = recordNumber;
    return true;
}

const char* Table::readAhead(std::uint32_t recordNumber) {
    auto now = io::coarseNow();
    if (recordNumber >= m_aheadFirst && recordNumber - m_aheadFirst < m_aheadCount &&
        now - m_aheadReadAt < kReadAheadLifetime)
        return m_ahead.data() + std::size_t(recordNumber - m_aheadFirst) * m_header.recordLength;
    if (m_ahead.empty())
        m_ahead.resize(std::max<std::size_t>(kScratchBytes, m_header.recordLength));
    std::uint32_t wanted = std::min<std::uint32_t>(std::uint32_t(m_ahead.size() / m_header.recordLength),
                                                   m_knownCount - recordNumber + 1);
    m_aheadCount = 0;
    // One shared lock over the whole block: a scan pays two system calls per 64 KiB, not per record.
    bool locked = m_locks.beginRead(recordNumber, wanted);
    std::int64_t got = io::readAt(m_fd, m_ahead.data(), std::size_t(wanted) * m_header.recordLength,
                                  recordOffset(recordNumber));
    if (locked)
        m_locks.endTransfer(recordNumber, wanted);
    if (got < std::int64_t(m_header.recordLength))
        return nullptr;
    m_aheadFirst = recordNumber;
    m_aheadCount = std::uint32_t(std::size_t(got) / m_header.recordLength);
    m_aheadReadAt = now;
    return m_ahead.data();
}

bool Table::top() {
    if (!writePending())
        return false;
    if (recordCount() == 0) {
        m_recNo = 0;
        blankInto(m_record.data());
        return true;
    }
    return go(1);
}

bool Table::bottom() {
    if (!writePending())
        return false;
    std::uint32_t count = recordCount();
    if (count == 0) {
        m_recNo = 0;
        blankInto(m_record.data());
        return true;
    }
    return go(count);
}

std::uint32_t Table::skip(std::int64_t count) {
    if (m_recNo == 0 || !writePending())
        return m_recNo;
    std::int64_t last = m_knownCount;
    if (std::int64_t(m_recNo) + count > last)
        last = recordCount();
    std::int64_t target =
        std::clamp<std::int64_t>(std::int64_t(m_recNo) + count, 1, std::max<std::int64_t>(last, 1));
    if (last == 0 || target == std::int64_t(m_recNo))
        return m_recNo;
    go(std::uint32_t(target));
    return m_recNo;
}

std::string_view Table::stored(std::size_t index) const {
    const Field& f = m_header.fields[index];
    return std::string_view(m_record.data() + f.offset, f.length);
}

std::size_t Table::readText(std::size_t index, char* out, std::size_t size) const {
    return fieldText(m_header.fields[index], stored(index), out, size);
}

std::int32_t Table::readInt(std::size_t index) const {
    return fieldInt(m_header.fields[index], stored(index));
}

}  // namespace qx::dbf
