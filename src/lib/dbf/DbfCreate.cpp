#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "DbfIo.h"
#include "DbfTable.h"

namespace qx::dbf {
namespace {

constexpr unsigned char kDbase3 = 0x03;
constexpr std::uint32_t kMaxRecordLength = 65535;

bool validName(std::string_view name) {
    if (name.empty() || name.size() > 10)
        return false;
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!letter(name[0]))
        return false;
    for (char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_')
            return false;
    return true;
}

// The field as it will be stored, or false when the description cannot be stored faithfully.
bool normalise(const FieldDescription& field, char& type, std::uint32_t& length, std::uint8_t& decimals) {
    type = field.type >= 'a' && field.type <= 'z' ? char(field.type - 'a' + 'A') : field.type;
    length = field.length;
    decimals = field.decimals;
    switch (type) {
        case 'C':
            return length >= 1 && length <= 254 && decimals == 0;
        case 'N':
        case 'F':
            return length >= 1 && length <= 20 && (decimals == 0 || decimals + 2u <= length);
        case 'D':
            length = 8;
            decimals = 0;
            return true;
        case 'L':
            length = 1;
            decimals = 0;
            return true;
        default:
            // Memo fields would need a memo file, which we never write.
            return false;
    }
}

// The language-driver byte (header byte 29) that names `codePage` for the other programs that read
// our tables; 0 (none stated) for a code page without one.
unsigned char languageDriver(unsigned codePage) {
    switch (codePage) {
        case 437:
            return 0x01;
        case 850:
            return 0x02;
        case 1252:
            return 0x03;
        case 852:
            return 0x64;
        case 866:
            return 0x65;
        case 865:
            return 0x66;
        case 861:
            return 0x67;
        case 737:
            return 0x6A;
        case 857:
            return 0x6B;
        case 1250:
            return 0xC8;
        case 1251:
            return 0xC9;
        case 1254:
            return 0xCA;
        case 1253:
            return 0xCB;
        default:
            return 0x00;
    }
}

// The bytes of a new table without records: header, descriptors, end of data. Empty when a field
// description is invalid, names repeat or the record would be too long.
std::vector<unsigned char> newTableBytes(std::span<const FieldDescription> fields, unsigned codePage) {
    if (fields.empty() || fields.size() > (65535 - kMainHeaderSize - 1) / kDescriptorSize)
        return {};
    std::uint32_t headerLength = std::uint32_t(kMainHeaderSize + fields.size() * kDescriptorSize + 1);
    std::vector<unsigned char> bytes(headerLength + 1, 0);
    std::uint32_t recordLength = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDescription& field = fields[i];
        char type;
        std::uint32_t length;
        std::uint8_t decimals;
        if (!validName(field.name) || !normalise(field, type, length, decimals))
            return {};
        for (std::size_t j = 0; j < i; ++j)
            if (sameFieldName(fields[j].name, field.name))
                return {};
        unsigned char* d = bytes.data() + kMainHeaderSize + i * kDescriptorSize;
        for (std::size_t k = 0; k < field.name.size(); ++k)
            d[k] = static_cast<unsigned char>(
                field.name[k] >= 'a' && field.name[k] <= 'z' ? field.name[k] - 'a' + 'A' : field.name[k]);
        d[11] = static_cast<unsigned char>(type);
        d[16] = static_cast<unsigned char>(length);
        d[17] = decimals;
        recordLength += length;
        if (recordLength > kMaxRecordLength)
            return {};
    }
    std::tm local = io::localNow();
    bytes[kVersionAt] = kDbase3;
    bytes[kUpdateDateAt] = static_cast<unsigned char>(local.tm_year);
    bytes[kUpdateDateAt + 1] = static_cast<unsigned char>(local.tm_mon + 1);
    bytes[kUpdateDateAt + 2] = static_cast<unsigned char>(local.tm_mday);
    bytes[kHeaderLengthAt] = static_cast<unsigned char>(headerLength & 0xFF);
    bytes[kHeaderLengthAt + 1] = static_cast<unsigned char>(headerLength >> 8);
    bytes[kRecordLengthAt] = static_cast<unsigned char>(recordLength & 0xFF);
    bytes[kRecordLengthAt + 1] = static_cast<unsigned char>(recordLength >> 8);
    bytes[kLanguageDriverAt] = languageDriver(codePage);
    bytes[headerLength - 1] = kDescriptorEnd;
    bytes[headerLength] = kEndOfData;
    return bytes;
}

}  // namespace

std::unique_ptr<Table> Table::create(const std::filesystem::path& file,
                                     std::span<const FieldDescription> fields, const TableOptions& options,
                                     CreateMode mode) {
    // Everything is checked before anything on disk changes: an invalid field list never costs the
    // table that is there.
    std::vector<unsigned char> bytes = newTableBytes(fields, options.codePage);
    if (bytes.empty())
        return nullptr;
    bool replacing = mode == CreateMode::Replace && io::exists(file);
    // A replaced table keeps its name until the new one is whole (see io::replace).
    bool written = replacing ? io::replace(file, bytes) : io::createNew(file, bytes);
    if (!written)
        return nullptr;
    return open(file, options);
}
}  // namespace qx::dbf
