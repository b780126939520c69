#include <windows.h>

#include <vector>

#include "PathMap.h"
#include "Profile.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {

// Here the drives are the system's own: `X:` is drive X, a path beginning with `\` lies on the drive of
// the working directory, and the system applies the component rules (trailing dots, `.`, `..` stopping
// at the root of its drive) and ignores letter case itself. The root and drive mappings of the other
// system are not needed; an explicitly given working directory still anchors relative paths.
PathMap::PathMap(fs::path root, fs::path windir, std::map<char, fs::path> drives, fs::path workdir)
    : m_root(std::move(root)), m_windir(std::move(windir)) {
    for (auto& [letter, dir] : drives)
        m_drives[asciiUpper(std::string(1, letter))[0]] = dir;
    m_workdir = std::move(workdir);
}

std::optional<fs::path> PathMap::drive(char letter) const {
    char upper = asciiUpper(std::string(1, letter))[0];
    if (upper < 'A' || upper > 'Z')
        return std::nullopt;
    if (auto it = m_drives.find(upper); it != m_drives.end())
        return it->second;
    return fs::path(std::wstring{static_cast<wchar_t>(upper), L':', L'\\'});
}

namespace {

fs::path fullPath(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return fs::path(path);
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return fs::path(path);
    full.resize(length);
    return fs::path(full);
}

}  // namespace

fs::path PathMap::native(std::string_view windowsPath) const {
    std::wstring wide = widen(windowsPath);
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':';
    const bool rooted = !windowsPath.empty() && (windowsPath[0] == '\\' || windowsPath[0] == '/');
    if (!hasDrive && !rooted && !m_workdir.empty()) {
        // `..` of a relative path still stops at the root of the working directory's drive.
        return fullPath(m_workdir.wstring() + L"\\" + wide);
    } else if (!hasDrive && rooted && !m_workdir.empty()) {
        return fullPath(m_workdir.root_name().wstring() + wide);
    }
    return fullPath(wide.empty() ? std::wstring(L".") : wide);
}

std::string PathMap::configured(const fs::path& nativePath) const {
    // The drives are the system's own: the full path is the configured form.
    return narrow(nativePath.wstring()).value_or(nativePath.string());
}

fs::path PathMap::profileFile(std::string_view name) const {
    if (isBareProfileName(name))
        return m_windir / widen(name);
    return native(name);
}

fs::path resolveCaseInsensitive(const fs::path& path) {
    return path;  // the file system ignores letter case itself
}

}  // namespace qx
