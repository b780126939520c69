#include <algorithm>
#include <unordered_map>

#include "PathMap.h"
#include "ProfileParser.h"

namespace qx {

namespace {

std::uint64_t nameHash(std::string_view name) {
    return NoCaseHash{}(name);
}

// A key's hash depends on its section's header, so that one sorted table serves every section.
std::uint64_t keyHash(std::size_t header, std::string_view key) {
    std::uint64_t hash = nameHash(key) ^ (static_cast<std::uint64_t>(header) * 0x9E3779B97F4A7C15ull);
    hash ^= hash >> 31;  // mixes the header's bits into the low ones that the sort looks at first
    hash *= 0xBF58476D1CE4E5B9ull;
    return hash ^ (hash >> 29);
}

}  // namespace

ProfileIndex::ProfileIndex(std::string_view text) : m_text(text) {
    // Only the first header of each name counts. Hash to header, checked by name, so that a hash
    // that two names share by chance cannot merge their sections.
    std::unordered_map<std::uint64_t, std::size_t> firstByHash;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t header = kNone;  // the first header of the section being read; kNone in a duplicate
    ProfileLineCursor cursor(text);
    ProfileLine line;
    while (cursor.next(line)) {
        if (line.kind == ProfileLineKind::Section) {
            std::uint64_t hash = nameHash(line.name);
            auto [it, inserted] = firstByHash.try_emplace(hash, line.begin);
            bool first = inserted;
            if (!inserted && !equalsIgnoreCase(profileLineAt(text, it->second).name, line.name))
                first = std::none_of(m_sections.begin(), m_sections.end(), [&](const Entry& e) {
                    return e.hash == hash && equalsIgnoreCase(profileLineAt(text, e.line).name, line.name);
                });
            header = first ? line.begin : kNone;
            if (first)
                m_sections.push_back({hash, line.begin});
        } else if (line.kind == ProfileLineKind::Key && header != kNone) {
            m_keys.push_back({keyHash(header, line.name), line.begin});
        }
    }
    std::sort(m_sections.begin(), m_sections.end());
    std::sort(m_keys.begin(), m_keys.end());
    m_keys.shrink_to_fit();
}

std::optional<std::string_view> ProfileIndex::find(std::string_view section, std::string_view key) const {
    section = trimProfileBlanks(section);
    key = trimProfileBlanks(key);
    auto from = [](const std::vector<Entry>& entries, std::uint64_t hash) {
        return std::lower_bound(entries.begin(), entries.end(), Entry{hash, 0});
    };
    const std::uint64_t sectionHash = nameHash(section);
    std::size_t header = static_cast<std::size_t>(-1);
    for (auto it = from(m_sections, sectionHash); it != m_sections.end() && it->hash == sectionHash; ++it) {
        if (equalsIgnoreCase(profileLineAt(m_text, it->line).name, section)) {
            header = it->line;
            break;
        }
    }
    if (header == static_cast<std::size_t>(-1))
        return std::nullopt;
    // Entries of one hash are in file order, so the first that matches is the first of duplicates.
    const std::uint64_t hash = keyHash(header, key);
    for (auto it = from(m_keys, hash); it != m_keys.end() && it->hash == hash; ++it) {
        ProfileLine line = profileLineAt(m_text, it->line);
        if (equalsIgnoreCase(line.name, key))
            return stripProfileQuotes(m_text.substr(line.valueBegin, line.valueEnd - line.valueBegin));
    }
    return std::nullopt;
}

}  // namespace qx
