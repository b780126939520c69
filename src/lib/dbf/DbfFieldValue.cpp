#include "DbfFieldValue.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "DbfValue.h"

namespace qx::dbf {
namespace {

namespace chrono = std::chrono;

// FoxPro counts days as Julian day numbers; 1970-01-01 is day 2440588.
constexpr std::int64_t kJulianDayOfUnixEpoch = 2440588;
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

std::int64_t loadLe(std::string_view bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 8; ++i)
        value |= std::uint64_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return static_cast<std::int64_t>(value);
}

void storeLe(char* to, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i)
        to[i] = static_cast<char>(static_cast<unsigned char>(value >> (8 * i)));
}

double loadDouble(std::string_view stored) {
    std::uint64_t bits = std::uint64_t(loadLe(stored));
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void storeDouble(char* to, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    storeLe(to, bits, 8);
}

std::size_t copyOut(std::string_view text, char* out, std::size_t size) {
    if (size == 0 || out == nullptr)
        return 0;
    std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
    return length;
}

bool allBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text.substr(0, lengthWithoutTrailingBlanks(text));
}

bool digitsOnly(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view digits) {
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// The date YYYYMMDD as a calendar date when it is one.
std::optional<chrono::year_month_day> dateOf(long long yyyymmdd);

std::optional<chrono::year_month_day> dateOf(double yyyymmdd) {
    if (!(yyyymmdd >= 0 && yyyymmdd < 1e9) || yyyymmdd != std::trunc(yyyymmdd))
        return std::nullopt;
    return dateOf((long long)yyyymmdd);
}

std::optional<chrono::year_month_day> dateOf(long long yyyymmdd) {
    if (yyyymmdd < 10101 || yyyymmdd > 99991231)
        return std::nullopt;
    chrono::year_month_day date{chrono::year(int(yyyymmdd / 10000)),
                                chrono::month(unsigned(yyyymmdd / 100 % 100)),
                                chrono::day(unsigned(yyyymmdd % 100))};
    if (!date.ok())
        return std::nullopt;
    return date;
}

std::optional<chrono::year_month_day> dateOf(std::string_view text) {
    if (text.size() != 8 || !digitsOnly(text))
        return std::nullopt;
    return dateOf(number(text.substr(0, 4)) * 10000LL + number(text.substr(4, 2)) * 100 +
                  number(text.substr(6, 2)));
}

std::int64_t julianDay(chrono::year_month_day date) {
    return std::int64_t(chrono::sys_days(date).time_since_epoch().count()) + kJulianDayOfUnixEpoch;
}

chrono::year_month_day dateOfJulianDay(std::int64_t day) {
    return chrono::year_month_day(chrono::sys_days(chrono::days(day - kJulianDayOfUnixEpoch)));
}

void storeDateTime(char* to, chrono::year_month_day date, std::int64_t milliseconds) {
    storeLe(to, std::uint64_t(julianDay(date)), 4);
    storeLe(to + 4, std::uint64_t(milliseconds), 4);
}

// "YYYYMMDD", "YYYYMMDDhhmmss" or "YYYYMMDDhhmmss.mmm".
bool encodeDateTime(std::string_view text, char* to) {
    auto date = dateOf(text.substr(0, 8));
    if (!date)
        return false;
    std::int64_t milliseconds = 0;
    if (text.size() > 8) {
        std::string_view time = text.substr(8);
        std::string_view fraction;
        if (time.size() == 18 - 8 && time[6] == '.') {
            fraction = time.substr(7);
            time = time.substr(0, 6);
        }
        if (time.size() != 6 || !digitsOnly(time) || (!fraction.empty() && !digitsOnly(fraction)))
            return false;
        int hour = number(time.substr(0, 2)), minute = number(time.substr(2, 2)),
            second = number(time.substr(4, 2));
        if (hour > 23 || minute > 59 || second > 59)
            return false;
        milliseconds =
            ((hour * 60 + minute) * 60 + second) * 1000LL + (fraction.empty() ? 0 : number(fraction));
    }
    storeDateTime(to, *date, milliseconds);
    return true;
}

// The Julian days of 0001-01-01 and 9999-12-31: the dates that "YYYYMMDD" can name.
constexpr std::int64_t kFirstJulianDay = 1721426;
constexpr std::int64_t kLastJulianDay = 5373484;

bool dateTimeInRange(std::int64_t day, std::int64_t milliseconds) {
    return day >= kFirstJulianDay && day <= kLastJulianDay && milliseconds >= 0 &&
           milliseconds < kMillisecondsPerDay;
}

std::size_t dateTimeText(std::string_view stored, char* out, std::size_t size) {
    std::int64_t day = std::int32_t(loadLe(stored.substr(0, 4)));
    std::int64_t milliseconds = std::int32_t(loadLe(stored.substr(4, 4)));
    // A day or time that no date-time has (a damaged record) reads as blank rather than as a year of
    // the calendar's overflow.
    if (!dateTimeInRange(day, milliseconds))
        return copyOut("", out, size);
    chrono::year_month_day date = dateOfJulianDay(day);
    long long seconds = milliseconds / 1000;
    char text[64];
    int length = std::snprintf(text, sizeof text, "%04d%02u%02u%02lld%02lld%02lld", int(date.year()),
                               unsigned(date.month()), unsigned(date.day()), seconds / 3600,
                               seconds / 60 % 60, seconds % 60);
    if (milliseconds % 1000 != 0)
        length += std::snprintf(text + length, sizeof text - std::size_t(length), ".%03lld",
                                static_cast<long long>(milliseconds % 1000));
    return copyOut(std::string_view(text, std::size_t(length)), out, size);
}

bool encodeInteger(std::string_view text, char* to) {
    text = trimmed(text);
    std::int64_t value = 0;
    auto result = std::from_chars(text.data() + (!text.empty() && text.front() == '+'),
                                  text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return false;
    storeLe(to, std::uint64_t(value), 4);
    return true;
}

bool encodeDouble(std::string_view text, char* to) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value))
        return false;
    storeDouble(to, value);
    return true;
}

