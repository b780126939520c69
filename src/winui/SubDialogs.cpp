#include "SubDialogs.h"

#include <array>
#include <filesystem>

#include "DialogResources.h"
#include "DriveSelectionForm.h"
#include "MainDialogRules.h"
#include "WideText.h"
#include "resource.h"

namespace qx::winui {
namespace {

const DLGTEMPLATE* templateFor(HMODULE module, int id, LANGID language) {
    if (const DLGTEMPLATE* found = dialogTemplate(module, id, language))
        return found;
    return dialogTemplate(module, id, kLanguages[0].id);
}

// The drive selection: four boxes, C: to F:, set and enabled as the form opens them; OK rebuilds the list.
struct DriveSelection {
    Services& services;
    std::string& driveList;

    static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* self = reinterpret_cast<DriveSelection*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (!self)
            return FALSE;
        switch (message) {
            case WM_INITDIALOG: {
                const DriveChecks checks =
                    openDriveChecks(self->services.paths, self->driveList, std::filesystem::current_path());
                for (std::size_t i = 0; i < kCheckableDrives.size(); ++i) {
                    const int id = IDC_SEL_DRIVE_FIRST + static_cast<int>(i);
                    WCHAR text[256] = {};
                    GetDlgItemTextW(dialog, id, text, static_cast<int>(std::size(text)));
                    const std::wstring drive{static_cast<WCHAR>(kCheckableDrives[i]), L':'};
                    SetDlgItemTextW(dialog, id, replacePlaceholder(text, drive).c_str());
                    CheckDlgButton(dialog, id, checks.checked[i] ? BST_CHECKED : BST_UNCHECKED);
                    EnableWindow(GetDlgItem(dialog, id), checks.available[i]);
                }
                return TRUE;
            }
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK) {
                    std::array<bool, 4> checked{};
                    for (std::size_t i = 0; i < checked.size(); ++i)
                        checked[i] = IsDlgButtonChecked(dialog, IDC_SEL_DRIVE_FIRST + static_cast<int>(i)) ==
                                     BST_CHECKED;
                    self->driveList = driveListOf(checked);
                    EndDialog(dialog, IDOK);
                } else if (LOWORD(wParam) == IDCANCEL) {
                    EndDialog(dialog, IDCANCEL);
                }
                return TRUE;
            case WM_CLOSE:
                EndDialog(dialog, IDCANCEL);
                return TRUE;
        }
        return FALSE;
    }
};

}  // namespace

bool openSubDialog(HMODULE module, LANGID language, Services& services, HWND owner, int buttonId,
                   std::string& driveList) {
    switch (buttonId) {
        case ctl::kSelectDrives: {
            const DLGTEMPLATE* dialog = templateFor(module, IDD_DRIVE_SELECT, language);
            if (!dialog)
                return false;
            DriveSelection selection{services, driveList};
            DialogBoxIndirectParamW(module, dialog, owner, DriveSelection::proc,
                                    reinterpret_cast<LPARAM>(&selection));
            return true;
        }
    }
    return false;
}

}  // namespace qx::winui
