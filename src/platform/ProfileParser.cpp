#include "ProfileParser.h"

#include <cstdint>

#include "PathMap.h"
#include "Profile.h"

namespace qx {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void classify(std::string_view text, ProfileLine& line) {
    std::string_view content = trimProfileBlanks(text.substr(line.begin, line.end - line.begin));
    if (content.empty())
        return;
    if (content.front() == ';') {
        line.kind = ProfileLineKind::Comment;
        return;
    }
    if (content.front() == '[') {
        std::size_t close = content.find(']');
        if (close == std::string_view::npos) {
            line.kind = ProfileLineKind::Text;
            return;
        }
        line.kind = ProfileLineKind::Section;
        line.name = trimProfileBlanks(content.substr(1, close - 1));
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

std::string_view lineEndOf(std::string_view text) {
    std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos)
        return "\r\n";  // what the installation's other programs write
    return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

std::size_t findSection(const std::vector<ProfileLine>& lines, std::string_view section,
                        std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].kind == ProfileLineKind::Section && equalsIgnoreCase(lines[i].name, section))
            return i;
    return kNone;
}

std::size_t sectionEnd(const std::vector<ProfileLine>& lines, std::size_t header) {
    std::size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != ProfileLineKind::Section)
        ++i;
    return i;
}

}  // namespace

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

std::vector<ProfileLine> splitProfileLines(std::string_view text) {
    std::vector<ProfileLine> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ProfileLine line;
        line.begin = pos;
        std::size_t newline = text.find('\n', pos);
        if (newline == std::string_view::npos) {
            line.end = line.next = text.size();
        } else {
            line.end = newline > pos && text[newline - 1] == '\r' ? newline - 1 : newline;
            line.next = newline + 1;
        }
        classify(text, line);
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

std::size_t NoCaseHash::operator()(std::string_view text) const noexcept {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (char c : text) {
        hash ^= static_cast<unsigned char>(lowerAscii(c));
        hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

bool NoCaseEqual::operator()(std::string_view a, std::string_view b) const noexcept {
    return equalsIgnoreCase(a, b);
}

ProfileIndex::ProfileIndex(std::string_view text) {
    Keys* current = nullptr;
    for (const ProfileLine& line : splitProfileLines(text)) {
        if (line.kind == ProfileLineKind::Section) {
            // Only the first of duplicate sections counts, as it does for writes.
            auto [it, inserted] = m_sections.try_emplace(std::string(line.name));
            current = inserted ? &it->second : nullptr;
        } else if (line.kind == ProfileLineKind::Key && current) {
            std::string_view value = text.substr(line.valueBegin, line.valueEnd - line.valueBegin);
            current->try_emplace(std::string(line.name), stripProfileQuotes(value));
        }
    }
}

const std::string* ProfileIndex::find(std::string_view section, std::string_view key) const {
    auto sectionIt = m_sections.find(trimProfileBlanks(section));
    if (sectionIt == m_sections.end())
        return nullptr;
    auto keyIt = sectionIt->second.find(trimProfileBlanks(key));
    return keyIt == sectionIt->second.end() ? nullptr : &keyIt->second;
}

std::string setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
    section = trimProfileBlanks(section);
    key = trimProfileBlanks(key);
    std::string_view lineEnd = lineEndOf(text);
    std::vector<ProfileLine> lines = splitProfileLines(text);
    std::size_t header = findSection(lines, section);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    if (header == kNone) {
        out = text;
        if (!out.empty() && out.back() != '\n')
            out += lineEnd;
        out.append("[").append(section).append("]").append(lineEnd);
        out.append(key).append("=").append(value).append(lineEnd);
        return out;
    }
    std::size_t end = sectionEnd(lines, header);
    std::size_t last = header;
    for (std::size_t i = header + 1; i < end; ++i) {
        const ProfileLine& line = lines[i];
        if (line.kind == ProfileLineKind::Key && equalsIgnoreCase(line.name, key)) {
            out.append(text.substr(0, line.valueBegin)).append(value).append(text.substr(line.valueEnd));
            return out;
        }
        if (line.kind == ProfileLineKind::Key || line.kind == ProfileLineKind::Text)
            last = i;
    }
    const ProfileLine& after = lines[last];
    out.append(text.substr(0, after.next));
    if (after.next == after.end)
        out += lineEnd;  // the last line of a file without a final line end
    out.append(key).append("=").append(value).append(lineEnd);
    out.append(text.substr(after.next));
    return out;
}

std::string removeProfileKey(std::string_view text, std::string_view section, std::string_view key) {
    section = trimProfileBlanks(section);
    key = trimProfileBlanks(key);
    std::vector<ProfileLine> lines = splitProfileLines(text);
    std::size_t header = findSection(lines, section);
    if (header == kNone)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t kept = 0;  // text before this offset is copied
    for (std::size_t i = header + 1, end = sectionEnd(lines, header); i < end; ++i) {
        const ProfileLine& line = lines[i];
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
    std::vector<ProfileLine> lines = splitProfileLines(text);
    std::string out;
    out.reserve(text.size());
    std::size_t kept = 0;
    for (std::size_t header = findSection(lines, section); header != kNone;) {
        std::size_t end = sectionEnd(lines, header);
        out.append(text.substr(kept, lines[header].begin - kept));
        kept = end < lines.size() ? lines[end].begin : text.size();
        header = findSection(lines, section, end);
    }
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
            char c = lowerAscii(text[i]);
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
