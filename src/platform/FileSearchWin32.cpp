#include <windows.h>

#include "FileSearch.h"
#include "FileTimeWin32.h"
#include "WideText.h"

namespace qx {

std::vector<FoundFile> findFiles(const std::filesystem::path& directory, std::string_view pattern) {
    std::vector<FoundFile> found;
    // Every name, matched here: the system's own matching would also match the short 8.3 names.
    const std::wstring all = (directory / L"*").wstring();
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileExW(all.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return found;
    do {
        std::wstring_view wide = data.cFileName;
        if (wide == L"." || wide == L"..")
            continue;
        // A name the installation's code page cannot spell cannot be named back by its programs either;
        // a "?" in its place would name another file, so it is left out.
        std::optional<std::string> name = narrow(wide);
        if (!name || !matchesWildcard(*name, pattern))
            continue;
        FoundFile file;
        file.name = std::move(*name);
        // Junctions and symbolic links alike are reparse points: reported, never followed.
        file.isSymlink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        file.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        file.isReadOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        file.lastWrite = fromFileTime(data.ftLastWriteTime);
        found.push_back(std::move(file));
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

}  // namespace qx
