#include "SettingKeys.h"

#include <algorithm>
#include <climits>

#include "ActivityLog.h"
#include "Profile.h"
#include "Services.h"
#include "SettingNotices.h"
#include "SharedState.h"

namespace qx {

namespace {

// Stands for a missing key: no profile value holds this byte.
constexpr std::string_view kAbsent = "\x01";
// Room for reading a number: longer values are not numbers anyway, and are shown cut.
constexpr std::size_t kNumberRoom = 256;
constexpr std::size_t kShownValue = 60;

bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

int digitValue(char c, int base) {
    int value = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : 99;
    return value < base ? value : -1;
}

std::string range(const SettingKey& key) {
    if (key.low == INT_MIN && key.high == INT_MAX)
        return "a 32-bit number";
    if (key.low == INT_MIN)
        return "at most " + std::to_string(key.high);
    if (key.high == INT_MAX)
        return "at least " + std::to_string(key.low);
    return std::to_string(key.low) + " to " + std::to_string(key.high);
}

}  // namespace

namespace {

// `pattern` with `number` in place of its "%d", if it has one.
std::string numbered(std::string_view pattern, int number) {
    const std::size_t at = pattern.find("%d");
    if (at == std::string_view::npos)
        return std::string(pattern);
    return std::string(pattern.substr(0, at)) + std::to_string(number) + std::string(pattern.substr(at + 2));
}

}  // namespace

std::string SettingKey::keyName(int number) const {
    return numbered(name, number);
}

std::string SettingKey::sectionName(int number) const {
    return numbered(section, number);
}

std::optional<long long> parseSettingNumber(std::string_view text, bool leadingNumber) {
    text = trimmed(text);

    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    unsigned long long value = 0;
    constexpr unsigned long long kLimit = static_cast<unsigned long long>(LLONG_MAX);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0 && leadingNumber && i > 0)
            break;
        if (digit < 0)
            return std::nullopt;
        value = value > (kLimit - static_cast<unsigned>(digit)) / static_cast<unsigned>(base)
                    ? kLimit
                    : value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    const long long magnitude = static_cast<long long>(value);
    return negative ? -magnitude : magnitude;
}

SettingReader::SettingReader(const Profile& profile, std::optional<SettingReport> report, Profile* writeBack)
    : m_profile(profile), m_report(report), m_writeBack(writeBack) {}

int SettingReader::integer(const SettingKey& key, int number, int section) const {
    const Place place{key.sectionName(section), key.keyName(number)};
    const bool isText = key.type == SettingType::NumberText;
    // Read whole, whatever the row's room: a number cut short would be another number.
    const std::string raw = m_profile.getString(key.file, place.section, place.name,
                                                isText ? key.defaultText : kAbsent, kNumberRoom);
    const bool missing = raw == kAbsent || trimmed(raw).empty();
    if (missing && !isText) {
        if (key.marker)
            writeDefault(key, place);
        return key.defaultValue;
    }
    const std::optional<long long> value = parseSettingNumber(raw, key.leadingNumber);
    if (!value)
        return bad(key, place, missing ? std::string_view() : std::string_view(raw), true, 0);
    if (key.marker && *value == *key.marker) {
        writeDefault(key, place);
        return key.defaultValue;
    }
    if (*value >= key.low && *value <= key.high)
        return key.type == SettingType::Flag ? (*value != 0 ? 1 : 0) : static_cast<int>(*value);
    return bad(key, place, raw, false, *value);
}

std::string SettingReader::text(const SettingKey& key, int number, int section) const {
    const Place place{key.sectionName(section), key.keyName(number)};
    const std::size_t room = std::max<std::size_t>(key.size, 1);
    // One more character than the room shows whether the stored text is longer.
    std::string raw = m_profile.getString(key.file, place.section, place.name, key.defaultText, room + 1);
    if (raw.size() >= room) {
        raw.resize(room - 1);
        tell(key, place, raw + "...",
             " is longer than " + std::to_string(room - 1) + " characters; the first " +
                 std::to_string(room - 1) + " are used");
    }
    return raw;
}

