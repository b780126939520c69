#include <windows.h>

#include <algorithm>
#include <vector>

#include "PathMap.h"
#include "Profile.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {

// Here the drives are the system's own: `X:` is drive X, a path beginning with `\` lies on the drive of
// the working directory, and the system applies the component rules (trailing dots, `.`, `..` stopping
// at the root of its drive) and ignores letter case itself. A root or a drive directory given
// explicitly (an installation kept in a folder, as the tests and the rehearsals keep it) is honoured
// as on the other system: `\` and `C:` lie below the root, a mapped `X:` below its directory, and `..`
// stops there. An explicitly given working directory still anchors relative paths.
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

std::wstring lowerCase(std::wstring text) {
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

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

// Whether `root` is one given to hold the installation (the default "/" and an empty one are not).
bool givenRoot(const fs::path& root) {
    return !root.empty() && root != fs::path("/");
}

// `rest` (components separated by `\` or `/`) below `base`, with `.` components and trailing dots
// dropped and `..` never climbing above `base`.
fs::path below(const fs::path& base, std::wstring_view rest) {
    std::vector<std::wstring> parts;
    std::wstring part;
    auto close = [&] {
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else {
            while (!part.empty() && part.back() == L'.')
                part.pop_back();
            if (!part.empty())
                parts.push_back(part);
        }
        part.clear();
    };
    for (wchar_t c : rest) {
        if (c == L'\\' || c == L'/')
            close();
        else
            part.push_back(c);
    }
    close();
    fs::path out = base;
    for (const auto& name : parts)
        out /= name;
    return out;
}

// Whether `path` is `base` or below it (letter case ignored, as the system ignores it); `rest` gets
// the part below.
bool isBelow(const fs::path& path, const fs::path& base, std::wstring* rest) {
    std::wstring full = lowerCase(path.lexically_normal().wstring());
    std::wstring prefix = lowerCase(base.lexically_normal().wstring());
    while (!prefix.empty() && (prefix.back() == L'\\' || prefix.back() == L'/'))
        prefix.pop_back();
    if (full.compare(0, prefix.size(), prefix) != 0 ||
        (full.size() > prefix.size() && full[prefix.size()] != L'\\' && full[prefix.size()] != L'/'))
        return false;
    *rest = path.lexically_normal().wstring().substr(std::min(full.size(), prefix.size() + 1));
    return true;
}

}  // namespace

fs::path PathMap::native(std::string_view windowsPath) const {
    std::wstring wide = widen(windowsPath);
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':';
    const bool rooted = !windowsPath.empty() && (windowsPath[0] == '\\' || windowsPath[0] == '/');
    if (hasDrive) {
        const char letter = asciiUpper(std::string(1, windowsPath[0]))[0];
        if (auto it = m_drives.find(letter); it != m_drives.end())
            return fullPath(below(it->second, std::wstring_view(wide).substr(2)).wstring());
        if (letter == 'C' && givenRoot(m_root))
            return fullPath(below(m_root, std::wstring_view(wide).substr(2)).wstring());
    } else if (rooted && givenRoot(m_root)) {
        return fullPath(below(m_root, wide).wstring());
    }
    if (!hasDrive && !rooted && !m_workdir.empty()) {
        // `..` of a relative path still stops at the root of the working directory's drive.
        return fullPath(m_workdir.wstring() + L"\\" + wide);
    } else if (!hasDrive && rooted && !m_workdir.empty()) {
        return fullPath(m_workdir.root_name().wstring() + wide);
    }
    return fullPath(wide.empty() ? std::wstring(L".") : wide);
}

std::string PathMap::configured(const fs::path& nativePath) const {
    // The drives are the system's own: the full path is the configured form, unless it lies below a
    // given drive directory (the deepest) or the given root; a relative path stays relative.
    if (nativePath.is_relative()) {
        std::wstring relative = nativePath.lexically_normal().wstring();
        std::replace(relative.begin(), relative.end(), L'/', L'\\');
        return narrow(relative).value_or(nativePath.string());
    }
    const fs::path* deepest = nullptr;
    std::string prefix;
    std::wstring rest;
    for (const auto& [letter, dir] : m_drives) {
        std::wstring below;
        if (isBelow(nativePath, dir, &below) &&
            (!deepest || dir.wstring().size() > deepest->wstring().size())) {
            deepest = &dir;
            prefix = std::string(1, letter) + ":\\";
            rest = below;
        }
    }
    if (!deepest && givenRoot(m_root) && isBelow(nativePath, m_root, &rest))
        prefix.assign(1, '\\');
    if (!prefix.empty()) {
        std::replace(rest.begin(), rest.end(), L'/', L'\\');
        if (std::optional<std::string> text = narrow(rest))
            return prefix + *text;
    }
    return narrow(nativePath.wstring()).value_or(nativePath.string());
}

fs::path PathMap::profileFile(std::string_view name) const {
    if (isBareProfileName(name))
        return m_windir / widen(name);
    return native(name);
}

fs::path systemWindowsDirectory() {
    wchar_t buffer[MAX_PATH + 1];
    const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return {};
    return fs::path(std::wstring(buffer, length));
}

fs::path resolveCaseInsensitive(const fs::path& path) {
    return path;  // the file system ignores letter case itself
}

}  // namespace qx
