#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The file side of profile writes: the lock between processes and the write in place (the atomic
// replace is writeFileAtomically).

// Serialises the profile writers of all our processes (and of all Profile objects of one process) for
// one directory. The lock is taken on the directory itself: the data file cannot carry it because every
// write renames a new inode over it, and a directory lock leaves no extra files in a directory that the
// installation's other programs share. Blocks until the lock is held.
class ProfileDirectoryLock {
public:
    explicit ProfileDirectoryLock(const std::filesystem::path& directory);
    ~ProfileDirectoryLock();
    ProfileDirectoryLock(const ProfileDirectoryLock&) = delete;
    ProfileDirectoryLock& operator=(const ProfileDirectoryLock&) = delete;

    // False when the directory cannot be opened or locked (it does not exist, for example).
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

struct FileSnapshot {
    bool exists = false;
    struct stat status {};  // of the open file, so that it belongs to exactly these bytes
    std::string bytes;
};

// Reads a whole file. A missing file gives a snapshot with `exists` false; nullopt when the file exists
// but cannot be read or is not a regular file. Opens without blocking and checks the type before
// reading, so a FIFO or a device in the file's place never hangs the reader.
std::optional<FileSnapshot> readFileSnapshot(const std::filesystem::path& path);

// Looks `key` of `section` up in the file at `path` as a read of the whole file would, reading it
// `blockSize` bytes at a time and keeping no more than a block and the line in hand: for a process that
// reads one value and ends, whatever the file's size. The inner optional is the value (nullopt: no
// such key). The outer nullopt means the file must be read whole instead: it cannot be opened, is no
// regular file, or is UTF-16.
std::optional<std::optional<std::string>> findProfileValueInFile(const std::filesystem::path& path,
                                                                 std::string_view section,
                                                                 std::string_view key,
                                                                 std::size_t blockSize = 64 * 1024);

// The outcome of a write: on failure, the errno.
struct FileWrite {
    bool ok = false;
    int error = 0;
};

// Overwrites the existing regular file `target` with `bytes` on its own inode and syncs it: for a
// writable file in a directory where no temporary file can be created. The space for `bytes` is
// reserved before the first byte is written, so that a full file system (ENOSPC) or a file-size limit
// (EFBIG) fails the write with the file as it was. Not atomic: a crash during the write can leave a
// mix, which is why it is only the fallback.
FileWrite rewriteFileInPlace(const std::filesystem::path& target, std::string_view bytes);

}  // namespace qx
