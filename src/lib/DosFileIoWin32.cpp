#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>

#include "DbfIo.h"
#include "DosFileIo.h"

namespace qx::detail {
namespace {

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// What the open lets others do: the sharing modes of the system itself.
DWORD shareOf(const SharingRequest& sharing) {
    return (sharing.denyRead ? 0 : FILE_SHARE_READ) | (sharing.denyWrite ? 0 : FILE_SHARE_WRITE) |
           FILE_SHARE_DELETE;
}

// Appending without FILE_WRITE_DATA: the system puts every write at the end of the file in one piece.
constexpr DWORD kAppendAccess =
    FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA | STANDARD_RIGHTS_WRITE | SYNCHRONIZE;

// Empties the file through an open that writes, under the sharing rule of the request: someone else's
// denial of writing refuses it before anything changes.
bool emptyFile(const std::wstring& name, const SharingRequest& sharing) {
    HANDLE writer = CreateFileW(name.c_str(), GENERIC_WRITE, shareOf(sharing), nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writer == INVALID_HANDLE_VALUE)
        return false;
    bool emptied = SetEndOfFile(writer);
    return CloseHandle(writer) && emptied;
}

}  // namespace

bool openDosFile(const char* name, const DosOpenRequest& request, int& fd, int& markFd) {
    const SharingRequest& sharing = request.sharing;
    std::wstring path = qx::dbf::io::pathOf(name).native();
    if (path.empty())
        return false;
    DWORD access = (sharing.reads ? GENERIC_READ : 0) |
                   (sharing.writes ? (request.append ? kAppendAccess : GENERIC_WRITE) : 0);
    // An open that may not empty the file itself (read-only, append-only) empties it first through a
    // writing one; between the two another process could open the file, which it could have done an
    // instant later as well.
    bool emptiesItself = sharing.writes && !request.append;
    if (request.create && !emptiesItself && !emptyFile(path, sharing))
        return false;
    HANDLE h = CreateFileW(path.c_str(), access, shareOf(sharing), nullptr,
                           request.create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    if (GetFileType(h) != FILE_TYPE_DISK || (request.create && emptiesItself && !SetEndOfFile(h))) {
        CloseHandle(h);
        return false;
    }
    int opened = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | (sharing.writes ? 0 : _O_RDONLY));
    if (opened < 0) {
        CloseHandle(h);
        return false;
    }
    fd = opened;
    markFd = -1;
    return true;
}

bool closeDosFile(int fd, int) {
    return _close(fd) == 0;
}

std::int64_t seekDosFile(int fd, std::int64_t offset, SeekFrom from) {
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER pos{};
    DWORD method = from == SeekFrom::Start ? FILE_BEGIN : from == SeekFrom::End ? FILE_END : FILE_CURRENT;
    if (!SetFilePointerEx(handleOf(fd), distance, &pos, method))
        return -1;
    return pos.QuadPart;
}

std::int64_t readDosFile(int fd, void* into, std::size_t count) {
    DWORD n = 0;
    DWORD chunk = DWORD(std::min<std::size_t>(count, 1u << 30));
    if (!ReadFile(handleOf(fd), into, chunk, &n, nullptr))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return n;
}

std::int64_t writeDosFile(int fd, const void* from, std::size_t count) {
    DWORD n = 0;
    DWORD chunk = DWORD(std::min<std::size_t>(count, 1u << 30));
    if (!WriteFile(handleOf(fd), from, chunk, &n, nullptr))
        return -1;
    return n;
}

std::int64_t readDosFileAt(int fd, void* into, std::size_t count, std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = DWORD(std::uint64_t(offset) & 0xffffffffu);
    at.OffsetHigh = DWORD(std::uint64_t(offset) >> 32);
    DWORD n = 0;
    DWORD chunk = DWORD(std::min<std::size_t>(count, 1u << 30));
    if (!ReadFile(handleOf(fd), into, chunk, &n, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return n;
}

}  // namespace qx::detail
