#include "FileHandle.h"

#include <fcntl.h>
#include <unistd.h>

namespace qx {

bool closeDescriptor(int fd) {
    return ::close(fd) == 0;
}

int openRetrying(const char* path, int flags, unsigned mode) {
    int fd;
    do
        fd = ::open(path, flags | O_CLOEXEC, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeWhole(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace qx
