#include "FileOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace qx {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Closes on every path out; the close of the copy's target is checked separately.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

std::error_code copyBytes(int in, int out, off_t size) {
    // copy_file_range lets the kernel (or the file system) do the work; plain reads and writes where
    // it cannot.
    off_t done = 0;
    while (done < size) {
        ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<std::size_t>(size - done), 0);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n == 0)
            break;  // the file shrank while we copied; the rest is read below
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return lastError();
        break;
    }
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return lastError();
        if (n == 0)
            return {};
        for (ssize_t written = 0; written < n;) {
            ssize_t w = ::write(out, buffer + written, static_cast<std::size_t>(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return lastError();
            written += w;
        }
    }
}

// A name beside `to` that no other writer uses; the dot keeps it out of the statistic patterns' way
// only as far as a name can, so it is always removed again.
std::string temporaryName(const fs::path& to) {
    return (to.parent_path() / ("." + to.filename().string() + ".qxcopy-XXXXXX")).string();
}

std::error_code copySymlink(const fs::path& from, const fs::path& to) {
    std::string target(4096, '\0');
    ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
    if (n < 0)
        return lastError();
    target.resize(static_cast<std::size_t>(n));
    std::string temp = temporaryName(to);
    // mkstemp reserves the name; the link takes its place.
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return lastError();
    ::close(fd);
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), to.c_str()) != 0) {
        std::error_code ec = lastError();
        ::unlink(temp.c_str());
        return ec;
    }
    return {};
}

}  // namespace

std::vector<FoundFile> FileOperations::list(const fs::path& directory) {
    return findFiles(directory, "*");
}

std::error_code copyKeepingTime(const fs::path& from, const fs::path& to) {
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0)
        return lastError();
    if (S_ISLNK(st.st_mode))
        return copySymlink(from, to);
    if (!S_ISREG(st.st_mode))
        return std::make_error_code(std::errc::invalid_argument);
    FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in.valid())
        return lastError();
    std::string temp = temporaryName(to);
    FileDescriptor out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out.valid())
        return lastError();
    std::error_code ec = copyBytes(in.get(), out.get(), st.st_size);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (!ec && ::fchmod(out.get(), st.st_mode & 07777) != 0)
        ec = lastError();
    // The time last, after every write; fsync so that the source is never deleted before the copy is
    // safely on the other file system.
    if (!ec && (::futimens(out.get(), times) != 0 || ::fsync(out.get()) != 0))
        ec = lastError();
    if (::close(out.release()) != 0 && !ec)
        ec = lastError();
    if (!ec && ::rename(temp.c_str(), to.c_str()) != 0)
        ec = lastError();
    if (ec)
        ::unlink(temp.c_str());
    return ec;
}

std::error_code PosixFileOperations::createDirectory(const fs::path& directory) {
    std::error_code ec;
    fs::create_directories(directory, ec);
    if (ec)
        return ec;
    if (!fs::is_directory(directory, ec))
        return ec ? ec : std::make_error_code(std::errc::not_a_directory);
    return {};
}

std::error_code PosixFileOperations::remove(const fs::path& file) {
    if (::unlink(file.c_str()) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileOperations::move(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return {};
    if (errno != EXDEV)
        return lastError();
    if (std::error_code ec = copyKeepingTime(from, to))
        return ec;
    if (::unlink(from.c_str()) != 0)
        return lastError();
    return {};
}

std::error_code PosixFileOperations::copy(const fs::path& from, const fs::path& to) {
    return copyKeepingTime(from, to);
}

std::error_code PosixFileOperations::createFile(const fs::path& file, std::string_view content) {
    FileDescriptor out(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!out.valid())
        return lastError();
    for (std::size_t written = 0; written < content.size();) {
        ssize_t w = ::write(out.get(), content.data() + written, content.size() - written);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return lastError();
        written += static_cast<std::size_t>(w);
    }
    if (::close(out.release()) != 0)
        return lastError();
    return {};
}

}  // namespace qx
