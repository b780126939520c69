#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <span>

// The table engine's file access; DbfIoPosix.cpp and DbfIoWin32.cpp hold the system's side.
namespace qx::dbf::io {

// An open file: the descriptor on Linux, the HANDLE's value on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoFile = -1;

// The path of a file named in the installation's 8-bit code page (on Windows the ANSI code page,
// converted here once for the wide file functions; on Linux the bytes as they are).
std::filesystem::path pathOf(const char* name);

enum class OpenFailure { None, NoFile, NotReadable, NotRegular };

// Opens an existing regular file for reading and writing, or only for reading when this account may
// not write it (`writable` says which). Never hangs on a FIFO or device given as a name. kNoFile with
// the reason otherwise.
Handle openExisting(const std::filesystem::path& file, bool& writable, OpenFailure& why);
// Makes `file`, which must not exist yet, with `bytes` as its contents. False when it exists or cannot
// be written whole (nothing is then left behind).
bool createNew(const std::filesystem::path& file, std::span<const unsigned char> bytes);
// Puts a file with `bytes` in the place of `file` in one step, keeping the old file's access rights;
// the old file stays as it was when the new one cannot be written.
bool replace(const std::filesystem::path& file, std::span<const unsigned char> bytes);
// True when something (a file, a link, anything) has that name.
bool exists(const std::filesystem::path& file);
void close(Handle file);

// Reads up to `size` bytes at `offset`, going on after interruptions and short reads. Returns the
// bytes read (fewer at the end of the file), or -1 on an error.
std::int64_t readAt(Handle file, void* into, std::size_t size, std::uint64_t offset);
// Writes all `size` bytes at `offset`; false when that is not possible.
bool writeAt(Handle file, const void* from, std::size_t size, std::uint64_t offset);
// The file's length in bytes; -1 on failure.
std::int64_t length(Handle file);
bool truncate(Handle file, std::uint64_t length);
// The data written so far is on the disk.
bool syncData(Handle file);

enum class LockKind { Shared, Exclusive };
enum class LockResult { Taken, Busy, Failed };
// Byte-range locks that belong to the open file (not the process): two opens in one process exclude
// each other. `wait`: blocks until the range is free. Busy: someone else holds a conflicting lock;
// Failed: locks are not supported here or the file's access does not allow them.
LockResult lockRange(Handle file, std::uint64_t start, std::uint64_t length, LockKind kind, bool wait);
// Releases the range as it was taken.
void unlockRange(Handle file, std::uint64_t start, std::uint64_t length);
// Turns a held lock of `length` bytes at `start` into one of kind `to`. Where the system cannot change
// a lock in place, the old kind is taken back (waiting) when the new one cannot be had.
bool relock(Handle file, std::uint64_t start, std::uint64_t length, LockKind to, bool wait);
// Whether locks over one open's ranges merge and split (true) or must be released exactly as they
// were taken and never overlap one another (false).
extern const bool kLocksMerge;

// The local date and time now.
std::tm localNow();
// The steady clock, read cheaply with a resolution of a few milliseconds.
std::chrono::steady_clock::time_point coarseNow();

inline void storeLe32(unsigned char* to, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        to[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline std::uint32_t loadLe32(const unsigned char* from) {
    return std::uint32_t(from[0]) | (std::uint32_t(from[1]) << 8) | (std::uint32_t(from[2]) << 16) |
           (std::uint32_t(from[3]) << 24);
}

}  // namespace qx::dbf::io
