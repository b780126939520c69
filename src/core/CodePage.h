#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "Profile.h"

namespace qx {

// The installation's 8-bit code page. INI values, table texts and the file names taken from them are
// bytes in it, as the installation's other programs write them; they are compared, stored and written
// back as bytes. Text crosses into and out of the window toolkit (UTF-8) only through toUtf8 and
// fromUtf8, so that a value shown and saved again comes back byte for byte.
enum class CodePage {
    Windows1250 = 1250,  // Central European
    Windows1251 = 1251,  // Cyrillic
    Windows1252 = 1252,  // Western European, the default
    Windows1253 = 1253,  // Greek
    Windows1254 = 1254,  // Turkish
    Windows1257 = 1257,  // Baltic
    Iso8859_1 = 28591,   // Latin-1
    Iso8859_15 = 28605,  // Latin-9
};

inline constexpr CodePage kDefaultCodePage = CodePage::Windows1252;

// A code page by its Windows number or name, letter case ignored: "1252", "cp1252", "windows-1252",
// "28591", "iso-8859-1", "latin1", "28605", "iso-8859-15", "latin9". Nullopt for any other text.
std::optional<CodePage> parseCodePage(std::string_view name);

// The setting [Config] CodePage of qxmover.ini, read afresh: missing or empty gives the default. An
// unknown value also gives the default, and `problem` (when given) receives a line that says so.
CodePage codePageSetting(const Profile& profile, std::string* problem = nullptr);

// The bytes of `text` as UTF-8: every byte is one character. A byte the code page leaves undefined
// becomes the control character of its value (U+0081 for 0x81 in Windows-1252), as Windows converts
// it, so that it survives the way back.
std::string toUtf8(std::string_view text, CodePage codePage);

// UTF-8 `text` in the code page: a character the code page lacks, and a byte that is no valid UTF-8,
// becomes "?", as the Windows conversion writes it.
std::string fromUtf8(std::string_view text, CodePage codePage);

// Text made of both kinds for display only, such as a message of the string table (UTF-8) that names
// an installation path (code page): valid UTF-8 sequences stay, every other byte is read in the code
// page. Never written back.
std::string displayUtf8(std::string_view text, CodePage codePage);

// The length of a file name in characters, as the installation's 8.3 rules count them: a name that
// is valid UTF-8 (as Linux tools and shares write names) counts each character once; any other name is
// in the code page, one byte per character.
std::size_t characterCount(std::string_view name);

}  // namespace qx