bool SettingReader::present(const SettingKey& key, int number, int section) const {
    return m_profile.getString(key.file, key.sectionName(section), key.keyName(number), kAbsent, 2) !=
           kAbsent;
}

std::optional<std::string> SettingReader::stored(const SettingKey& key, int number, int section) const {
    std::string raw =
        m_profile.getString(key.file, key.sectionName(section), key.keyName(number), kAbsent, kStoredRoom);
    if (raw == kAbsent)
        return std::nullopt;
    return raw;
}

int SettingReader::bad(const SettingKey& key, const Place& place, std::string_view value, bool notANumber,
                       long long number) const {
    const bool repaired = !notANumber && key.belowRangeIsMissing && number < key.low;
    int used = key.defaultValue;
    std::string instead;
    if (repaired) {
        writeDefault(key, place);
        instead = std::to_string(used) + " is used instead and written back";
    } else if (key.outOfRange == OutOfRange::Fallback) {
        used = key.fallback;
        instead = std::string(key.fallbackMeaning);
    } else {
        if (key.outOfRange == OutOfRange::NearestBound && !notANumber)
            used = number < key.low ? key.low : key.aboveHigh.value_or(key.high);
        instead = std::to_string(used) + " is used instead";
    }
    tell(key, place, value,
         (notANumber ? " is not a number" : " is out of range (" + range(key) + ")") + "; " + instead);
    return used;
}

void SettingReader::tell(const SettingKey& key, const Place& place, std::string_view value,
                         const std::string& what) const {
    if (!m_report)
        return;
    std::string shown(value.substr(0, kShownValue));
    if (value.size() > kShownValue)
        shown += "...";
    const std::string where = std::string(key.file) + " [" + place.section + "] " + place.name + "=" + shown;
    if (!m_report->notices.firstTime(where))
        return;
    if (m_report->collected)
        m_report->collected->push_back(where + what);
    else
        m_report->log.write(where + what);
}

void SettingReader::writeDefault(const SettingKey& key, const Place& place) const {
    if (!m_writeBack)
        return;
    const ProfileWriteResult result =
        m_writeBack->writeString(key.file, place.section, place.name, std::to_string(key.defaultValue));
    if (!result && m_report)
        m_report->log.write(profileWriteFailure(key.file, place.section, place.name, result));
}

bool SettingWriter::integer(const SettingKey& key, int number, int value, int section) {
    if (value < key.low || value > key.high)
        return refuse(key, number, section, std::to_string(value) + " is out of range (" + range(key) + ")");
    return write(key, number, section, std::to_string(value));
}

bool SettingWriter::flag(const SettingKey& key, int number, bool on, int section) {
    return write(key, number, section, on ? "1" : "0");
}

bool SettingWriter::text(const SettingKey& key, int number, std::string_view value, int section) {
    const std::size_t longest = std::max<std::size_t>(key.size, 1) - 1;
    if (value.size() > longest)
        return refuse(key, number, section,
                      "the text is longer than " + std::to_string(longest) + " characters");
    return write(key, number, section, value);
}

bool SettingWriter::write(const SettingKey& key, int number, int section, std::string_view value) {
    const std::string sectionName = key.sectionName(section);
    const std::string name = key.keyName(number);
    const ProfileWriteResult result = m_profile.writeString(key.file, sectionName, name, value);
    if (!result && m_failure.empty())
        m_failure = profileWriteFailure(key.file, sectionName, name, result);
    return static_cast<bool>(result);
}

bool SettingWriter::refuse(const SettingKey& key, int number, int section, const std::string& why) {
    if (m_failure.empty())
        m_failure = "Cannot write " + key.keyName(number) + " in [" + key.sectionName(section) + "] of " +
                    std::string(key.file) + ": " + why;
    return false;
}

SettingReport reportOf(const Services& services) {
    return SettingReport{services.log, services.state.settingNotices};
}

SettingReader settingsOf(const Services& services, bool writeBack) {
    return SettingReader(services.profile, reportOf(services), writeBack ? &services.profile : nullptr);
}

}  // namespace qx
