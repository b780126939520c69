#include "DbfValue.h"

#include <string>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace qx::dbf {

std::int32_t clampToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (value <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(value);  // cuts toward zero
}

namespace {

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

bool formatDecimalText(std::string_view text, std::uint32_t width, unsigned decimals, char* out) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    text = text.substr(0, lengthWithoutTrailingBlanks(text));
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() && fraction.empty())
        return false;
    for (std::string_view part : {whole, fraction})
        for (char c : part)
            if (!isDigit(c))
                return false;
    // The digits without the point, cut or padded to `decimals` places, then rounded at the cut.
    std::string digits(whole);
    digits += fraction.substr(0, decimals);
    digits.append(decimals - std::min<std::size_t>(fraction.size(), decimals), '0');
    if (fraction.size() > decimals && fraction[decimals] >= '5') {
        std::size_t at = digits.size();
        while (at > 0 && digits[at - 1] == '9')
            digits[--at] = '0';
        if (at == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[at - 1];
    }
    std::size_t leadingZeros = 0;
    while (leadingZeros + decimals + 1 < digits.size() && digits[leadingZeros] == '0')
        ++leadingZeros;
    digits.erase(0, leadingZeros);
    if (digits.size() < decimals + 1)
        digits.insert(0, decimals + 1 - digits.size(), '0');
    bool zero = digits.find_first_not_of('0') == std::string::npos;
    std::string result = negative && !zero ? "-" : "";
    result += digits.substr(0, digits.size() - decimals);
    if (decimals > 0)
        result += '.' + digits.substr(digits.size() - decimals);
    if (result.size() > width)
        return false;
    std::memset(out, ' ', width - result.size());
    std::memcpy(out + (width - result.size()), result.data(), result.size());
    return true;
}

std::size_t lengthWithoutTrailingBlanks(std::string_view text) {
    std::size_t length = text.size();
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return length;
}

}  // namespace qx::dbf
