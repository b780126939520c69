#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// Why a table could not be opened, for a user who has to act on it: "no such file", "not a regular
// file", the system's reason when the file cannot be read ("Permission denied"), or "not a dBASE
// table". Looks at `file`, and at `file` + ".dbf" when the name has no extension, as the opening does.
std::string tableOpenFailure(const std::filesystem::path& file);

// A warning when the header of the table `file` disagrees with the file's size: the records it states
// do not fill the file, or the file's size after the header is no whole number of records (one end
// byte may follow the last record). nullopt when they agree or the file cannot be read.
std::optional<std::string> tableSizeWarning(const std::filesystem::path& file);

// A field value on one line of `qxmover dbf`: '\' becomes "\\", '|' "\|", line feed "\n", carriage
// return "\r", tab "\t", and every other control byte (below 32, and 127) "\xHH" with two lower-case
// hex digits. Other bytes pass as they are. Appended to `out`.
void appendEscaped(std::string& out, std::string_view text);

// `text` as UTF-8 for JSON: valid UTF-8 stays as it is; a byte that is not part of valid UTF-8 is taken
// as Latin-1, so that no byte of a table in a Windows code page is lost.
std::string asUtf8(std::string_view text);

}  // namespace qx
