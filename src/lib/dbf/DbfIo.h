#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace qx::dbf::io {

// Reads up to `size` bytes at `offset`, going on after interruptions and short reads. Returns the
// bytes read (fewer at the end of the file), or -1 on an error.
inline ssize_t readAt(int fd, void* into, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd, static_cast<char*>(into) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return ssize_t(done);
}

// Writes all `size` bytes at `offset`; false when that is not possible.
inline bool writeAt(int fd, const void* from, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(fd, static_cast<const char*>(from) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

inline void storeLe32(unsigned char* to, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        to[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline std::uint32_t loadLe32(const unsigned char* from) {
    return std::uint32_t(from[0]) | (std::uint32_t(from[1]) << 8) | (std::uint32_t(from[2]) << 16) |
           (std::uint32_t(from[3]) << 24);
}

}  // namespace qx::dbf::io
