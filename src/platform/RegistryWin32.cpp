#include <windows.h>

#include "Registry.h"

namespace qx {

bool removeJustInTimeDebugger() {
    const LSTATUS status =
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug");
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace qx
