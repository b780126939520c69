// The main dialog as the service runs it, over an installation folder of its own and without the
// service's threads: for looking at the running window and for its screenshots.
//   qxwindow-demo --dir DIR [--lang en|de|fr] [--rect-file FILE]
// DIR holds the installation (the profile files in DIR/windows, the activity log in DIR/log). --rect-file
// writes "x y width height" of the window to FILE once it is drawn, then ends when FILE.done appears (or
// after two minutes). Exit code 0 when the window was shown, 2 for a wrong command line.
#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ActivityLog.h"
#include "DialogResources.h"
#include "Launcher.h"
#include "MainDialog.h"
#include "PathMap.h"
#include "Profile.h"
#include "SharedState.h"
#include "StringTable.h"
#include "WideText.h"
#include "WinPrompts.h"

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

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::filesystem::path dir, rectFile;
    LANGID language = kLanguages[0].id;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (i + 1 >= argc)
            return fail("an option lacks its value");
        const std::wstring value = argv[++i];
        if (option == L"--dir") {
            dir = value;
        } else if (option == L"--rect-file") {
            rectFile = value;
        } else if (option == L"--lang") {
            auto found = languageOf(narrow(value).value_or(""));
            if (!found)
                return fail("--lang takes en, de or fr");
            language = *found;
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

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    SetThreadUILanguage(language);
    MainDialog dialog(services, MainDialogHooks{}, language);
    if (!dialog.create(instance, rectFile.empty()))
        return fail("the dialog could not be made");
    prompts.setOwner(dialog.window());
    const auto started = std::chrono::steady_clock::now();
    bool written = false;
    runMessages(dialog, nullptr, [&] {
        if (rectFile.empty())
            return false;
        const auto waited = std::chrono::steady_clock::now() - started;
        if (!written && waited > std::chrono::milliseconds(800)) {
            writeRect(dialog.window(), rectFile);
            written = true;
        }
        std::filesystem::path done = rectFile;
        done += ".done";
        return std::filesystem::exists(done, ec) || waited > std::chrono::minutes(2);
    });
    prompts.setOwner(nullptr);
    return 0;
}
