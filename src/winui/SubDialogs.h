#pragma once

#include <windows.h>

#include <string>

#include "DialogJobs.h"
#include "Services.h"

namespace qx::winui {

// What every dialog of the native window is made from: the resources of `module` in `language`, the
// service's objects, and the jobs that buttons start.
struct ViewContext {
    HMODULE module;
    LANGID language;
    Services& services;
    DialogJobs jobs;
};

// Opens the sub-dialog of main dialog button `buttonId` (ctl::) modally over `owner`, driven by its
// form. `driveList` is the main dialog's list of drives, which the drive selection replaces when it is
// left with OK. False when the button has no sub-dialog or its template is missing.
bool openSubDialog(const ViewContext& view, HWND owner, int buttonId, std::string& driveList);

// Tells the user that the text of control `field` has a character that the installation's code page
// cannot write, so that nothing was saved, and puts the focus there.
void warnUnwritable(Services& services, HWND dialog, int field);

// The window's text of string `id` in the view's language (the resources', else the string table's).
std::wstring viewText(const ViewContext& view, int id);

}  // namespace qx::winui
