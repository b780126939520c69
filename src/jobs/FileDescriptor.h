#pragma once

#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace qx {

// The error of the last failed system call.
inline std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Owns one file descriptor and closes it on every path out. A close whose failure matters (the
// target of a copy) is done by hand through release().
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = other.release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

}  // namespace qx
