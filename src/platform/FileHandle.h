#pragma once

#include <cerrno>
#include <string_view>
#include <system_error>
#include <utility>

namespace qx {

// The error of the last failed system call.
inline std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Closes a descriptor; false (errno set) when the close reported an error.
bool closeDescriptor(int fd);

// Opens `path` close-on-exec, again when a signal interrupted the open; -1 (errno set) on failure.
int openRetrying(const char* path, int flags, unsigned mode = 0);

// Writes all of `bytes`, going on after short writes and interruptions; false (errno set, ENOSPC when
// the system took nothing) on failure.
bool writeWhole(int fd, std::string_view bytes);

// Owns one file descriptor and closes it on every path out. A close whose failure matters (the target
// of a copy, a file written whole) goes through close(), which reports it.
class FileHandle {
public:
    explicit FileHandle(int fd = -1) : m_fd(fd) {}
    ~FileHandle() {
        if (m_fd >= 0)
            closeDescriptor(m_fd);
    }
    FileHandle(FileHandle&& other) noexcept : m_fd(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            if (m_fd >= 0)
                closeDescriptor(m_fd);
            m_fd = other.release();
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

    // Closes now and says why the close failed; empty when it succeeded or nothing was open.
    std::error_code close() {
        if (m_fd < 0)
            return {};
        return closeDescriptor(release()) ? std::error_code() : lastError();
    }

private:
    int m_fd;
};

}  // namespace qx
