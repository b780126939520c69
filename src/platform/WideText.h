#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The one crossing of the installation's 8-bit text into the wide Windows API and back (Windows only).
// Profile values, table fields and the file names taken from them are bytes in the installation's code
// page; a wide API sees them only through widen(), and what it answers comes back through narrow().

// The code page of that text: Windows-1252 until the start-up sets the installation's own.
void setAnsiCodePage(unsigned codePage);
unsigned ansiCodePage();

// `bytes` in the installation's code page as UTF-16. Every byte gives a character (a byte the code page
// leaves undefined becomes the control character of its value), so nothing is dropped.
std::wstring widen(std::string_view bytes);

// `text` in the installation's code page; nullopt when a character has no byte there (a name that an
// 8-bit program could not name either), instead of a "?" that would name another file.
std::optional<std::string> narrow(std::wstring_view text);

}  // namespace qx
