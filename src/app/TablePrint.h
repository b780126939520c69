#pragma once

#include <filesystem>
#include <iosfwd>

namespace qx {

enum class TableFormat { Text, Json };

// `qxmover dbf [--json] FILE`: the table as CDatabase reads it, fields taken by position (so fields
// of the same name each show their own value).
//
// Text: first one line per field, "NAME TYPE LENGTH DECIMALS"; then an empty line; then one line per
// record: its number, a blank, '*' for a deleted record or '-', a blank, and each field's text as Read
// gives it (trailing blanks cut) joined by '|' ("2 * Smith|  42|20260101"). In names, types and values '\'
// is written "\\", '|' "\|", line feed, carriage return and tab "\n", "\r", "\t", and other
// control bytes "\xHH" (appendEscaped()), so that every record is one line and splits at '|' alone.
//
// Json: one JSON object per line: first {"fields":[{"name","type","length","decimals"}...]}, then
// one per record, {"record":N,"deleted":false,"values":["Smith","  42",...]} with the same texts
// unescaped, bytes that are no UTF-8 (in names, types and values) taken as Latin-1.
//
// A header whose record count or record length disagrees with the file's size is reported on `err`
// ("qxmover: warning: ...") and the records the file holds are printed. Returns 0; 1 when the table
// cannot be opened (the line on `err` says why: no such file, not a regular file, the reason it cannot
// be read, or not a dBASE table) or a record cannot be read; the library's error boxes go to `err`.
int printTable(const std::filesystem::path& file, std::ostream& out, std::ostream& err,
               TableFormat format = TableFormat::Text);

}  // namespace qx
