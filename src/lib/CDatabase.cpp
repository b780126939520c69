#include "qxclass/CDatabase.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "DbfSettingsInternal.h"
#include "DbfTable.h"
#include "qxclass/ErrorBox.h"

namespace qx::detail {

// A field-cache entry: the field's length and a buffer for its whole value plus the terminating NUL.
struct FieldCacheEntry {
    std::uint32_t length = 0;
    std::unique_ptr<char[]> buffer;
};

// The open table with its field cache, shared by an object and its copies.
struct OpenDatabase {
    std::unique_ptr<qx::dbf::Table> table;
    std::vector<FieldCacheEntry> cache;
};

struct DatabaseState {
    std::shared_ptr<OpenDatabase> open;
    unsigned fieldCount = 0;
    int flush = 1;
};

}  // namespace qx::detail

namespace {

constexpr const char* kErrorCaption = "Error";

void errorBox(const char* operation) {
    qx::showErrorBox(operation, kErrorCaption);
}

bool hasExtension(const char* name) {
    const char* slash = std::strrchr(name, '/');
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && (slash == nullptr || dot > slash);
}

}  // namespace

CDatabase::CDatabase() : m_state(std::make_unique<qx::detail::DatabaseState>()) {}

CDatabase::CDatabase(const CDatabase& other)
    : m_state(std::make_unique<qx::detail::DatabaseState>(*other.m_state)) {}

CDatabase& CDatabase::operator=(const CDatabase& other) {
    if (this != &other)
        *m_state = *other.m_state;
    return *this;
}

CDatabase::~CDatabase() = default;

int CDatabase::Open(const char* table) {
    Close();
    if (table == nullptr || *table == '\0')
        return 0;
    auto options = qx::dbf::tableOptions();
    auto opened = qx::dbf::Table::open(qx::dbf::io::pathOf(table), options);
    if (!opened && !hasExtension(table))
        opened = qx::dbf::Table::open(qx::dbf::io::pathOf((std::string(table) + ".dbf").c_str()), options);
    if (!opened)
        return 0;
    m_state->open = std::make_shared<qx::detail::OpenDatabase>();
    m_state->open->table = std::move(opened);
    if (!GetFieldsAddrs()) {
        Close();
        return 0;
    }
    m_state->flush = 1;
    return 1;
}

int CDatabase::GetFieldsAddrs() {
    if (!m_state->open || !m_state->open->cache.empty())
        return 0;
    const qx::dbf::Table& table = *m_state->open->table;
    try {
        m_state->open->cache.resize(table.fieldCount());
        for (std::size_t i = 0; i < table.fieldCount(); ++i) {
            m_state->open->cache[i].length = table.field(i).length;
            m_state->open->cache[i].buffer = std::make_unique<char[]>(table.field(i).length + 1);
        }
    } catch (const std::bad_alloc&) {
        m_state->open->cache.clear();
        return 0;
    }
    m_state->fieldCount = unsigned(table.fieldCount());
    return 1;
}

int CDatabase::Create(const char* table, const FIELD4INFO* fields) {
    Close();
    std::vector<qx::dbf::FieldDescription> descriptions;
    for (const FIELD4INFO* f = fields; f != nullptr && f->name != nullptr && f->name[0] != '\0'; ++f) {
        if (f->length > 0xFFFF || f->decimals > 0xFF) {
            descriptions.clear();
            break;
        }
        descriptions.push_back({f->name, char(f->type), f->length, std::uint8_t(f->decimals)});
    }
    bool created = false;
    // The field list is checked before the table that is there goes: an invalid list leaves it whole.
    if (table != nullptr && *table != '\0' && !descriptions.empty())
        created = qx::dbf::Table::create(qx::dbf::io::pathOf(table), descriptions, qx::dbf::tableOptions(),
                                         qx::dbf::CreateMode::Replace) != nullptr;
    if (!created) {
        errorBox("CDatabase::Create");
        return 0;
    }
    return Open(table);
}

int CDatabase::Close() {
    int result = 1;
    // Closing makes every change durable, also those of a batch (SetFlush(0)) already written out.
    if (m_state->open && m_state->open.use_count() == 1 && m_state->open->table->needsFlush() &&
        !m_state->open->table->flush()) {
        errorBox("CDatabase::Close");
        result = 0;
    }
    m_state->open.reset();
    m_state->fieldCount = 0;
    return result;
}

void CDatabase::Top() {
    if (!m_state->open || !m_state->open->table->top())
        errorBox("CDatabase::Top");
}

