#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qx {

// The reading of a profile text shared by lookups and edits, so that a write finds exactly the line
// that a read takes its value from.
//
// A line is blank, a comment (';' as its first non-blank character), a section header ("[name]",
// anything after ']' ignored), a key line ("name=value") or other text (no '=', a '[' without ']').
// Blanks (space, tab, CR, VT, FF and the old end-of-file mark ^Z) around names and values are cut.
// Lines before the first header belong to no section.
enum class ProfileLineKind { Blank, Comment, Section, Key, Text };

struct ProfileLine {
    std::size_t begin = 0;  // first byte of the line
    std::size_t end = 0;    // end of its content, before the line end
    std::size_t next = 0;   // first byte of the following line; equals `end` on a last line without end
    ProfileLineKind kind = ProfileLineKind::Blank;
    std::string_view name;                     // of a section or key, blanks cut
    std::size_t valueBegin = 0, valueEnd = 0;  // of a key line's value, blanks cut
};

std::vector<ProfileLine> splitProfileLines(std::string_view text);

bool isProfileBlank(char c);
std::string_view trimProfileBlanks(std::string_view text);

// A value as a read returns it: one pair of matching outer quotes (double or single) removed.
std::string_view stripProfileQuotes(std::string_view value);

// Hash and equality that ignore ASCII letter case, usable with string_view keys without copies.
struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept;
};
struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
};

// The values of a parsed profile text, for lookups that cost a hash each.
class ProfileIndex {
public:
    explicit ProfileIndex(std::string_view text);

    // The value of the first `key` in the first section named `section` (quotes stripped); nullptr
    // when either is missing. Names match ignoring case and surrounding blanks.
    const std::string* find(std::string_view section, std::string_view key) const;

private:
    using Keys = std::unordered_map<std::string, std::string, NoCaseHash, NoCaseEqual>;
    std::unordered_map<std::string, Keys, NoCaseHash, NoCaseEqual> m_sections;
};

// Edits of a profile text that keep every byte they do not need to change. The new line end is the
// text's own (that of its first line), CRLF in a text without any.
//
// Sets the value of the first `key` in the first `section`; a new key goes after the last key (or
// other text) line of the section, a new section at the end of the text.
std::string setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);
// Removes every line of `key` from the first `section`, so that a read afterwards gives the default.
std::string removeProfileKey(std::string_view text, std::string_view section, std::string_view key);
// Removes every section named `section`, from its header to the next header.
std::string removeProfileSection(std::string_view text, std::string_view section);

}  // namespace qx
