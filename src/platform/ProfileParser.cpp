#include "ProfileParser.h"

#include <cstdint>
#include <cstring>

#include "PathMap.h"
#include "Profile.h"

namespace qx {

void classifyProfileLine(std::string_view text, ProfileLine& line) {
    std::string_view content = trimProfileBlanks(text.substr(line.begin, line.end - line.begin));
    if (content.empty())
        return;
    if (content.front() == ';') {
        line.kind = ProfileLineKind::Comment;
        return;
    }
    if (content.front() == '[') {
        // Without its ']' the header still opens the section named by the rest of the line, as the
        // installation's other programs read it.
        std::size_t close = content.find(']');
        line.kind = ProfileLineKind::Section;
        line.name = trimProfileBlanks(content.substr(1, close == std::string_view::npos ? close : close - 1));
        return;
    }
    std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        line.kind = ProfileLineKind::Text;
        return;
    }
    line.kind = ProfileLineKind::Key;
    line.name = trimProfileBlanks(content.substr(0, equals));
    std::string_view value = trimProfileBlanks(content.substr(equals + 1));
    line.valueBegin = static_cast<std::size_t>(value.data() - text.data());
    line.valueEnd = line.valueBegin + value.size();
}

namespace {

// The line end of the text's first line: LF alone keeps LF; CRLF, a CR alone and a text without any
// line end get CRLF, what the installation's other programs write.
std::string_view lineEndOf(std::string_view text) {
    for (char c : text) {
        if (c == '\n')
            return "\n";
        if (c == '\r')
            break;
    }
    return "\r\n";
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool endsWithLineEnd(std::string_view text) {
    return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

// Moves `cursor` past the first header named `section`; false when there is none.
bool seekSection(ProfileLineCursor& cursor, std::string_view section, ProfileLine& header) {
    while (cursor.next(header))
        if (header.kind == ProfileLineKind::Section && equalsIgnoreCase(header.name, section))
            return true;
    return false;
}

}  // namespace

namespace {

thread_local std::uint64_t t_bytesScanned = 0;

// Where the line that ends at `end` is followed by the next one: past its CRLF, CR or LF.
std::size_t nextLineAfter(std::string_view text, std::size_t end) {
    if (end == text.size())
        return end;
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
        return end + 2;
    return end + 1;
}

}  // namespace

std::uint64_t profileBytesScanned() {
    return t_bytesScanned;
}

void countProfileBytesScanned(std::size_t bytes) {
    t_bytesScanned += bytes;
}

bool ProfileLineCursor::nextBounds(ProfileLine& line) {
    const std::size_t size = m_text.size();
    if (m_pos >= size)
        return false;
    const char* data = m_text.data();
    // LF is looked for once per line of an LF or CRLF file, and once in all in a file of CRs alone;
    // CR only within the line.
    if (!m_lfKnown || m_nextLf < m_pos) {
        const void* lf = std::memchr(data + m_pos, '\n', size - m_pos);
        m_nextLf = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : size;
        m_lfKnown = true;
        countProfileBytesScanned(m_nextLf - m_pos + (lf ? 1 : 0));
    }
    const void* cr = std::memchr(data + m_pos, '\r', m_nextLf - m_pos);
    const std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : m_nextLf;
    countProfileBytesScanned(end - m_pos + (cr ? 1 : 0));
    line = ProfileLine{};
    line.begin = m_pos;
    line.end = end;
    line.next = nextLineAfter(m_text, end);
    m_pos = line.next;
    return true;
}

bool ProfileLineCursor::next(ProfileLine& line) {
    if (!nextBounds(line))
        return false;
    classifyProfileLine(m_text, line);
    return true;
}

ProfileLine profileLineAt(std::string_view text, std::size_t begin) {
    // Only up to the line's own end: a cursor would look for the next LF, which in a file of CRs alone
    // lies at the end of the text, and every lookup of an index would cost the rest of the file.
    ProfileLine line;
    if (begin >= text.size()) {
        line.begin = line.end = line.next = text.size();
        return line;
    }
    std::size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string_view::npos)
        end = text.size();
    countProfileBytesScanned(end - begin + 1);
    line.begin = begin;
    line.end = end;
    line.next = nextLineAfter(text, end);
    classifyProfileLine(text, line);
    return line;
}

bool isProfileBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view trimProfileBlanks(std::string_view text) {
    while (!text.empty() && isProfileBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isProfileBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view stripProfileQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::size_t NoCaseHash::operator()(std::string_view text) const noexcept {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (char c : text) {
        hash ^= static_cast<unsigned char>(asciiLower(c));
        hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

bool NoCaseEqual::operator()(std::string_view a, std::string_view b) const noexcept {
    return equalsIgnoreCase(a, b);
}

ProfileSeek::ProfileSeek(std::string_view sectionName, std::string_view keyName)
    : section(trimProfileBlanks(sectionName)), key(trimProfileBlanks(keyName)) {}

void ProfileSeek::feed(std::string_view lines) {
    ProfileLineCursor cursor(lines);
    ProfileLine line;
    while (!done && cursor.nextBounds(line)) {
        // Outside the section only headers matter: other lines are not classified at all.
        std::size_t first = line.begin;
        while (first < line.end && isProfileBlank(lines[first]))
            ++first;
        const bool header = first < line.end && lines[first] == '[';
        if (!header && !inside)
            continue;
        classifyProfileLine(lines, line);
        if (line.kind == ProfileLineKind::Section) {
            done = inside;  // the first section of that name ended without the key
            inside = equalsIgnoreCase(line.name, section);
        } else if (line.kind == ProfileLineKind::Key && equalsIgnoreCase(line.name, key)) {
            value = stripProfileQuotes(lines.substr(line.valueBegin, line.valueEnd - line.valueBegin));
            done = true;
        }
    }
}

std::optional<std::string_view> findProfileValue(std::string_view text, std::string_view section,
                                                 std::string_view key) {
    ProfileSeek seek(section, key);
    seek.feed(text);
    return seek.value;
}

bool profileWriteReadsBack(std::string_view section, std::string_view key,
                           std::optional<std::string_view> value) {
    const std::string_view keyName = trimProfileBlanks(key);
    return !hasLineBreak(section) && section.find(']') == std::string_view::npos && !hasLineBreak(key) &&
           key.find('=') == std::string_view::npos && !keyName.starts_with(';') &&
           !keyName.starts_with('[') && !(value && hasLineBreak(*value));
}

std::string setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
    section = trimProfileBlanks(section);
    key = trimProfileBlanks(key);
    const std::string_view lineEnd = lineEndOf(text);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    ProfileLineCursor cursor(text);
    ProfileLine last;
    if (!seekSection(cursor, section, last)) {
        out = text;
        if (!out.empty() && !endsWithLineEnd(out))
            out += lineEnd;
        out.append("[").append(section).append("]").append(lineEnd);
        out.append(key).append("=").append(value).append(lineEnd);
        return out;
    }
    ProfileLine line;
    while (cursor.next(line) && line.kind != ProfileLineKind::Section) {
        if (line.kind == ProfileLineKind::Key && equalsIgnoreCase(line.name, key)) {
            out.append(text.substr(0, line.valueBegin)).append(value).append(text.substr(line.valueEnd));
            if (line.next == line.end)
                out += lineEnd;  // the changed line was the last, without a line end
            return out;
        }
        if (line.kind == ProfileLineKind::Key || line.kind == ProfileLineKind::Text)
            last = line;
    }
    out.append(text.substr(0, last.next));
    if (last.next == last.end)
        out += lineEnd;  // the last line of a file without a final line end
    out.append(key).append("=").append(value).append(lineEnd);
    out.append(text.substr(last.next));
    return out;
}

std::string removeProfileKey(std::string_view text, std::string_view section, std::string_view key) {
    section = trimProfileBlanks(section);
    key = trimProfileBlanks(key);
    ProfileLineCursor cursor(text);
    ProfileLine line;
    if (!seekSection(cursor, section, line))
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t kept = 0;  // text before this offset is copied
    while (cursor.next(line) && line.kind != ProfileLineKind::Section) {
        if (line.kind == ProfileLineKind::Key && equalsIgnoreCase(line.name, key)) {
            out.append(text.substr(kept, line.begin - kept));
            kept = line.next;
        }
    }
    out.append(text.substr(kept));
    return out;
}

std::string removeProfileSection(std::string_view text, std::string_view section) {
    section = trimProfileBlanks(section);
    std::string out;
    out.reserve(text.size());
    std::size_t kept = 0;
    bool dropping = false;
    ProfileLineCursor cursor(text);
    ProfileLine line;
    while (cursor.next(line)) {
        if (line.kind != ProfileLineKind::Section)
            continue;
        bool match = equalsIgnoreCase(line.name, section);
        if (match && !dropping)
            out.append(text.substr(kept, line.begin - kept));
        else if (!match && dropping)
            kept = line.begin;
        dropping = match;
    }
    if (!dropping)
        out.append(text.substr(kept));
    return out;
}

int parseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isProfileBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::uint32_t value = 0;  // unsigned, so that overflow wraps modulo 2^32 as it does on Windows
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        for (i += 2; i < text.size(); ++i) {
            char c = asciiLower(text[i]);
            if (c >= '0' && c <= '9')
                value = value * 16 + static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                value = value * 16 + static_cast<std::uint32_t>(c - 'a' + 10);
            else
                break;
        }
    } else {
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);  // modular since C++20
}

}  // namespace qx
