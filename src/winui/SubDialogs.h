#pragma once

#include <windows.h>

#include <string>

#include "Services.h"

namespace qx::winui {

// Opens the sub-dialog of main dialog button `buttonId` (ctl::) modally over `owner`, from the templates
// of `module` in `language`, driven by its form. `driveList` is the main dialog's list of drives, which
// the drive selection replaces when it is left with OK. False when this build has no such dialog yet.
bool openSubDialog(HMODULE module, LANGID language, Services& services, HWND owner, int buttonId,
                   std::string& driveList);

}  // namespace qx::winui
