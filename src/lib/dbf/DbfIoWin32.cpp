#include <windows.h>

#include <atomic>
#include <string>

#include "DbfIo.h"

namespace qx::dbf::io {

// LockFileEx locks neither merge nor split, and unlocking takes the range exactly as locked.
const bool kLocksMerge = false;

namespace {

HANDLE handleOf(Handle file) {
    return reinterpret_cast<HANDLE>(file);
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = DWORD(offset & 0xffffffffu);
    where.OffsetHigh = DWORD(offset >> 32);
    return where;
}

// Every open lets the others read, write and rename: the table's sharing is done with byte locks, as
// among the programs of the locking convention.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool writeWhole(HANDLE file, std::span<const unsigned char> bytes) {
    return writeAt(reinterpret_cast<Handle>(file), bytes.data(), bytes.size(), 0);
}

}  // namespace

std::filesystem::path pathOf(const char* name) {
    int length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), length);
    wide.resize(std::size_t(length - 1));
    return std::filesystem::path(wide);
}

Handle openExisting(const std::filesystem::path& file, bool& writable, OpenFailure& why) {
    why = OpenFailure::None;
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    writable = h != INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        h = CreateFileW(file.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        why = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? OpenFailure::NoFile
                                                                             : OpenFailure::NotReadable;
        return kNoFile;
    }
    // A pipe, console or device given as a table name is refused before anything reads from it.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        why = OpenFailure::NotRegular;
        return kNoFile;
    }
    return reinterpret_cast<Handle>(h);
}

bool createNew(const std::filesystem::path& file, std::span<const unsigned char> bytes) {
    HANDLE h =
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool written = writeWhole(h, bytes);
    written = CloseHandle(h) && written;
    if (!written)
        DeleteFileW(file.c_str());
    return written;
}

bool replace(const std::filesystem::path& file, std::span<const unsigned char> bytes) {
    // The new table is written beside the old one under a name no one else uses, then takes the old
    // one's place in one step; ReplaceFileW keeps the old file's security and attributes.
    static std::atomic<unsigned> counter{0};
    std::wstring temporary;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = file.native() + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                    std::to_wstring(counter.fetch_add(1));
        h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool written = writeWhole(h, bytes);
    written = CloseHandle(h) && written;
    if (written && !ReplaceFileW(file.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                 nullptr, nullptr))
        written = GetLastError() == ERROR_FILE_NOT_FOUND &&
                  MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!written)
        DeleteFileW(temporary.c_str());
    return written;
}

bool exists(const std::filesystem::path& file) {
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void close(Handle file) {
    CloseHandle(handleOf(file));
}

std::int64_t readAt(Handle file, void* into, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED where = at(offset + done);
        DWORD chunk = DWORD(std::min<std::size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(handleOf(file), static_cast<char*>(into) + done, chunk, &n, &where))
            return GetLastError() == ERROR_HANDLE_EOF ? std::int64_t(done) : -1;
        if (n == 0)
            break;
        done += n;
    }
    return std::int64_t(done);
}

bool writeAt(Handle file, const void* from, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED where = at(offset + done);
        DWORD chunk = DWORD(std::min<std::size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(handleOf(file), static_cast<const char*>(from) + done, chunk, &n, &where) || n == 0)
            return false;
        done += n;
    }
    return true;
}

std::int64_t length(Handle file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handleOf(file), &size))
        return -1;
    return size.QuadPart;
}

bool truncate(Handle file, std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = LONGLONG(size);
    return SetFileInformationByHandle(handleOf(file), FileEndOfFileInfo, &end, sizeof end);
}

bool syncData(Handle file) {
    return FlushFileBuffers(handleOf(file));
}

std::tm localNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return local;
}

std::chrono::steady_clock::time_point coarseNow() {
    return std::chrono::steady_clock::now();
}

LockResult lockRange(Handle file, std::uint64_t start, std::uint64_t size, LockKind kind, bool wait) {
    OVERLAPPED where = at(start);
    DWORD flags =
        (kind == LockKind::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (LockFileEx(handleOf(file), flags, 0, DWORD(size & 0xffffffffu), DWORD(size >> 32), &where))
        return LockResult::Taken;
    DWORD error = GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockResult::Busy : LockResult::Failed;
}

void unlockRange(Handle file, std::uint64_t start, std::uint64_t size) {
    OVERLAPPED where = at(start);
    UnlockFileEx(handleOf(file), 0, DWORD(size & 0xffffffffu), DWORD(size >> 32), &where);
}

bool relock(Handle file, std::uint64_t start, std::uint64_t size, LockKind to, bool wait) {
    // A lock cannot change its kind in place: it is let go and taken anew, and the old kind comes back
    // when the new one cannot be had. In between another open may slip in; the callers allow for that.
    unlockRange(file, start, size);
    if (lockRange(file, start, size, to, wait) == LockResult::Taken)
        return true;
    LockKind old = to == LockKind::Shared ? LockKind::Exclusive : LockKind::Shared;
    lockRange(file, start, size, old, true);
    return false;
}

}  // namespace qx::dbf::io
