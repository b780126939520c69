#include "FileOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

namespace fs = std::filesystem;

namespace qx {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Closes on every path out; the close of a copy's target is checked separately.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
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
    // it cannot, and for whatever a writer appended while we copied.
    off_t done = 0;
    while (done < size) {
        ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<std::size_t>(size - done), 0);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n == 0)
            break;
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

// A name beside the target that no other writer uses; it never matches a statistic pattern, and it is
// always removed again.
std::string temporaryName(std::string_view name) {
    static std::atomic<unsigned> counter{0};
    return "." + std::string(name) + ".qxcopy-" + std::to_string(::getpid()) + "-" +
           std::to_string(++counter);
}

// Creates a fresh temporary file beside `name` in `directory`; its name goes to `temp`.
int createTemporary(int directory, std::string_view name, std::string& temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = temporaryName(name);
        int fd = ::openat(directory, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

std::error_code copySymlink(int fromDir, const std::string& name, int toDir) {
    std::string target(4096, '\0');
    ssize_t n = ::readlinkat(fromDir, name.c_str(), target.data(), target.size());
    if (n < 0)
        return lastError();
    target.resize(static_cast<std::size_t>(n));
    std::string temp = temporaryName(name);
    if (::symlinkat(target.c_str(), toDir, temp.c_str()) != 0)
        return lastError();
    if (::renameat(toDir, temp.c_str(), toDir, name.c_str()) != 0) {
        std::error_code ec = lastError();
        ::unlinkat(toDir, temp.c_str(), 0);
        return ec;
    }
    return {};
}

// The copy of a move across file systems and of a file that stays: every byte, the permission bits
// and the last-write time reach the disk in a temporary file, which then replaces the target.
std::error_code copyAt(int fromDir, const std::string& name, int toDir) {
    struct stat st {};
    if (::fstatat(fromDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    if (S_ISLNK(st.st_mode))
        return copySymlink(fromDir, name, toDir);
    if (!S_ISREG(st.st_mode))
        return std::make_error_code(std::errc::invalid_argument);
    FileDescriptor in(::openat(fromDir, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in.valid())
        return lastError();
    std::string temp;
    FileDescriptor out(createTemporary(toDir, name, temp));
    if (!out.valid())
        return lastError();
    std::error_code ec = copyBytes(in.get(), out.get(), st.st_size);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (!ec && ::fchmod(out.get(), st.st_mode & 07777) != 0)
        ec = lastError();
    // The time last, after every write; fsync so that a source is never deleted before its copy is
    // safely on the other file system.
    if (!ec && (::futimens(out.get(), times) != 0 || ::fsync(out.get()) != 0))
        ec = lastError();
    if (::close(out.release()) != 0 && !ec)
        ec = lastError();
    if (!ec && ::renameat(toDir, temp.c_str(), toDir, name.c_str()) != 0)
        ec = lastError();
    if (ec)
        ::unlinkat(toDir, temp.c_str(), 0);
    return ec;
}

class PosixTransfer : public FileTransfer {
public:
    PosixTransfer(const fs::path& from, const fs::path& to)
        : m_from(::open(from.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)),
          m_fromError(m_from.valid() ? std::error_code() : lastError()),
          m_to(::open(to.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)),
          m_toError(m_to.valid() ? std::error_code() : lastError()) {}

    std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override {
        if ((error = m_fromError))
            return std::nullopt;
        struct stat st {};
        if (::fstatat(m_from.get(), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            error = lastError();
            return std::nullopt;
        }
        error.clear();
        return SysTime(std::chrono::duration_cast<SysTime::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    }

    std::error_code move(std::string_view name) override {
        if (std::error_code ec = opened())
            return ec;
        std::string file(name);
        if (::renameat(m_from.get(), file.c_str(), m_to.get(), file.c_str()) == 0)
            return {};
        if (errno != EXDEV)
            return lastError();
        if (std::error_code ec = copyAt(m_from.get(), file, m_to.get()))
            return ec;
        if (::unlinkat(m_from.get(), file.c_str(), 0) != 0)
            return lastError();
        return {};
    }

    std::error_code copy(std::string_view name) override {
        if (std::error_code ec = opened())
            return ec;
        return copyAt(m_from.get(), std::string(name), m_to.get());
    }

private:
    std::error_code opened() const { return m_fromError ? m_fromError : m_toError; }

    FileDescriptor m_from;
    std::error_code m_fromError;
    FileDescriptor m_to;
    std::error_code m_toError;
};

}  // namespace

std::vector<DirectoryEntry> FileOperations::list(const fs::path& directory) {
    std::vector<DirectoryEntry> entries;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        // Only file systems that do not report the type cost a stat.
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDirectory = ::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISDIR(st.st_mode);
        }
        entries.push_back({std::string(name), isDirectory});
    }
    return entries;
}

std::unique_ptr<FileTransfer> PosixFileOperations::transfer(const fs::path& from, const fs::path& to) {
    return std::make_unique<PosixTransfer>(from, to);
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
