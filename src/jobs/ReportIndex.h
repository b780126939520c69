#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The alarm server's index of alarm runs (qxaview.inf): one line per run, fields separated by commas.

// The longest line kept, in characters; the rest of a longer line is cut.
inline constexpr std::size_t kIndexLineLimit = 128;
// A line is ended only once it holds more than this many characters: shorter fragments (and the
// empty lines of CR LF pairs) join the text that follows them.
inline constexpr std::size_t kIndexLineMinimum = 20;

// Cuts the index into its lines, byte by byte: a byte above 13 is added (one with the high bit set only
// while the line has room; with the line full it ends the line); any other byte ends a line of more than
// kIndexLineMinimum characters and is otherwise dropped. A line is never longer than kIndexLineLimit:
// further plain bytes are cut. Text after the last line end is not a line yet (the server may still be
// writing it).
std::vector<std::string> collectIndexLines(std::string_view index);

// The fields of one index line that the report uses, each cut to its limit.
struct IndexFields {
    std::string date;     // field 1, "DD.MM", at most 11 characters
    std::string time;     // field 2, at most 23 characters
    std::string runName;  // field 4, the run log "log\<name>.log", at most 11 characters
};

// Splits at commas; missing fields are empty, text after the seventh comma is ignored.
IndexFields splitIndexLine(std::string_view line);

}  // namespace qx
