#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The one crossing of the installation's 8-bit text into the wide Windows API and back. Profile values,
// table fields and the file names taken from them are bytes in the installation's code page; a wide
// API sees them only through widen(), and what it answers comes back through narrow() (both Windows
// only). On Linux file names are bytes already and nothing is converted.

// The code page of that text: Windows-1252 until the start-up sets the installation's own (on every
// system, so that the start-up has one call to make; on Linux nothing reads it but ansiCodePage()).
void setAnsiCodePage(unsigned codePage);
unsigned ansiCodePage();

// `path` as the installation's code page spells it, for the interfaces that take file names as bytes
// (the table library): the bytes themselves on Linux; on Windows narrow() of the wide name, nullopt
// when the code page cannot spell it.
std::optional<std::string> pathBytes(const std::filesystem::path& path);

// `bytes` in the installation's code page as UTF-16. Every byte gives a character (a byte the code page
// leaves undefined becomes the control character of its value), so nothing is dropped.
std::wstring widen(std::string_view bytes);

// `text` in the installation's code page; nullopt when a character has no byte there (a name that an
// 8-bit program could not name either), instead of a "?" that would name another file.
std::optional<std::string> narrow(std::wstring_view text);

}  // namespace qx