bool encodeCurrency(std::string_view text, char* to) {
    char formatted[40];
    constexpr std::uint32_t width = sizeof formatted;
    if (!formatDecimalText(text, width, 4, formatted))
        return false;
    std::string digits;
    for (char c : std::string_view(formatted, width))
        if (c != ' ' && c != '.')
            digits += c;
    std::int64_t value = 0;
    auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        return false;  // beyond 64 bits
    storeLe(to, std::uint64_t(value), 8);
    return true;
}

bool encodeLogical(std::string_view text, char* to) {
    text = trimmed(text);
    if (text.size() != 1 || std::strchr("TtFfYyNn?", text[0]) == nullptr)
        return false;
    to[0] = (text[0] >= 'a' && text[0] <= 'z') ? char(text[0] - 'a' + 'A') : text[0];
    return true;
}

}  // namespace

void blankField(const Field& field, char* to) {
    std::memset(to, field.binary() ? 0 : ' ', field.length);
}

std::size_t fieldText(const Field& field, std::string_view stored, char* out, std::size_t size) {
    char text[64];
    switch (field.storage) {
        case Storage::Text: {
            if (const void* nul = std::memchr(stored.data(), '\0', stored.size()))
                stored = stored.substr(0, std::size_t(static_cast<const char*>(nul) - stored.data()));
            return copyOut(stored.substr(0, lengthWithoutTrailingBlanks(stored)), out, size);
        }
        case Storage::Integer:
        case Storage::MemoBlock: {
            std::int32_t value = storedBinaryToInt(stored);
            if (field.storage == Storage::MemoBlock && value == 0)
                return copyOut("", out, size);
            auto end = std::to_chars(text, text + sizeof text, value).ptr;
            return copyOut(std::string_view(text, std::size_t(end - text)), out, size);
        }
        case Storage::Double: {
            auto end = std::to_chars(text, text + sizeof text, loadDouble(stored)).ptr;
            return copyOut(std::string_view(text, std::size_t(end - text)), out, size);
        }
        case Storage::Currency: {
            std::int64_t value = loadLe(stored);
            std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
            int length = std::snprintf(text, sizeof text, "%s%llu.%04llu", value < 0 ? "-" : "",
                                       static_cast<unsigned long long>(magnitude / 10000),
                                       static_cast<unsigned long long>(magnitude % 10000));
            return copyOut(std::string_view(text, std::size_t(length)), out, size);
        }
        case Storage::DateTime:
            return dateTimeText(stored, out, size);
        case Storage::NullFlags: {
            static const char digits[] = "0123456789abcdef";
            std::string hex;
            for (char c : stored) {
                hex += digits[static_cast<unsigned char>(c) >> 4];
                hex += digits[static_cast<unsigned char>(c) & 15];
            }
            return copyOut(hex, out, size);
        }
    }
    return copyOut("", out, size);
}

