#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "DbfHeader.h"

namespace qx::dbf {

// The value of a field in its text form, as CDatabase::Read hands it out, written NUL-terminated into
// `out` of `size` bytes (a longer value is cut at size - 1; nothing is written when size is 0).
// Returns the length written.
//  - text fields: the bytes up to the first NUL, trailing blanks cut;
//  - 'I' and memo block numbers: the decimal integer ("" for memo block 0);
//  - 'B': the shortest text that reads back as the same double ("3.5", "-1e+100");
//  - 'Y': the amount with four decimals ("12.3400");
//  - 'T': "YYYYMMDDhhmmss", with ".mmm" when there are milliseconds; "" for the blank value and for
//    a day outside 0001-01-01 to 9999-12-31 or a time outside the day;
//  - _NullFlags: its bytes as hexadecimal digits.
std::size_t fieldText(const Field& field, std::string_view stored, char* out, std::size_t size);

// The value of a field as an integer: text fields as storedTextToInt(); 'I' and memo block numbers as
// they are; 'B' and 'Y' cut toward zero and clamped to 32 bits; 'T' as the date YYYYMMDD (0 blank or out of
// range).
std::int32_t fieldInt(const Field& field, std::string_view stored);

// The bytes that `text` is stored as in `field`, written to `to` (field.length bytes). Returns false,
// leaving `to` untouched, when the text does not fit the field's type:
//  - 'C' and unknown types take any text, left-justified, blank-padded, cut at the field length;
//  - 'N' and 'F' a decimal number (blanks, sign, digits, one '.'), stored right-justified with the
//    field's decimals, rounded half away from zero; refused when wider than the field;
//  - 'D' a valid date "YYYYMMDD"; 'L' one of T, F, Y, N, ? in either case (stored upper-cased);
//  - 'I' a decimal integer of 32 bits; 'B' a number; 'Y' a decimal number (four decimals kept);
//  - 'T' "YYYYMMDD", "YYYYMMDDhhmmss" or "YYYYMMDDhhmmss.mmm" of a valid date and time.
// Empty text (or blanks only) stores the field's blank value in every type. Memo references and the
// _NullFlags field are never written.
bool encodeText(const Field& field, std::string_view text, char* to);

// The bytes that the number `value` is stored as: numbers in 'N' and 'F' with the field's decimals,
// 'C' right-justified without decimals; 'D' and 'T' take a valid date YYYYMMDD; 'L' stores 'T' for
// non-zero and 'F' for zero; 'I' an integer of 32 bits, 'B' as it is, 'Y' in ten-thousandths.
// False, `to` untouched, when it does not fit (too wide, not a date, memo, _NullFlags).
bool encodeNumber(const Field& field, double value, char* to);

// The blank value of a field written to `to`: zero bytes for binary fields, blanks for text.
void blankField(const Field& field, char* to);

}  // namespace qx::dbf
