#pragma once

#include <cstddef>
#include <cstdint>

#include "FileSharing.h"

// The system's side of CDosFile (DosFileIoPosix.cpp, DosFileIoWin32.cpp); private to the library. Files
// are known by an integer: the descriptor on Linux, a C runtime descriptor over the HANDLE on Windows.
namespace qx::detail {

struct DosOpenRequest {
    SharingRequest sharing;  // reads/writes say the access; the denials are kept among every process
    bool create = false;     // make the file when missing and empty it, after the sharing rule let it in
    bool append = false;     // every write goes to the end of the file in one piece
};

// Opens `name` (8-bit code page bytes) as asked. On success `fd` is the open file and `markFd` a second
// one to close with it (-1 when there is none). False when the file is missing or refused, or the
// sharing rule forbids the open; nothing is then open and a file that was there is unchanged.
bool openDosFile(const char* name, const DosOpenRequest& request, int& fd, int& markFd);
// Closes both; false when closing `fd` failed.
bool closeDosFile(int fd, int markFd);

enum class SeekFrom { Start, Current, End };
// The new position, -1 on failure.
std::int64_t seekDosFile(int fd, std::int64_t offset, SeekFrom from);
// One read or write at the current position, going on after interruptions: the bytes moved (0 at the
// end of the file), -1 on failure.
std::int64_t readDosFile(int fd, void* into, std::size_t count);
std::int64_t writeDosFile(int fd, const void* from, std::size_t count);
// Reads at `offset` without a promise about the position afterwards: the bytes read, -1 on failure.
std::int64_t readDosFileAt(int fd, void* into, std::size_t count, std::int64_t offset);

}  // namespace qx::detail
