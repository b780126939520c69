#include "qxclass/DbfValue.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace qx::dbf {
namespace {

std::int32_t clampToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (value <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(value);  // cuts toward zero
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::int32_t storedTextToInt(std::string_view stored) {
    if (stored.find('*') != std::string_view::npos)
        return 0;
    std::size_t at = 0;
    while (at < stored.size() && stored[at] == ' ')
        ++at;
    bool negative = false;
    if (at < stored.size() && (stored[at] == '+' || stored[at] == '-')) {
        negative = stored[at] == '-';
        ++at;
    }
    std::size_t digitsFrom = at;
    std::int64_t magnitude = 0;
    bool overflow = false;
    while (at < stored.size() && isDigit(stored[at])) {
        if (magnitude < (std::int64_t(1) << 40))
            magnitude = magnitude * 10 + (stored[at] - '0');
        else
            overflow = true;
        ++at;
    }
    bool fractionOrExponent =
        at < stored.size() && (stored[at] == '.' || stored[at] == 'e' || stored[at] == 'E');
    if (!fractionOrExponent) {
        if (at == digitsFrom)
            return 0;
        if (overflow)
            return negative ? std::numeric_limits<std::int32_t>::min()
                            : std::numeric_limits<std::int32_t>::max();
        return clampToInt(double(negative ? -magnitude : magnitude));
    }
    // Rare path (decimals or exponent): from_chars parses the number locale-free from the digits on.
    double value = 0;
    auto result = std::from_chars(stored.data() + digitsFrom, stored.data() + stored.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity();
    else if (result.ec != std::errc())
        return 0;
    return clampToInt(negative ? -value : value);
}

std::int32_t storedBinaryToInt(std::string_view stored) {
    std::uint32_t value = 0;
    std::size_t n = stored.size() < 4 ? stored.size() : 4;
    for (std::size_t i = 0; i < n; ++i)
        value |= std::uint32_t(static_cast<unsigned char>(stored[i])) << (8 * i);
    if (n > 0 && n < 4 && (value & (std::uint32_t(1) << (8 * n - 1))))
        value |= ~std::uint32_t(0) << (8 * n);  // sign-extend shorter fields
    return static_cast<std::int32_t>(value);
}

bool formatNumber(double value, std::uint32_t width, unsigned decimals, char* out) {
    if (!std::isfinite(value) || width == 0)
        return false;
    // Fixed notation of a double needs at most 309 integer digits plus sign, point and decimals.
    char text[330 + 256];
    if (decimals > 255)
        return false;
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, int(decimals));
    if (result.ec != std::errc())
        return false;
    std::size_t length = std::size_t(result.ptr - text);
    if (length > width)
        return false;
    std::memset(out, ' ', width - length);
    std::memcpy(out + (width - length), text, length);
    return true;
}

std::size_t lengthWithoutTrailingBlanks(std::string_view text) {
    std::size_t length = text.size();
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return length;
}

}  // namespace qx::dbf