void CDatabase::Bottom() {
    if (!m_state->open || !m_state->open->table->bottom())
        errorBox("CDatabase::Bottom");
}

void CDatabase::Go(unsigned record) {
    if (!m_state->open || !m_state->open->table->go(record))
        errorBox("CDatabase::Go");
}

int CDatabase::Seek(unsigned record) {
    return m_state->open && m_state->open->table->go(record) ? 1 : 0;
}

unsigned CDatabase::Skip(int count) {
    return m_state->open ? m_state->open->table->skip(count) : 0;
}

unsigned CDatabase::RecNo() {
    return m_state->open ? m_state->open->table->recNo() : 0;
}

unsigned CDatabase::RecCount() {
    return m_state->open ? m_state->open->table->recordCount() : 0;
}

void CDatabase::Lock() {
    if (m_state->open)
        m_state->open->table->lockTable();
}

void CDatabase::Unlock() {
    if (m_state->open)
        m_state->open->table->unlock();
}

void CDatabase::SetFlush(int flush) {
    m_state->flush = flush;
}

void CDatabase::Flush() {
    if (!m_state->open)
        return;
    if (!m_state->open->table->flush())
        errorBox("CDatabase::Flush");
    m_state->open->table->unlock();
}

int CDatabase::FieldIndex(const char* name) const {
    if (!m_state->open || name == nullptr)
        return -1;
    return m_state->open->table->fieldIndex(name);
}

int CDatabase::IsField(const char* name) {
    return FieldIndex(name) >= 0 ? 1 : 0;
}

unsigned CDatabase::Find(const char* field, int value) {
    int index = FieldIndex(field);
    if (index < 0 || m_state->open->table->recNo() == 0)
        return 0;
    for (;;) {
        if (m_state->open->table->readInt(std::size_t(index)) == value)
            return m_state->open->table->recNo();
        unsigned noted = m_state->open->table->recNo();
        if (Skip(1) == noted)
            return 0;
    }
}

unsigned CDatabase::Find(const char* field, const char* value) {
    int index = FieldIndex(field);
    if (index < 0 || value == nullptr || m_state->open->table->recNo() == 0)
        return 0;
    qx::detail::FieldCacheEntry& work = m_state->open->cache[std::size_t(index)];
    // The text of a binary field is longer than its bytes ("-2147483648" from four).
    char binaryText[64];
    bool binary = m_state->open->table->field(std::size_t(index)).binary();
    char* text = binary ? binaryText : work.buffer.get();
    std::size_t size = binary ? sizeof binaryText : work.length + 1;
    for (;;) {
        m_state->open->table->readText(std::size_t(index), text, size);
        if (std::strcmp(text, value) == 0)
            return m_state->open->table->recNo();
        unsigned noted = m_state->open->table->recNo();
        if (Skip(1) == noted)
            return 0;
    }
}

int CDatabase::Read(const char* field, int& value) {
    int index = FieldIndex(field);
    if (index < 0)
        return 0;
    value = m_state->open->table->readInt(std::size_t(index));
    return 1;
}

int CDatabase::Read(const char* field, char* buffer, std::size_t size) {
    int index = FieldIndex(field);
    if (index < 0 || buffer == nullptr)
        return 0;
    m_state->open->table->readText(std::size_t(index), buffer, size);
    return 1;
}

int CDatabase::ReadField(unsigned number, char* buffer, std::size_t size) {
    if (!m_state->open || buffer == nullptr || number < 1 || number > m_state->open->table->fieldCount())
        return 0;
    m_state->open->table->readText(number - 1, buffer, size);
    return 1;
}

std::size_t CDatabase::ReadFieldBytes(unsigned number, char* buffer, std::size_t size) {
    if (!m_state->open || buffer == nullptr || size == 0 || number < 1 ||
        number > m_state->open->table->fieldCount())
        return 0;
    const qx::dbf::Table& table = *m_state->open->table;
    if (table.field(number - 1).binary())
        return table.readText(number - 1, buffer, size);
    std::string_view stored = table.stored(number - 1);
    while (!stored.empty() && (stored.back() == ' ' || stored.back() == '\0'))
        stored.remove_suffix(1);
    std::size_t length = std::min(stored.size(), size - 1);
    std::memcpy(buffer, stored.data(), length);
    buffer[length] = '\0';
    return length;
}

int CDatabase::ReadField(unsigned number, int& value) {
    if (!m_state->open || number < 1 || number > m_state->open->table->fieldCount())
        return 0;
    value = m_state->open->table->readInt(number - 1);
    return 1;
}

