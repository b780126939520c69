// Shows one dialog template of the native window, in one language, with nothing behind it: for looking
// at the layouts and for their screenshots.
//   qxdialogs-preview --dialog NAME [--lang en|de|fr] [--rect-file FILE] [--list FILE]
// --list writes the dialog names, one a line, to FILE and ends. --rect-file writes "x y width height"
// of the dialog's window to FILE once it is drawn, then closes the dialog when FILE.done appears (or
// after two minutes). Exit code 0 when the dialog was shown, 2 for a wrong command line or a template
// that is missing.
#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>

#include "DialogResources.h"
#include "resource.h"

#ifndef QX_VERSION
#define QX_VERSION "0.0.0"
#endif

namespace {

using namespace qx::winui;

constexpr UINT_PTR kRectTimer = 1;
constexpr UINT_PTR kDoneTimer = 2;
constexpr UINT kDonePollMs = 200;
constexpr int kLongestHoldPolls = 120 * 1000 / kDonePollMs;

struct Preview {
    int dialog = 0;
    LANGID language = 0;
    std::wstring rectFile;
    int polls = 0;
};

std::wstring widen(const char* text) {
    std::wstring out;
    while (*text)
        out.push_back(static_cast<unsigned char>(*text++));
    return out;
}

std::wstring controlText(HWND dialog, int id) {
    WCHAR text[512] = {};
    GetDlgItemTextW(dialog, id, text, static_cast<int>(std::size(text)));
    return text;
}

// What the view fills in when a dialog opens, with sample values: the placeholders, the clock and
// the window's icon.
void fillSamples(HWND dialog, const Preview& preview) {
    const HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAINFRAME));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    for (int i = 0; i < 4; ++i) {
        const std::wstring drive{static_cast<WCHAR>(L'C' + i), L':'};
        if (GetDlgItem(dialog, IDC_SEL_DRIVE_FIRST + i))
            SetDlgItemTextW(dialog, IDC_SEL_DRIVE_FIRST + i,
                            replacePlaceholder(controlText(dialog, IDC_SEL_DRIVE_FIRST + i), drive).c_str());
    }
    for (int n = 0; n < 3; ++n) {
        const int box = IDC_JOB_SLOT_FIRST + n * IDC_JOB_SLOT_STRIDE + IDC_JOB_OFS_BOX;
        if (GetDlgItem(dialog, box))
            SetDlgItemTextW(dialog, box,
                            replacePlaceholder(controlText(dialog, box), std::to_wstring(n + 1)).c_str());
    }
    if (GetDlgItem(dialog, IDC_ABOUT_VERSION))
        SetDlgItemTextW(
            dialog, IDC_ABOUT_VERSION,
            replacePlaceholder(controlText(dialog, IDC_ABOUT_VERSION), widen(QX_VERSION)).c_str());
    if (GetDlgItem(dialog, IDC_TD_CAPTION)) {
        std::wstring caption = controlText(dialog, IDC_TD_CAPTION);
        if (auto at = caption.find(L"%d"); at != std::wstring::npos)
            caption.replace(at, 2, L"20");
        SetDlgItemTextW(dialog, IDC_TD_CAPTION, caption.c_str());
    }
    if (preview.dialog == IDD_MAIN) {
        SetDlgItemTextW(dialog, IDC_CLOCK, L"31.12.2026   23:59:59");
        std::wstring week = resourceString(GetModuleHandleW(nullptr), 104, preview.language).value_or(L"");
        if (auto at = week.find(L"%i"); at != std::wstring::npos)
            week.replace(at, 2, L"52");
        SetDlgItemTextW(dialog, IDC_WEEK, week.c_str());
        SetDlgItemTextW(dialog, IDC_DRIVE_LIST, L"C:,D:,E:,F:");
        CheckDlgButton(dialog, IDC_WEEKLY, BST_CHECKED);
        CheckDlgButton(dialog, IDC_PRINT_WEEKLY, BST_CHECKED);
        SendDlgItemMessageW(dialog, IDC_WAIT_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L" 51"));
        SendDlgItemMessageW(dialog, IDC_WAIT_LIST, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageW(dialog, IDC_CHECK_HOUR, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"23"));
        SendDlgItemMessageW(dialog, IDC_CHECK_HOUR, CB_SETCURSEL, 0, 0);
    }
}

void writeRect(HWND dialog, const Preview& preview) {
    RECT r{};
    GetWindowRect(dialog, &r);
    const std::wstring partial = preview.rectFile + L".part";
    {
        std::ofstream out(partial.c_str(), std::ios::binary);
        out << r.left << ' ' << r.top << ' ' << (r.right - r.left) << ' ' << (r.bottom - r.top) << '\n';
        if (!out)
            return;
    }
    MoveFileExW(partial.c_str(), preview.rectFile.c_str(), MOVEFILE_REPLACE_EXISTING);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* preview = reinterpret_cast<Preview*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            preview = reinterpret_cast<Preview*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            fillSamples(dialog, *preview);
            if (!preview->rectFile.empty())
                SetTimer(dialog, kRectTimer, 500, nullptr);
            return TRUE;
        case WM_TIMER:
            if (wParam == kRectTimer) {
                KillTimer(dialog, kRectTimer);
                writeRect(dialog, *preview);
                SetTimer(dialog, kDoneTimer, kDonePollMs, nullptr);
            } else if (wParam == kDoneTimer) {
                const std::wstring done = preview->rectFile + L".done";
                if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES ||
                    ++preview->polls > kLongestHoldPolls)
                    EndDialog(dialog, IDCANCEL);
            }
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_CANCEL ||
                LOWORD(wParam) == IDC_SAVE)
                EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

int fail(const char* why) {
    std::fprintf(stderr, "qxdialogs-preview: %s\n", why);
    return 2;
}

std::string narrow(const std::wstring& text) {
    std::string out;
    for (WCHAR c : text)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Preview preview;
    preview.language = kLanguages[0].id;
    std::string name;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (i + 1 >= argc)
            return fail("an option lacks its value");
        const std::wstring value = argv[++i];
        if (option == L"--dialog") {
            name = narrow(value);
        } else if (option == L"--lang") {
            auto language = languageOf(narrow(value));
            if (!language)
                return fail("--lang takes en, de or fr");
            preview.language = *language;
        } else if (option == L"--rect-file") {
            preview.rectFile = value;
        } else if (option == L"--list") {
            std::ofstream out(value.c_str(), std::ios::binary);
            for (const NamedDialog& dialog : kDialogs)
                out << dialog.name << '\n';
            return out ? 0 : fail("cannot write the list");
        } else {
            return fail("unknown option");
        }
    }
    auto id = dialogNamed(name);
    if (!id)
        return fail("--dialog NAME names no dialog");
    preview.dialog = *id;

    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    SetThreadUILanguage(preview.language);
    const DLGTEMPLATE* dialog = dialogTemplate(instance, preview.dialog, preview.language);
    if (!dialog)
        return fail("the dialog's template is missing in that language");
    INT_PTR result =
        DialogBoxIndirectParamW(instance, dialog, nullptr, dialogProc, reinterpret_cast<LPARAM>(&preview));
    LocalFree(argv);
    return result == -1 ? fail("the dialog could not be created") : 0;
}