std::int32_t fieldInt(const Field& field, std::string_view stored) {
    switch (field.storage) {
        case Storage::Text:
            return storedTextToInt(stored);
        case Storage::Integer:
        case Storage::MemoBlock:
        case Storage::NullFlags:
            return storedBinaryToInt(stored);
        case Storage::Double:
            return clampToInt(std::trunc(loadDouble(stored)));
        case Storage::Currency:
            return clampToInt(double(loadLe(stored) / 10000));
        case Storage::DateTime: {
            std::int64_t day = std::int32_t(loadLe(stored.substr(0, 4)));
            if (!dateTimeInRange(day, std::int32_t(loadLe(stored.substr(4, 4)))))
                return 0;
            chrono::year_month_day date = dateOfJulianDay(day);
            return int(date.year()) * 10000 + int(unsigned(date.month())) * 100 + int(unsigned(date.day()));
        }
    }
    return 0;
}

bool encodeText(const Field& field, std::string_view text, char* to) {
    if (field.memo || field.storage == Storage::NullFlags)
        return false;
    if (allBlank(text)) {
        blankField(field, to);
        return true;
    }
    switch (field.storage) {
        case Storage::Integer:
            return encodeInteger(text, to);
        case Storage::Double:
            return encodeDouble(text, to);
        case Storage::Currency:
            return encodeCurrency(text, to);
        case Storage::DateTime:
            return encodeDateTime(trimmed(text), to);
        default:
            break;
    }
    switch (field.type) {
        case 'N':
        case 'F':
            return formatDecimalText(text, field.length, field.decimals, to);
        case 'D': {
            std::string_view date = trimmed(text);
            if (field.length < 8 || !dateOf(date))
                return false;
            std::memcpy(to, date.data(), 8);
            std::memset(to + 8, ' ', field.length - 8);
            return true;
        }
        case 'L':
            if (field.length == 0)
                return false;
            std::memset(to, ' ', field.length);
            return encodeLogical(text, to);
        default: {
            std::size_t n = std::min<std::size_t>(text.size(), field.length);
            std::memcpy(to, text.data(), n);
            std::memset(to + n, ' ', field.length - n);
            return true;
        }
    }
}

bool encodeNumber(const Field& field, double value, char* to) {
    if (field.memo || field.storage == Storage::NullFlags || !std::isfinite(value))
        return false;
    switch (field.storage) {
        case Storage::Integer:
            if (!(value >= std::numeric_limits<std::int32_t>::min()) ||
                !(value <= std::numeric_limits<std::int32_t>::max()) || value != std::trunc(value))
                return false;
            storeLe(to, std::uint64_t(std::int64_t(value)), 4);
            return true;
        case Storage::Double:
            storeDouble(to, value);
            return true;
        case Storage::Currency: {
            double scaled = std::round(value * 10000);
            if (!(std::fabs(scaled) < 9.2e18))
                return false;
            storeLe(to, std::uint64_t(std::int64_t(scaled)), 8);
            return true;
        }
        case Storage::DateTime: {
            auto date = dateOf(value);
            if (!date)
                return false;
            storeDateTime(to, *date, 0);
            return true;
        }
        default:
            break;
    }
    switch (field.type) {
        case 'L':
            if (field.length == 0)
                return false;
            std::memset(to, ' ', field.length);
            to[0] = value != 0 ? 'T' : 'F';
            return true;
        case 'D':
            if (field.length < 8 || !dateOf(value))
                return false;
            return formatNumber(value, 8, 0, to);
        case 'N':
        case 'F':
            return formatNumber(value, field.length, field.decimals, to);
        default:
            return formatNumber(value, field.length, 0, to);
    }
}

}  // namespace qx::dbf
