#include "DbfHeader.h"

#include <algorithm>
#include <cstring>

#include "AsciiText.h"

namespace qx::dbf {
namespace {

std::uint32_t le16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

// dBASE III/IV (also with memo or SQL flags), FoxPro (0xF5, 0xE5) and Visual FoxPro (0x30..0x32) all
// share the 32-byte descriptor layout. dBASE II (0x02) and level 7 (0x04) do not.
bool knownLayout(unsigned char version) {
    if (version >= 0x30 && version <= 0x32)
        return true;
    unsigned level = version & 0x07;
    return level == 3 || level == 5;
}

// Binary storage goes by type and length, as FoxPro's readers decide it: a field of an unexpected
// length is read as text rather than misread as a number.
void classify(Field& field) {
    switch (field.type) {
        case 'I':
            field.storage = field.length == 4 ? Storage::Integer : Storage::Text;
            break;
        case 'Y':
            field.storage = field.length == 8 ? Storage::Currency : Storage::Text;
            break;
        case 'T':
            field.storage = field.length == 8 ? Storage::DateTime : Storage::Text;
            break;
        case 'B':
            // Visual FoxPro's double; dBASE's binary memo holds a 10-digit block number instead.
            if (field.length == 8)
                field.storage = Storage::Double;
            else
                field.memo = true;
            break;
        case 'M':
        case 'G':
        case 'P':
            field.memo = true;
            break;
        case '0':
            field.storage = Storage::NullFlags;
            break;
        default:
            break;
    }
    if (field.memo && field.length == 4)
        field.storage = Storage::MemoBlock;
}

}  // namespace

std::uint32_t statedHeaderLength(std::span<const unsigned char> mainHeader) {
    if (mainHeader.size() < kHeaderLengthAt + 2)
        return 0;
    return le16(mainHeader.data() + kHeaderLengthAt);
}

bool sameFieldName(std::string_view a, std::string_view b) {
    return equalsIgnoreCase(a, b);
}

std::optional<Header> parseHeader(std::span<const unsigned char> bytes) {
    if (bytes.size() < kMainHeaderSize)
        return std::nullopt;
    const unsigned char* main = bytes.data();
    Header header;
    header.version = main[kVersionAt];
    header.recordCount = le32(main + kRecordCountAt);
    header.headerLength = le16(main + kHeaderLengthAt);
    header.recordLength = le16(main + kRecordLengthAt);
    header.productionIndex = (main[kTableFlagsAt] & kProductionIndexFlag) != 0;
    if (!knownLayout(header.version) || header.recordLength < 1)
        return std::nullopt;
    if (header.headerLength < kMainHeaderSize + kDescriptorSize + 1 || bytes.size() < header.headerLength)
        return std::nullopt;

    // Extended character lengths are decided once all descriptors are known.
    std::vector<std::uint32_t> extraLength;
    std::vector<std::size_t> nullable;
    bool terminated = false;
    for (std::size_t at = kMainHeaderSize; at < header.headerLength; at += kDescriptorSize) {
        if (main[at] == kDescriptorEnd) {
            terminated = true;
            break;
        }
        if (at + kDescriptorSize > header.headerLength)
            break;
        const unsigned char* d = main + at;
        Field field;
        std::size_t nameLength = 0;
        while (nameLength < kFieldNameSize && d[nameLength] != 0)
            ++nameLength;
        while (nameLength > 0 && d[nameLength - 1] == ' ')
            --nameLength;
        std::memcpy(field.name, d, nameLength);
        field.type = char(asciiUpper(char(d[kFieldTypeAt])));
        field.length = d[kFieldLengthAt];
        field.decimals = d[kFieldDecimalsAt];
        if (nameLength == 0 || d[kFieldTypeAt] == 0)
            return std::nullopt;
        if ((d[kFieldFlagsAt] & kNullableFlag) != 0)
            nullable.push_back(header.fields.size());
        extraLength.push_back(field.type == 'C' ? std::uint32_t(field.decimals) * 256 : 0);
        header.fields.push_back(field);
    }
    if (!terminated || header.fields.empty())
        return std::nullopt;

    std::uint64_t plain = 1, extended = 1;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        plain += header.fields[i].length;
        extended += header.fields[i].length + extraLength[i];
    }
    bool useExtended = plain != header.recordLength && extended == header.recordLength;
    std::uint32_t offset = 1;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        Field& field = header.fields[i];
        if (useExtended && extraLength[i] != 0) {
            field.length += extraLength[i];
            field.decimals = 0;
        }
        field.offset = offset;
        offset += field.length;
        if (offset > header.recordLength)
            return std::nullopt;
        classify(field);
        if (field.storage == Storage::NullFlags && header.nullFlagsField < 0)
            header.nullFlagsField = int(i);
    }
    // Visual FoxPro numbers the null bits of the nullable fields in field order. Bits that the
    // _NullFlags field cannot hold are not used.
    if (header.nullFlagsField >= 0) {
        std::size_t bits = std::size_t(header.fields[std::size_t(header.nullFlagsField)].length) * 8;
        for (std::size_t n = 0; n < nullable.size() && n < bits; ++n)
            if (header.fields[nullable[n]].storage != Storage::NullFlags)
                header.fields[nullable[n]].nullBit = int(n);
    }
    return header;
}

}  // namespace qx::dbf
