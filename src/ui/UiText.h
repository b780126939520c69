#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "CodePage.h"
#include "StringTable.h"

namespace qx {

// Where text crosses into and out of the toolkit. Three kinds meet in the windows, each with its
// own crossing:
//  - installation text (INI values, table fields, names stored in them) is in the installation's
//    code page: qs() in, ss() out, so that a value shown and saved again is the same bytes;
//  - the string table's texts are UTF-8: uiText() and uiString();
//  - native paths (the folder picker, the pictures) are in the file system's encoding: nativeText()
//    and nativePath().

// The code page of qs() and ss() for every window of the process: set from [Config] CodePage when the
// settings are loaded. The default is Windows-1252.
void setUiCodePage(CodePage codePage);
CodePage uiCodePage();

// Installation text (code page bytes) for a control, and back.
QString qs(std::string_view text);
std::string ss(const QString& text);

// A text of the string table for a control.
inline QString uiText(const StringTable& strings, int id) {
    return QString::fromStdString(strings.get(id));
}

// A text made from the string table (formatted with numbers, say): UTF-8.
inline QString uiString(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// A message that joins a string-table text with installation values (a box's question naming a
// path), or a file name as found on disk: for display only, never stored back (see displayUtf8).
QString displayText(std::string_view text);

// A native path for a control, and a path taken from one.
QString nativeText(const std::filesystem::path& path);
std::filesystem::path nativePath(const QString& text);

}  // namespace qx
