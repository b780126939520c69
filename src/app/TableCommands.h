#pragma once

#include <filesystem>
#include <iosfwd>

#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"

namespace qx {

// `qxmover dbf FILE`: the table as CDatabase reads it. First one line per field, "NAME TYPE LENGTH
// DECIMALS"; then an empty line; then one line per record: its number, a blank, '*' for a deleted
// record or '-', a blank, and each field's text as Read returns it (trailing blanks cut) joined by
// '|', bytes as stored ("2 * Smith|  42|20260101"). `file` is a native path. Returns 0; 1 when the
// table cannot be opened or a record cannot be read (a line on `err` says which; the library's error
// boxes go there too).
int printTable(const std::filesystem::path& file, std::ostream& out, std::ostream& err);

// `qxmover alarms`: the alarm key list, one "%d  %s" line per alarm definition. Returns 0; 1 when the
// alarm table cannot be opened (message 116 through `prompts`, nothing on `out`).
int printAlarmList(Profile& profile, const PathMap& paths, Prompts& prompts, std::ostream& out);

}  // namespace qx
