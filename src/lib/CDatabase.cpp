#include "qxclass/CDatabase.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "qxclass/DbfContext.h"
#include "qxclass/DbfTable.h"
#include "qxclass/ErrorBox.h"

namespace qx::detail {

// A field-cache entry: the field's length and a buffer for its whole value plus the terminating NUL.
struct FieldCacheEntry {
    std::uint32_t length = 0;
    std::unique_ptr<char[]> buffer;
};

struct OpenDatabase {
    std::unique_ptr<qx::dbf::Table> table;
    std::vector<FieldCacheEntry> cache;
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

CDatabase::CDatabase() {
    qx::dbf::Context::shared();
}

CDatabase::CDatabase(const CDatabase& other) = default;

CDatabase& CDatabase::operator=(const CDatabase& other) = default;

CDatabase::~CDatabase() = default;

int CDatabase::Open(const char* table) {
    Close();
    if (table == nullptr || *table == '\0')
        return 0;
    auto options = qx::dbf::Context::shared().options();
    auto opened = qx::dbf::Table::open(table, options);
    if (!opened && !hasExtension(table))
        opened = qx::dbf::Table::open(std::string(table) + ".dbf", options);
    if (!opened)
        return 0;
    m_table = std::make_shared<qx::detail::OpenDatabase>();
    m_table->table = std::move(opened);
    if (!GetFieldsAddrs()) {
        Close();
        return 0;
    }
    m_flush = 1;
    return 1;
}

int CDatabase::GetFieldsAddrs() {
    if (!m_table || !m_table->cache.empty())
        return 0;
    const qx::dbf::Table& table = *m_table->table;
    try {
        m_table->cache.resize(table.fieldCount());
        for (std::size_t i = 0; i < table.fieldCount(); ++i) {
            m_table->cache[i].length = table.field(i).length;
            m_table->cache[i].buffer = std::make_unique<char[]>(table.field(i).length + 1);
        }
    } catch (const std::bad_alloc&) {
        m_table->cache.clear();
        return 0;
    }
    m_fieldCount = unsigned(table.fieldCount());
    return 1;
}

int CDatabase::Create(const char* table, const FIELD4INFO* fields) {
    Close();
    std::vector<qx::dbf::FieldSpec> descriptions;
    for (const FIELD4INFO* f = fields; f != nullptr && f->name != nullptr && f->name[0] != '\0'; ++f) {
        if (f->length > 0xFFFF || f->decimals > 0xFF) {
            descriptions.clear();
            break;
        }
        descriptions.push_back({f->name, char(f->type), f->length, std::uint8_t(f->decimals)});
    }
    bool created = false;
    if (table != nullptr && *table != '\0' && !descriptions.empty()) {
        ::unlink(table);
        created = qx::dbf::Table::create(table, descriptions, qx::dbf::Context::shared().options()) != nullptr;
    }
    if (!created) {
        errorBox("CDatabase::Create");
        return 0;
    }
    return Open(table);
}

int CDatabase::Close() {
    int result = 1;
    if (m_table && m_table.use_count() == 1 && m_table->table->hasPendingChange() &&
        !m_table->table->flush()) {
        errorBox("CDatabase::Close");
        result = 0;
    }
    m_table.reset();
    m_fieldCount = 0;
    return result;
}

void CDatabase::Top() {
    if (!m_table || !m_table->table->top())
        errorBox("CDatabase::Top");
}

void CDatabase::Bottom() {
    if (!m_table || !m_table->table->bottom())
        errorBox("CDatabase::Bottom");
}

void CDatabase::Go(unsigned record) {
    if (!m_table || !m_table->table->go(record))
        errorBox("CDatabase::Go");
}

unsigned CDatabase::Skip(int count) {
    return m_table ? m_table->table->skip(count) : 0;
}

unsigned CDatabase::RecNo() {
    return m_table ? m_table->table->recNo() : 0;
}

unsigned CDatabase::RecCount() {
    return m_table ? m_table->table->recordCount() : 0;
}

void CDatabase::Lock() {
    if (m_table)
        m_table->table->lockTable();
}

void CDatabase::Unlock() {
    if (m_table)
        m_table->table->unlock();
}

void CDatabase::SetFlush(int flush) {
    m_flush = flush;
}

void CDatabase::Flush() {
    if (!m_table)
        return;
    if (!m_table->table->flush())
        errorBox("CDatabase::Flush");
    m_table->table->unlock();
}

int CDatabase::FieldIndex(const char* name) const {
    if (!m_table || name == nullptr)
        return -1;
    return m_table->table->fieldIndex(name);
}

int CDatabase::IsField(const char* name) {
    return FieldIndex(name) >= 0 ? 1 : 0;
}

unsigned CDatabase::Find(const char* field, int value) {
    int index = FieldIndex(field);
    if (index < 0 || m_table->table->recNo() == 0)
        return 0;
    for (;;) {
        if (m_table->table->readInt(std::size_t(index)) == value)
            return m_table->table->recNo();
        unsigned noted = m_table->table->recNo();
        if (Skip(1) == noted)
            return 0;
    }
}

unsigned CDatabase::Find(const char* field, const char* value) {
    int index = FieldIndex(field);
    if (index < 0 || value == nullptr || m_table->table->recNo() == 0)
        return 0;
    qx::detail::FieldCacheEntry& work = m_table->cache[std::size_t(index)];
    for (;;) {
        m_table->table->readText(std::size_t(index), work.buffer.get(), work.length + 1);
        if (std::strcmp(work.buffer.get(), value) == 0)
            return m_table->table->recNo();
        unsigned noted = m_table->table->recNo();
        if (Skip(1) == noted)
            return 0;
    }
}

int CDatabase::Read(const char* field, int& value) {
    int index = FieldIndex(field);
    if (index < 0)
        return 0;
    value = m_table->table->readInt(std::size_t(index));
    return 1;
}

int CDatabase::Read(const char* field, char* buffer, std::size_t size) {
    int index = FieldIndex(field);
    if (index < 0 || buffer == nullptr)
        return 0;
    // The text as the field buffer would hold it after trimming (it ends at a NUL byte, then trailing
    // blanks go), copied straight from the record: the alarm lists read every field of thousands of
    // records.
    std::string_view whole = m_table->table->stored(std::size_t(index));
    if (const void* nul = std::memchr(whole.data(), '\0', whole.size()))
        whole = whole.substr(0, std::size_t(static_cast<const char*>(nul) - whole.data()));
    std::size_t length = whole.size();
    while (length > 0 && whole[length - 1] == ' ')
        --length;
    if (size == 0)
        return 1;
    length = std::min(length, size - 1);
    std::memcpy(buffer, whole.data(), length);
    buffer[length] = '\0';
    return 1;
}

void CDatabase::FlushStep(const char* operation) {
    if (m_flush && !m_table->table->flush())
        errorBox(operation);
    m_table->table->unlock();
}

int CDatabase::Replace(const char* field, int value) {
    int index = FieldIndex(field);
    if (index < 0 || !m_table->table->assignNumber(std::size_t(index), double(value)))
        return 0;
    FlushStep("CDatabase::Replace");
    return 1;
}

int CDatabase::Replace(const char* field, const char* value) {
    int index = FieldIndex(field);
    if (index < 0 || value == nullptr || !m_table->table->assignText(std::size_t(index), value))
        return 0;
    FlushStep("CDatabase::Replace");
    return 1;
}

int CDatabase::Append() {
    if (!m_table)
        return 0;
    bool appended = m_table->table->append();
    m_table->table->unlock();
    return appended ? 1 : 0;
}

void CDatabase::Blank() {
    if (!m_table || !m_table->table->blank()) {
        errorBox("CDatabase::Blank");
        return;
    }
    FlushStep("CDatabase::Blank");
}

void CDatabase::Delete() {
    if (!m_table || !m_table->table->setDeleted(true)) {
        errorBox("CDatabase::Delete");
        return;
    }
    FlushStep("CDatabase::Delete");
}

void CDatabase::Recall() {
    if (!m_table || !m_table->table->setDeleted(false)) {
        errorBox("CDatabase::Recall");
        return;
    }
    FlushStep("CDatabase::Recall");
}

void CDatabase::Pack() {
    if (!m_table)
        return;
    m_table->table->pack();
    m_table->table->unlock();
}

void CDatabase::CopyRecord(unsigned source, unsigned target) {
    if (!m_table) {
        errorBox("CDatabase::CopyRecord");
        return;
    }
    Go(source);
    if (RecNo() != source)
        return;
    qx::dbf::Table& table = *m_table->table;
    for (std::size_t i = 0; i < table.fieldCount(); ++i) {
        std::string_view whole = table.stored(i);
        std::memcpy(m_table->cache[i].buffer.get(), whole.data(), whole.size());
        m_table->cache[i].buffer[whole.size()] = '\0';
    }
    Go(target);
    if (RecNo() != target)
        return;
    bool copied = true;
    for (std::size_t i = 0; i < table.fieldCount(); ++i)
        if (!table.field(i).memo)
            copied = table.assignStored(
                         i, std::string_view(m_table->cache[i].buffer.get(), m_table->cache[i].length)) &&
                     copied;
    if (!copied) {
        errorBox("CDatabase::CopyRecord");
        table.unlock();
        return;
    }
    FlushStep("CDatabase::CopyRecord");
}

const char* CDatabase::Fieldname(unsigned number) {
    if (!m_table || number < 1 || number > m_table->table->fieldCount())
        return "";
    return m_table->table->field(number - 1).name;
}

unsigned CDatabase::FieldLength(const char* name) {
    int index = FieldIndex(name);
    return index < 0 ? 0 : m_table->cache[std::size_t(index)].length;
}

unsigned CDatabase::FieldCount() {
    return m_fieldCount;
}

char CDatabase::FieldType(unsigned number) {
    if (!m_table || number < 1 || number > m_table->table->fieldCount())
        return 0;
    return m_table->table->field(number - 1).type;
}

unsigned CDatabase::FieldDecimals(unsigned number) {
    if (!m_table || number < 1 || number > m_table->table->fieldCount())
        return 0;
    return m_table->table->field(number - 1).decimals;
}

int CDatabase::Deleted() {
    return m_table && m_table->table->isDeleted() ? 1 : 0;
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
