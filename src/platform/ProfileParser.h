#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The reading of a profile text shared by lookups and edits, so that a write finds exactly the line
// that a read takes its value from.
//
// A line ends at LF, CRLF or a CR alone (files written on old systems). A line is blank, a comment
// (';' as its first non-blank character), a section header ("[name]", anything after ']' ignored; a
// header without ']' names the rest of the line), a key line ("name=value") or other text (no '=').
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

// Walks the lines of a text one at a time without storing them, so that parsing a file costs no
// memory beyond the text itself. Linear in the text's size whatever its line ends.
class ProfileLineCursor {
public:
    explicit ProfileLineCursor(std::string_view text, std::size_t from = 0) : m_text(text), m_pos(from) {}

    // The next line, classified; false at the end of the text.
    bool next(ProfileLine& line);
    // The next line's bounds only (kind Blank), for scans that classify few lines.
    bool nextBounds(ProfileLine& line);

private:
    std::string_view m_text;
    std::size_t m_pos;
    std::size_t m_nextLf = 0;  // the next LF at or after m_pos once looked for (the size when none)
    bool m_lfKnown = false;
};

// Classifies a line whose bounds are set (see ProfileLineCursor::nextBounds).
void classifyProfileLine(std::string_view text, ProfileLine& line);

// The line that begins at `begin`, classified. Costs the line's length, whatever follows it.
ProfileLine profileLineAt(std::string_view text, std::size_t begin);

// How many bytes the searches for line ends of this thread have looked at so far. Parsing a text, or
// reading a file block by block, looks at each byte a small number of times, whatever the lines' ends
// and lengths; the tests hold the count to that.
std::uint64_t profileBytesScanned();
void countProfileBytesScanned(std::size_t bytes);

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

// One lookup by a scan that stops at the key: no memory beyond the text. The value of the first `key`
// in the first section named `section` (quotes stripped, a view into `text`); nullopt when either is
// missing. Names match ignoring case and surrounding blanks.
std::optional<std::string_view> findProfileValue(std::string_view text, std::string_view section,
                                                 std::string_view key);

// The same lookup over a text that arrives in pieces of whole lines (a file read block by block).
struct ProfileSeek {
    ProfileSeek(std::string_view sectionName, std::string_view keyName);

    // Scans the whole lines of `lines`; afterwards `done` tells whether the answer is known: `value`
    // (a view into `lines`) when found, nullopt when the section ended or never began.
    void feed(std::string_view lines);

    std::string_view section, key;
    bool inside = false;  // in the first section of that name
    bool done = false;
    std::optional<std::string_view> value;
};

// Lookups that cost a binary search each, for texts read many times. Holds views into `text`, which
// must outlive the index. Sixteen bytes per section and per key line, whatever the names' lengths.
class ProfileIndex {
public:
    explicit ProfileIndex(std::string_view text);

    // As findProfileValue.
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;

private:
    struct Entry {
        std::uint64_t hash;
        std::size_t line;  // offset of the header or key line; ties are ordered by it
        bool operator<(const Entry& other) const {
            return hash != other.hash ? hash < other.hash : line < other.line;
        }
    };
    std::string_view m_text;
    std::vector<Entry> m_sections;  // first headers of each name only, sorted
    std::vector<Entry> m_keys;      // key lines of those sections, hashed with their header's offset
};

// Whether `key`=`value` written into `section` would be read back by these names: false for a line
// break anywhere, ']' in the section, '=' in the key or a key beginning with ';' or '[' (blanks cut).
// A null value (a deletion) is judged by its names alone. What a read gives back is the value with
// its blanks cut and one pair of outer quotes stripped, as for every value.
bool profileWriteReadsBack(std::string_view section, std::string_view key,
                           std::optional<std::string_view> value);

// Edits of a profile text that keep every byte they do not need to change. The new line end is the
// text's own (LF when its first line ends in LF alone), CRLF otherwise.
//
// Sets the value of the first `key` in the first `section`; a new key goes after the last key (or
// other text) line of the section, a new section at the end of the text. A changed or new line that
// was the last line without a line end gets one.
std::string setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);
// Removes every line of `key` from the first `section`, so that a read afterwards gives the default.
std::string removeProfileKey(std::string_view text, std::string_view section, std::string_view key);
// Removes every section named `section`, from its header to the next header.
std::string removeProfileSection(std::string_view text, std::string_view section);

}  // namespace qx
