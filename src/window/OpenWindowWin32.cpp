// The service executable does not link a window: it hands over to qxmover-window.exe beside it, which
// gets the same command line. This process waits for it and ends with its exit code, so that whoever
// started qxmover.exe sees the window program's end as its own.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "ExecutablePath.h"
#include "OpenWindow.h"

namespace fs = std::filesystem;

namespace qx {

std::unique_ptr<WindowHost> openWindow(int&, char**) {
    const fs::path window = executablePath().parent_path() / L"qxmover-window.exe";
    std::error_code ec;
    if (!fs::is_regular_file(window, ec)) {
        std::cerr << "qxmover: the window program qxmover-window.exe is not beside qxmover.exe; running "
                     "without a window"
                  << std::endl;
        return nullptr;
    }
    // The command line as given: the window program reads its options from it as this one did.
    std::wstring commandLine = GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(window.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::cerr << "qxmover: cannot start " << window.string() << " (error " << GetLastError()
                  << "); running without a window" << std::endl;
        return nullptr;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    std::exit(static_cast<int>(code));
}

}  // namespace qx
