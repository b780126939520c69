#include <windows.h>

#include <string>

#include "ExecutablePath.h"

namespace qx {

std::filesystem::path executablePath() {
    // A path longer than the buffer comes back cut, with the buffer's length: it is asked again larger.
    std::wstring name(MAX_PATH, L'\0');
    while (name.size() <= 32768) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return {};
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        name.resize(name.size() * 2);
    }
    return {};
}

}  // namespace qx
