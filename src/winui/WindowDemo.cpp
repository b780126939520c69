// The main dialog as the service runs it, over an installation folder of its own and without the
// service's threads: for looking at the running window and for its screenshots.
//   qxwindow-demo --dir DIR [--lang en|de|fr] [--rect-file FILE] [--open ID[,ID...]]
// DIR holds the installation (the profile files in DIR/windows, the activity log in DIR/log). --lang
// sets the installation's language (DefaultLanguage in its qxmover.ini); the texts and dialogs then come
// in the language the installation names, as the service loads them. --open
// presses the buttons ID in turn, each in the dialog that is up then (1010,1301: the timed tasks, then
// Add in their list). --rect-file writes "x y width height" of the dialog that is up last to FILE once it
// is drawn, then ends when FILE.done appears (or after two minutes). Exit code 0 when the window was
// shown, 2 for a wrong command line.
#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ActivityLog.h"
#include "DialogResources.h"
#include "Launcher.h"
#include "MainDialog.h"
#include "PathMap.h"
#include "Profile.h"
#include "SettingKeys.h"
#include "SharedState.h"
#include "Startup.h"
#include "StringTable.h"
#include "WideText.h"
#include "WinPrompts.h"
#include "WinSession.h"

namespace {

using namespace qx;
using namespace qx::winui;

int fail(const char* why) {
    std::fprintf(stderr, "qxwindow-demo: %s\n", why);
    return 2;
}

void writeRect(HWND window, const std::filesystem::path& file) {
    RECT r{};
    GetWindowRect(window, &r);
    std::filesystem::path partial = file;
    partial += ".part";
    {
        std::ofstream out(partial, std::ios::binary);
        out << r.left << ' ' << r.top << ' ' << (r.right - r.left) << ' ' << (r.bottom - r.top) << '\n';
        if (!out)
            return;
    }
    std::error_code ec;
    std::filesystem::rename(partial, file, ec);
}

// The dialog that is up on `thread`: the enabled one (a modal dialog disables its owner).
HWND topDialog(DWORD thread) {
    HWND found = nullptr;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM data) -> BOOL {
            WCHAR name[16] = {};
            GetClassNameW(window, name, 16);
            if (std::wstring(name) == L"#32770" && IsWindowVisible(window) && IsWindowEnabled(window)) {
                *reinterpret_cast<HWND*>(data) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Presses `buttons` in turn, each in the dialog that is up, waiting for the next dialog to come up.
HWND pressInTurn(DWORD thread, HWND main, const std::vector<int>& buttons) {
    HWND up = main;
    for (int id : buttons) {
        PostMessageW(up, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(up, id)));
        for (int i = 0; i < 100; ++i) {
            Sleep(50);
            if (HWND next = topDialog(thread); next && next != up) {
                up = next;
                break;
            }
        }
    }
    return up;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::filesystem::path dir, rectFile;
    std::optional<std::string> languageCode;
    std::vector<int> buttons;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (i + 1 >= argc)
            return fail("an option lacks its value");
        const std::wstring value = argv[++i];
        if (option == L"--dir") {
            dir = value;
        } else if (option == L"--rect-file") {
            rectFile = value;
        } else if (option == L"--open") {
            for (std::size_t at = 0; at < value.size();) {
                std::size_t comma = value.find(L',', at);
                if (comma == std::wstring::npos)
                    comma = value.size();
                buttons.push_back(std::stoi(value.substr(at, comma - at)));
                at = comma + 1;
            }
        } else if (option == L"--lang") {
            languageCode = narrow(value).value_or("");
            if (!languageOf(*languageCode))
                return fail("--lang takes en, de or fr");
        } else {
            return fail("unknown option");
        }
    }
    LocalFree(argv);
    if (dir.empty())
        return fail("--dir DIR is needed");
    std::error_code ec;
    std::filesystem::create_directories(dir / "windows", ec);
    std::filesystem::create_directories(dir / "log", ec);

    PathMap paths(dir, dir / "windows");
    Profile profile([&paths](std::string_view file) { return paths.profileFile(file); });
    SystemClock clock;
    SharedState state;
    Win32Launcher launcher(paths);
    WinPrompts prompts(!rectFile.empty());
    StringTable strings;
    ActivityLog log(clock, state, dir / "log");
    Services services{paths, profile, clock, state, launcher, prompts, strings, log};
    if (languageCode) {
        const std::string setting = *languageCode == "de" ? "DT" : *languageCode == "fr" ? "FR" : "EN";
        const SettingKey& key = keys::kDefaultLanguage;
        if (!profile.writeString(key.file, key.section, key.name, setting))
            return fail("the installation's language could not be set");
    }
    loadLanguage(profile, paths, strings, prompts);
    const LANGID language = dialogLanguage(profile);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    SetThreadUILanguage(language);
    MainDialog dialog(services, MainDialogHooks{}, language);
    if (!dialog.create(instance, rectFile.empty()))
        return fail("the dialog could not be made");
    prompts.setOwner(dialog.window());
    // The pictures' side works from a thread of its own: a modal sub-dialog holds the window's thread in
    // its own message loop.
    std::atomic<bool> finished{false};
    std::thread photographer;
    if (!rectFile.empty()) {
        const DWORD thread = GetCurrentThreadId();
        HWND main = dialog.window();
        photographer = std::thread([&finished, &rectFile, &buttons, thread, main] {
            Sleep(800);
            HWND shown = pressInTurn(thread, main, buttons);
            Sleep(buttons.empty() ? 0 : 500);
            writeRect(shown, rectFile);
            std::filesystem::path done = rectFile;
            done += ".done";
            std::error_code error;
            const auto started = std::chrono::steady_clock::now();
            while (!std::filesystem::exists(done, error) &&
                   std::chrono::steady_clock::now() - started < std::chrono::minutes(2))
                Sleep(100);
            // Every dialog above the main one is left, the last first (a busy one is waited for no longer
            // than ten seconds).
            const auto leaving = std::chrono::steady_clock::now();
            for (HWND up = topDialog(thread); up && up != main && !finished; up = topDialog(thread)) {
                PostMessageW(up, WM_COMMAND, IDCANCEL, 0);
                Sleep(200);
                if (std::chrono::steady_clock::now() - leaving > std::chrono::seconds(10))
                    break;
            }
            finished = true;
        });
    }
    runMessages(dialog, nullptr, [&] { return finished.load(); });
    if (photographer.joinable())
        photographer.join();
    prompts.setOwner(nullptr);
    return 0;
}
