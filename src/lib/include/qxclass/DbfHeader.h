#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "qxclass/Export.h"

namespace qx::dbf {

// The fixed parts of the dBASE III/IV file layout that the engine relies on.
inline constexpr std::size_t kMainHeaderSize = 32;
inline constexpr std::size_t kDescriptorSize = 32;
inline constexpr std::size_t kFieldNameSize = 11;
inline constexpr unsigned char kDescriptorEnd = 0x0D;
inline constexpr unsigned char kEndOfData = 0x1A;
inline constexpr char kRecordDeleted = '*';
inline constexpr char kRecordValid = ' ';

// Byte positions in the main header. Everything else there (code page, reserved bytes) belongs to the
// programs that wrote it and is never rewritten.
inline constexpr std::size_t kVersionAt = 0;
inline constexpr std::size_t kUpdateDateAt = 1;  // three bytes: year - 1900, month, day
inline constexpr std::size_t kRecordCountAt = 4;
inline constexpr std::size_t kHeaderLengthAt = 8;
inline constexpr std::size_t kRecordLengthAt = 10;
inline constexpr std::size_t kTableFlagsAt = 28;
inline constexpr unsigned char kProductionIndexFlag = 0x01;

struct Field {
    char name[kFieldNameSize + 1] = {};  // as stored, NUL-terminated, trailing blanks cut
    char type = 'C';                     // the type letter, upper-cased ('C', 'N', 'F', 'D', 'L', 'M', ...)
    std::uint32_t offset = 0;            // first byte within the record; byte 0 is the deletion flag
    std::uint32_t length = 0;            // bytes in the record, never 0
    std::uint8_t decimals = 0;
    bool binary = false;  // a little-endian integer rather than text (Visual FoxPro 'I' and 4-byte memo refs)
    bool memo = false;    // holds a reference into a memo file ('M', 'G', 'P'); never written by us
};

struct Header {
    std::uint8_t version = 0;
    std::uint32_t recordCount = 0;   // as stated when the header was read; see Table::recordCount()
    std::uint32_t headerLength = 0;  // where the first record starts
    std::uint32_t recordLength = 0;  // deletion flag plus all fields (plus any padding)
    bool productionIndex = false;    // an index file that we do not maintain belongs to the table
    std::vector<Field> fields;
};

// The little-endian 16-bit header length stored at kHeaderLengthAt of a main header.
QXCLASS_API std::uint32_t statedHeaderLength(std::span<const unsigned char> mainHeader);

// Parses the main header and the field descriptors. `bytes` is the start of the file, as much of it as
// the file holds up to the stated header length. Returns nullopt for anything that is not a table whose
// records can be read safely: fewer bytes than the stated header length, a layout version other than
// dBASE III/IV, FoxPro and Visual FoxPro, no descriptor terminator before the header ends, a field
// without name, type or length, or fields that do not fit into the stated record length.
// A character field whose decimals byte is set counts as one long field (length + 256 * decimals) when
// that is what makes the fields fill the record exactly, as Clipper stores fields past 255 bytes.
QXCLASS_API std::optional<Header> parseHeader(std::span<const unsigned char> bytes);

// Compares field names the way the engine looks them up: ASCII letters in any case.
QXCLASS_API bool sameFieldName(std::string_view a, std::string_view b);

}  // namespace qx::dbf
