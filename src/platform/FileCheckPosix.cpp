#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileCheck.h"
#include "FileHandle.h"

namespace qx {

std::optional<std::string> whyUnreadable(const std::filesystem::path& file, std::error_code& error) {
    error.clear();
    FileHandle fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        error = lastError();
        return error.message();
    }
    struct stat status {};
    char byte;
    if (::fstat(fd.get(), &status) != 0) {
        error = lastError();
        return error.message();
    }
    if (!S_ISREG(status.st_mode))
        return "not a regular file";
    if (::read(fd.get(), &byte, 1) < 0) {
        error = lastError();
        return error.message();
    }
    return std::nullopt;
}

bool mayWrite(const std::filesystem::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::optional<FileStart> readFileStart(const std::filesystem::path& file, std::size_t count) {
    FileHandle fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid())
        return std::nullopt;
    FileStart start;
    start.bytes.resize(count);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        ::pread(fd.get(), start.bytes.data(), count, 0) != static_cast<ssize_t>(count))
        return std::nullopt;
    start.size = static_cast<std::uint64_t>(status.st_size);
    return start;
}

}  // namespace qx
