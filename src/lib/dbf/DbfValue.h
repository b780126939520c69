#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qx::dbf {

// The integer that a field's stored text stands for. Leading blanks are skipped, then an optional sign,
// digits, an optional fraction (cut toward zero) and exponent; reading stops at the first other byte,
// so "12AB" gives 12. A field of blanks only, one without digits, or one holding the '*' overflow mark
// gives 0. Values beyond the 32-bit range are clamped to it. Never depends on the locale.
std::int32_t storedTextToInt(std::string_view stored);

// `value` cut toward zero and held within the 32-bit range; NaN gives 0.
std::int32_t clampToInt(double value);

// A little-endian signed integer of up to 4 bytes (Visual FoxPro integer fields, memo block numbers).
std::int32_t storedBinaryToInt(std::string_view stored);

// Writes `value` right-justified into the `width` bytes at `out`, with `decimals` digits after a '.'
// whatever the locale. Returns false and leaves `out` untouched when the text would be wider than the
// field (a value is refused, never cut) or the value is not finite.
bool formatNumber(double value, std::uint32_t width, unsigned decimals, char* out);

// Writes the decimal number `text` (blanks around it, an optional sign, digits with at most one '.';
// no exponent) right-justified into the `width` bytes at `out` with exactly `decimals` digits after
// the point, rounding half away from zero on the decimal digits themselves, so no precision is lost
// on the way. Returns false and leaves `out` untouched when `text` is no such number or does not fit.
bool formatDecimalText(std::string_view text, std::uint32_t width, unsigned decimals, char* out);

// The length of `text` without its trailing blanks. Only the blank (32) counts; tabs stay.
std::size_t lengthWithoutTrailingBlanks(std::string_view text);

}  // namespace qx::dbf
