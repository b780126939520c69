#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace qx::dbf {

// The fixed parts of the dBASE III/IV and FoxPro file layout that the engine relies on.
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
inline constexpr std::size_t kLanguageDriverAt = 29;  // the code page of the text, as a driver id
inline constexpr unsigned char kProductionIndexFlag = 0x01;

// Byte positions in a field descriptor.
inline constexpr std::size_t kFieldTypeAt = 11;
inline constexpr std::size_t kFieldLengthAt = 16;
inline constexpr std::size_t kFieldDecimalsAt = 17;
inline constexpr std::size_t kFieldFlagsAt = 18;  // Visual FoxPro: 0x01 system, 0x02 nullable
inline constexpr unsigned char kNullableFlag = 0x02;

// How a field's bytes hold its value. FoxPro's binary fields are little-endian numbers; their blank
// value is all zero bytes, never blanks.
enum class Storage : std::uint8_t {
    Text,       // characters: 'C', 'N', 'F', 'D', 'L' and every type we do not know
    Integer,    // 'I': 4-byte signed integer
    Double,     // 'B' of 8 bytes: IEEE double
    Currency,   // 'Y': 8-byte signed integer in ten-thousandths
    DateTime,   // 'T' of 8 bytes: Julian day number, then milliseconds since midnight
    MemoBlock,  // a 4-byte memo block number ('M', 'G', 'P' of Visual FoxPro)
    NullFlags,  // '0', the hidden _NullFlags field: one bit per nullable field
};

struct Field {
    char name[kFieldNameSize + 1] = {};  // as stored, NUL-terminated, trailing blanks cut
    char type = 'C';                     // the type letter, upper-cased ('C', 'N', 'F', 'D', 'L', 'M', ...)
    std::uint32_t offset = 0;            // first byte within the record; byte 0 is the deletion flag
    std::uint32_t length = 0;            // bytes in the record; 0 for a field that holds nothing
    std::uint8_t decimals = 0;
    Storage storage = Storage::Text;
    bool memo = false;  // holds a reference into a memo file ('M', 'G', 'P', 'B' other than a double)
    int nullBit = -1;   // the field's bit in the _NullFlags field when it is nullable, else -1

    bool binary() const { return storage != Storage::Text; }
};

struct Header {
    std::uint8_t version = 0;
    std::uint32_t recordCount = 0;   // as stated when the header was read; see Table::recordCount()
    std::uint32_t headerLength = 0;  // where the first record starts
    std::uint32_t recordLength = 0;  // deletion flag plus all fields (plus any padding)
    bool productionIndex = false;    // an index file that we do not maintain belongs to the table
    int nullFlagsField = -1;         // the index of the _NullFlags field, -1 when there is none
    std::vector<Field> fields;
};

// The little-endian 16-bit header length stored at kHeaderLengthAt of a main header.
std::uint32_t statedHeaderLength(std::span<const unsigned char> mainHeader);

// Parses the main header and the field descriptors. `bytes` is the start of the file, as much of it as
// the file holds up to the stated header length. Returns nullopt for anything that is not a table whose
// records can be read safely: fewer bytes than the stated header length, a layout version other than
// dBASE III/IV, FoxPro and Visual FoxPro, no descriptor terminator before the header ends, a field
// without name or type, or fields that do not fit into the stated record length. A field of length 0
// is kept: it holds nothing, and the others are read as usual.
// A character field whose decimals byte is set counts as one long field (length + 256 * decimals) when
// that is what makes the fields fill the record exactly, as Clipper stores fields past 255 bytes.
std::optional<Header> parseHeader(std::span<const unsigned char> bytes);

// Compares field names the way the engine looks them up: ASCII letters in any case.
bool sameFieldName(std::string_view a, std::string_view b);

}  // namespace qx::dbf
