#include <windows.h>

#include <algorithm>

#include "DirectoryHandle.h"
#include "ErrorWin32.h"
#include "FileTimeWin32.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

HANDLE handleOf(std::intptr_t native) {
    return reinterpret_cast<HANDLE>(native);
}

std::error_code writeAll(HANDLE out, std::string_view content) {
    for (std::size_t written = 0; written < content.size();) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - written, 1u << 20));
        DWORD done = 0;
        if (!WriteFile(out, content.data() + written, chunk, &done, nullptr))
            return lastWin32Error();
        written += done;
    }
    return {};
}

}  // namespace

void DirectoryHandle::open() {
    const fs::path open = m_path.empty() ? fs::path(".") : m_path;
    // The handle is the directory itself, never what a junction or symbolic link points to. Without
    // FILE_SHARE_DELETE nobody can rename or delete the directory while it is held, so that the names
    // below it, which Windows takes by path, stay inside it.
    HANDLE handle = CreateFileW(open.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_error = lastWin32Error();
        return;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        m_error = lastWin32Error();
        CloseHandle(handle);
        return;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        m_isLink = true;
        m_error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        CloseHandle(handle);
        return;
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        m_error = std::make_error_code(std::errc::not_a_directory);
        CloseHandle(handle);
        return;
    }
    m_native = reinterpret_cast<std::intptr_t>(handle);
    m_error.clear();
}

void DirectoryHandle::close() {
    if (m_native != -1)
        CloseHandle(handleOf(m_native));
    m_native = -1;
}

std::vector<DirectoryEntry> DirectoryHandle::list() const {
    std::vector<DirectoryEntry> entries;
    if (!isOpen())
        return entries;
    const fs::path open = m_path.empty() ? fs::path(".") : m_path;
    // Every name, matched by the callers: the system's own matching would also match the short 8.3 names.
    const std::wstring all = (open / L"*").wstring();
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileExW(all.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        std::wstring_view wide = data.cFileName;
        if (wide == L"." || wide == L"..")
            continue;
        // A name the installation's code page cannot spell cannot be named back by its programs either.
        std::optional<std::string> name = narrow(wide);
        if (!name)
            continue;
        const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back({std::move(*name), !reparse && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)});
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return entries;
}

std::optional<EntryStatus> DirectoryHandle::status(std::string_view name, std::error_code* error) const {
    if (!isOpen() || !isEntryName(name)) {
        if (error)
            *error = isOpen() ? std::make_error_code(std::errc::invalid_argument) : m_error;
        return std::nullopt;
    }
    const std::wstring path = (m_path / widen(name)).wstring();
    // The entry's own attributes: a reparse point is reported as itself, not as its target.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        if (error)
            *error = lastWin32Error();
        return std::nullopt;
    }
    EntryStatus status;
    status.isSymlink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    status.isDirectory = !status.isSymlink && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.isReadOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    status.size = static_cast<std::int64_t>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) |
                                            data.nFileSizeLow);
    status.lastWrite = fromFileTime(data.ftLastWriteTime);
    // The change time (a rename sets it) where the file system keeps one; else the later of creation
    // (a copy is made then) and last write.
    status.changed = std::max(fromFileTime(data.ftCreationTime), status.lastWrite);
    Win32Handle entry(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_BASIC_INFO basic{};
    if (entry.valid() && GetFileInformationByHandleEx(entry.get(), FileBasicInfo, &basic, sizeof basic) &&
        basic.ChangeTime.QuadPart != 0) {
        FILETIME change{static_cast<DWORD>(basic.ChangeTime.LowPart),
                        static_cast<DWORD>(basic.ChangeTime.HighPart)};
        status.changed = fromFileTime(change);
    }
    if (error)
        error->clear();
    return status;
}

std::error_code DirectoryHandle::removeEntry(std::string_view name) {
    const std::wstring path = (m_path / widen(name)).wstring();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastWin32Error();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A junction or a directory link goes as itself (RemoveDirectoryW never enters a reparse
        // point); a real directory is never removed.
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return std::make_error_code(std::errc::is_a_directory);
        return RemoveDirectoryW(path.c_str()) ? std::error_code() : lastWin32Error();
    }
    // A file link is removed itself; a file that another program holds without sharing its deletion
    // stays (a sharing violation), for the next run.
    return DeleteFileW(path.c_str()) ? std::error_code() : lastWin32Error();
}

std::error_code DirectoryHandle::writeNewFile(std::string_view name, std::string_view content) {
    const std::wstring path = (m_path / widen(name)).wstring();
    Win32Handle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!out.valid())
        return lastWin32Error();
    std::error_code ec = writeAll(out.get(), content);
    const std::error_code closed = out.close();
    return ec ? ec : closed;
}

std::error_code DirectoryHandle::writeReplacement(std::string_view name, std::string_view content) {
    const std::wstring file = (m_path / widen(name)).wstring();
    const std::wstring temp = file + L".new";
    Win32Handle out(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!out.valid())
        return lastWin32Error();
    std::error_code ec = writeAll(out.get(), content);
    if (!ec && !FlushFileBuffers(out.get()))
        ec = lastWin32Error();
    if (const std::error_code closed = out.close(); closed && !ec)
        ec = closed;
    // Write-through: the rename is on disk when the call returns (Windows has no directory flush).
    if (!ec && !MoveFileExW(temp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ec = lastWin32Error();
    if (ec)
        DeleteFileW(temp.c_str());
    return ec;
}

}  // namespace qx
