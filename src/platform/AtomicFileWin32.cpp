#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "AppendFile.h"
#include "AtomicFile.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

// The errno value nearest to a Windows error, so that callers test one set of causes.
int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return EIO;  // failed without saying why
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_NETWORK_ACCESS_DENIED:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return EINVAL;
        default:
            return EIO;
    }
}

FileResult failed(const char* step) {
    return fileFailure(step, errnoOf(GetLastError()));
}

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (valid())
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool close() {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

bool writeAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// Moves `from` over `target` through to the disk. A reader that has the target open without sharing
// its deletion (most programs) holds the replace off: it is tried again for a while, as such reads
// are short. A read-only target is refused at once.
bool moveOver(const fs::path& from, const fs::path& target) {
    constexpr int kTries = 100;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(target.c_str());
        const bool held = (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) &&
                          attributes != INVALID_FILE_ATTRIBUTES &&
                          !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
        if (!held || attempt == kTries) {
            SetLastError(error);
            return false;
        }
        Sleep(10);
    }
}

// Flushes `out`, closes it and moves `from` over `target`, through to the disk. `from` is removed on a
// failure when `removeOnFailure`.
FileResult commit(Handle& out, const fs::path& from, const fs::path& target, bool removeOnFailure) {
    FileResult result;
    if (!FlushFileBuffers(out.get()))
        result = failed("sync");
    else if (!out.close())
        result = failed("close");
    else if (!moveOver(from, target))
        result = failed("rename");
    if (!result && removeOnFailure)
        DeleteFileW(from.c_str());
    return result;
}

// A new file for writing that no other program opens meanwhile; `how` CREATE_NEW or OPEN_EXISTING.
// FILE_FLAG_OPEN_REPARSE_POINT: a link in the name's place is opened itself, never its target.
HANDLE openForWriting(const fs::path& path, DWORD how, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       how, attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

FileResult writeFileAtomically(const fs::path& target, std::string_view bytes,
                               const AtomicWriteOptions& options) {
    std::wstring name = options.temporaryName.empty() ? L"." + target.filename().wstring() + L".qxtmp"
                                                      : fs::path(options.temporaryName).wstring();
    if (options.perProcess)
        name += L"-" + std::to_wstring(GetCurrentProcessId());
    const fs::path temporary = target.parent_path() / name;
    // A leftover of a writer that was killed: removed (a link itself, not what it names).
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary.c_str());
    // The new file takes the old one's attributes (hidden, system) as a replace keeps them; a
    // read-only target refuses the rename below, as it refuses any other write.
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (const DWORD old = GetFileAttributesW(target.c_str()); old != INVALID_FILE_ATTRIBUTES)
        attributes = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (attributes == 0)
        attributes = FILE_ATTRIBUTE_NORMAL;
    Handle out(openForWriting(temporary, CREATE_NEW, attributes));
    if (!out.valid())
        return failed("create the temporary file");
    if (!writeAll(out.get(), bytes)) {
        const FileResult result = failed("write");
        out.close();
        DeleteFileW(temporary.c_str());
        return result;
    }
    return commit(out, temporary, target, true);
}

FileResult makeReserveFile(const fs::path& reserve, std::uintmax_t bytes) {
    Handle out(openForWriting(reserve, CREATE_NEW));
    if (!out.valid())
        return failed("create the reserve");
    // Zero bytes written hold their room on every file system (an allocation alone is not kept by all).
    if (!writeAll(out.get(), std::string(bytes, '\0')) || !FlushFileBuffers(out.get())) {
        const FileResult result = failed("allocate the reserve");
        out.close();
        DeleteFileW(reserve.c_str());
        return result;
    }
    return {};
}

FileResult replaceFromReserve(const fs::path& target, const fs::path& reserve, std::string_view bytes) {
    Handle out(openForWriting(reserve, OPEN_EXISTING));
    if (!out.valid())
        return failed("open the reserve");
    FILE_STANDARD_INFO info{};
    if (!GetFileInformationByHandleEx(out.get(), FileStandardInfo, &info, sizeof info))
        return failed("open the reserve");
    // Written only within the room the reserve holds already.
    const auto room =
        static_cast<std::uintmax_t>(std::max(info.AllocationSize.QuadPart, info.EndOfFile.QuadPart));
    if (info.Directory || room < bytes.size())
        return fileFailure("open the reserve", ENOSPC);
    if (!writeAll(out.get(), bytes) || !SetEndOfFile(out.get()))
        return failed("write");
    return commit(out, reserve, target, false);
}

AppendFile::AppendFile(const fs::path& file) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file as it is then,
    // whoever else appends.
    const HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        m_opened = failed("open");
    else
        m_handle = reinterpret_cast<std::intptr_t>(handle);
}

AppendFile::~AppendFile() {
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

FileResult AppendFile::append(std::string_view bytes) {
    if (!m_opened)
        return m_opened;
    const HANDLE handle = reinterpret_cast<HANDLE>(m_handle);
    // Appends of several handles are whole on Windows, not on every system that runs its programs
    // (Wine seeks to the end and then writes): our writers take turns by a lock on a byte far past any
    // end, which no reader's lock meets.
    OVERLAPPED turn{};
    turn.Offset = 0xFFFFFFF0u;
    turn.OffsetHigh = 0x7FFFFFFFu;
    const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn) != 0;
    DWORD written = 0;
    const bool wrote =
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
    const DWORD error = GetLastError();
    if (locked)
        UnlockFileEx(handle, 0, 1, 0, &turn);
    SetLastError(error);
    if (!wrote)
        return failed("write");
    if (written < bytes.size())
        return fileFailure("write", ENOSPC);
    return {};
}

void writeStandardError(std::string_view text) {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    writeAll(handle, text);
}

}  // namespace qx