void CDatabase::FlushStep(const char* operation) {
    if (m_state->flush && !m_state->open->table->flush())
        errorBox(operation);
    m_state->open->table->unlock();
}

int CDatabase::Changed(int change, const char* operation) {
    switch (qx::dbf::Change(change)) {
        case qx::dbf::Change::Made:
            FlushStep(operation);
            return 1;
        case qx::dbf::Change::Refused:
            errorBox(operation);
            return 0;
        case qx::dbf::Change::NotAllowed:
            break;
    }
    return 0;
}

int CDatabase::Replace(const char* field, int value) {
    int index = FieldIndex(field);
    if (index < 0)
        return 0;
    return Changed(int(m_state->open->table->assignNumber(std::size_t(index), double(value))),
                   "CDatabase::Replace");
}

int CDatabase::Replace(const char* field, const char* value) {
    int index = FieldIndex(field);
    if (index < 0 || value == nullptr)
        return 0;
    return Changed(int(m_state->open->table->assignText(std::size_t(index), value)), "CDatabase::Replace");
}

int CDatabase::Append() {
    if (!m_state->open)
        return 0;
    bool appended = m_state->open->table->append();
    m_state->open->table->unlock();
    return appended ? 1 : 0;
}

void CDatabase::Blank() {
    if (!m_state->open || !m_state->open->table->blank()) {
        errorBox("CDatabase::Blank");
        return;
    }
    FlushStep("CDatabase::Blank");
}

void CDatabase::Delete() {
    if (!m_state->open || !m_state->open->table->setDeleted(true)) {
        errorBox("CDatabase::Delete");
        return;
    }
    FlushStep("CDatabase::Delete");
}

void CDatabase::Recall() {
    if (!m_state->open || !m_state->open->table->setDeleted(false)) {
        errorBox("CDatabase::Recall");
        return;
    }
    FlushStep("CDatabase::Recall");
}

void CDatabase::Pack() {
    if (!m_state->open)
        return;
    m_state->open->table->pack();
    m_state->open->table->unlock();
}

void CDatabase::CopyRecord(unsigned source, unsigned target) {
    if (!m_state->open) {
        errorBox("CDatabase::CopyRecord");
        return;
    }
    Go(source);
    if (RecNo() != source)
        return;
    qx::dbf::Table& table = *m_state->open->table;
    for (std::size_t i = 0; i < table.fieldCount(); ++i) {
        std::string_view whole = table.stored(i);
        std::memcpy(m_state->open->cache[i].buffer.get(), whole.data(), whole.size());
        m_state->open->cache[i].buffer[whole.size()] = '\0';
    }
    Go(target);
    if (RecNo() != target)
        return;
    bool copied = true;
    for (std::size_t i = 0; i < table.fieldCount(); ++i)
        if (!table.field(i).memo)
            copied = table.assignStored(i, std::string_view(m_state->open->cache[i].buffer.get(),
                                                            m_state->open->cache[i].length)) &&
                     copied;
    if (!copied) {
        errorBox("CDatabase::CopyRecord");
        table.unlock();
        return;
    }
    FlushStep("CDatabase::CopyRecord");
}

const char* CDatabase::Fieldname(unsigned number) {
    if (!m_state->open || number < 1 || number > m_state->open->table->fieldCount())
        return "";
    return m_state->open->table->field(number - 1).name;
}

unsigned CDatabase::FieldLength(const char* name) {
    int index = FieldIndex(name);
    return index < 0 ? 0 : m_state->open->cache[std::size_t(index)].length;
}

unsigned CDatabase::FieldCount() {
    return m_state->fieldCount;
}

unsigned CDatabase::FieldLengthAt(unsigned number) {
    if (!m_state->open || number < 1 || number > m_state->open->table->fieldCount())
        return 0;
    return m_state->open->table->field(number - 1).length;
}

char CDatabase::FieldType(unsigned number) {
    if (!m_state->open || number < 1 || number > m_state->open->table->fieldCount())
        return 0;
    return m_state->open->table->field(number - 1).type;
}

unsigned CDatabase::FieldDecimals(unsigned number) {
    if (!m_state->open || number < 1 || number > m_state->open->table->fieldCount())
        return 0;
    return m_state->open->table->field(number - 1).decimals;
}

int CDatabase::Deleted() {
    return m_state->open && m_state->open->table->isDeleted() ? 1 : 0;
}

char* TrimBlanks(char* text) {
    if (text == nullptr)
        return text;
    std::size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == ' ')
        --length;
    text[length] = '\0';
    return text;
}
