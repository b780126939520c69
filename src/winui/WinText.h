#pragma once

#include <string>
#include <string_view>

namespace qx::winui {

// Where the window's texts cross into the wide controls. Installation text (INI values, paths, names)
// is in the installation's code page and goes through widen() and narrow(), so that what is shown and
// saved again is the same bytes. The string table's texts are UTF-8 (the language files are), and
// messages that join both kinds are shown as the Qt window shows them:

// A text of the string table, or one made from it (the clock, the week), for a control.
std::wstring uiText(std::string_view utf8);

// Text of both kinds, for display only (a message naming a path, a list row with a program and a
// day): valid UTF-8 sequences stay, every other byte is read in the installation's code page.
std::wstring displayText(std::string_view text);

}  // namespace qx::winui
