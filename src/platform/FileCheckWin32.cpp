#include <windows.h>

#include "ErrorWin32.h"
#include "FileCheck.h"

namespace qx {

namespace {

// Opened for reading, shared with every other user: a check must not stand in a writer's way.
HANDLE openForReading(const std::filesystem::path& file) {
    return CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

}  // namespace

std::optional<std::string> whyUnreadable(const std::filesystem::path& file, std::error_code& error) {
    error.clear();
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = errorFromWin32(GetLastError());
        return error.message();
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "not a regular file";
    Handle handle{openForReading(file)};
    if (handle.h == INVALID_HANDLE_VALUE) {
        error = errorFromWin32(GetLastError());
        return error.message();
    }
    if (GetFileType(handle.h) != FILE_TYPE_DISK)
        return "not a regular file";
    char byte;
    DWORD got = 0;
    if (!ReadFile(handle.h, &byte, 1, &got, nullptr)) {
        error = errorFromWin32(GetLastError());
        return error.message();
    }
    return std::nullopt;
}

bool mayWrite(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A directory's read-only flag says nothing here: whether a file can be made in it does.
        wchar_t name[MAX_PATH] = {};
        if (!GetTempFileNameW(path.c_str(), L"qx", 0, name))
            return false;
        DeleteFileW(name);
        return true;
    }
    return !(attributes & FILE_ATTRIBUTE_READONLY);
}

std::optional<FileStart> readFileStart(const std::filesystem::path& file, std::size_t count) {
    Handle handle{openForReading(file)};
    if (handle.h == INVALID_HANDLE_VALUE || GetFileType(handle.h) != FILE_TYPE_DISK)
        return std::nullopt;
    LARGE_INTEGER size{};
    FileStart start;
    start.bytes.resize(count);
    DWORD got = 0;
    if (!GetFileSizeEx(handle.h, &size) ||
        !ReadFile(handle.h, start.bytes.data(), static_cast<DWORD>(count), &got, nullptr) || got != count)
        return std::nullopt;
    start.size = static_cast<std::uint64_t>(size.QuadPart);
    return start;
}

}  // namespace qx
