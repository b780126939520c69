#include "FileOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <utility>

#include "FileDescriptor.h"
#include "PosixTransfer.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

// Reads the entries of an open directory through a descriptor of its own, so that `directory` stays
// usable for the calls relative to it.
std::vector<DirectoryEntry> readEntries(int directory) {
    std::vector<DirectoryEntry> entries;
    int own = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return entries;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(own), ::closedir);
    if (!dir) {
        ::close(own);
        return entries;
    }
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

class PosixCleaner : public DirectoryCleaner {
public:
    PosixCleaner(int directory, const char* name)
        : m_directory(::openat(directory, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
          m_error(m_directory.valid() ? std::error_code() : lastError()) {}

    std::error_code openError() const override { return m_error; }

    std::vector<DirectoryEntry> list() override {
        return m_directory.valid() ? readEntries(m_directory.get()) : std::vector<DirectoryEntry>{};
    }

    std::optional<SysTime> lastWrite(std::string_view name) override {
        struct stat st {};
        if (!m_directory.valid() ||
            ::fstatat(m_directory.get(), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
        return fromUnixTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    }

    std::optional<SysTime> changed(std::string_view name) override {
        struct stat st {};
        if (!m_directory.valid() ||
            ::fstatat(m_directory.get(), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
        return fromUnixTime(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    }

    std::error_code remove(std::string_view name) override {
        if (m_error)
            return m_error;
        if (::unlinkat(m_directory.get(), std::string(name).c_str(), 0) != 0)
            return lastError();
        return {};
    }

private:
    FileDescriptor m_directory;
    std::error_code m_error;
};

// Whether `name` is a partial copy's name ".NAME.qxcopy-PID-N" (see PosixTransfer).
bool partialCopyName(std::string_view name) {
    constexpr std::string_view marker = ".qxcopy-";
    std::size_t at = name.rfind(marker);
    if (name.size() < 2 || name[0] != '.' || at == std::string_view::npos || at == 0)
        return false;
    std::string_view tail = name.substr(at + marker.size());
    std::size_t dash = tail.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == tail.size())
        return false;
    for (char c : tail)
        if ((c < '0' || c > '9') && c != '-')
            return false;
    return true;
}

// A symbolic link in the making lives for two calls; one older than this was left by a killed process.
constexpr std::chrono::minutes kAbandonedLinkAge{10};

// Opens the partial copy `name` of `directory` and takes its lock when no writer holds it: then it is
// a leftover (the lock of a writer goes with the writer's process). An invalid descriptor when a writer
// holds it, or it is no leftover. A symbolic link (which cannot be locked) is a leftover once it is old.
FileDescriptor lockAbandoned(int directory, const std::string& name, bool& isLink) {
    isLink = false;
    struct stat st {};
    if (::fstatat(directory, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return FileDescriptor();
    if (S_ISLNK(st.st_mode)) {
        const auto age = std::chrono::seconds(::time(nullptr) - st.st_ctim.tv_sec);
        isLink = age > kAbandonedLinkAge;
        return FileDescriptor();
    }
    if (!S_ISREG(st.st_mode))
        return FileDescriptor();
    FileDescriptor fd(::openat(directory, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.valid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return FileDescriptor();
    return fd;
}

}  // namespace

std::unique_ptr<DirectoryCleaner> openCleaner(int directory, const char* name) {
    return std::make_unique<PosixCleaner>(directory, name);
}

std::vector<std::string> abandonedPartialCopies(const fs::path& directory) {
    std::vector<std::string> abandoned;
    FileDescriptor open(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!open.valid())
        return abandoned;
    for (const DirectoryEntry& entry : readEntries(open.get())) {
        if (entry.isDirectory || !partialCopyName(entry.name))
            continue;
        bool isLink = false;
        if (lockAbandoned(open.get(), entry.name, isLink).valid() || isLink)
            abandoned.push_back(entry.name);
    }
    std::sort(abandoned.begin(), abandoned.end());
    return abandoned;
}

std::vector<std::string> clearAbandonedCopies(int directory) {
    std::vector<std::string> cleared;
    for (const DirectoryEntry& entry : readEntries(directory)) {
        if (entry.isDirectory || !partialCopyName(entry.name))
            continue;
        bool isLink = false;
        // Deleted while its lock is held, so that no writer can take it up in between.
        FileDescriptor held = lockAbandoned(directory, entry.name, isLink);
        if ((held.valid() || isLink) && ::unlinkat(directory, entry.name.c_str(), 0) == 0)
            cleared.push_back(entry.name);
    }
    std::sort(cleared.begin(), cleared.end());
    return cleared;
}

std::vector<DirectoryEntry> FileOperations::list(const fs::path& directory) {
    FileDescriptor open(::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return open.valid() ? readEntries(open.get()) : std::vector<DirectoryEntry>{};
}

std::unique_ptr<DirectoryCleaner> FileOperations::openForDeletion(const fs::path& directory) {
    return openCleaner(AT_FDCWD, directory.c_str());
}

std::unique_ptr<FileTransfer> PosixFileOperations::transfer(const fs::path& from, const fs::path& to) {
    return std::make_unique<PosixTransfer>(from, to, m_hook, m_batchFiles);
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
    fs::path parent = file.parent_path();
    PosixCleaner directory(AT_FDCWD, parent.empty() ? "." : parent.c_str());
    return directory.remove(file.filename().string());
}

namespace {

std::error_code writeAll(int out, std::string_view content) {
    for (std::size_t written = 0; written < content.size();) {
        ssize_t w = ::write(out, content.data() + written, content.size() - written);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return lastError();
        written += static_cast<std::size_t>(w);
    }
    return {};
}

}  // namespace

std::error_code PosixFileOperations::replaceFile(const fs::path& file, std::string_view content) {
    const fs::path parent = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    // Never through a directory that is a link: the record belongs to the directory itself.
    FileDescriptor directory(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directory.valid())
        return lastError();
    const std::string name = file.filename().string();
    const std::string temp = name + ".new";
    FileDescriptor out(
        ::openat(directory.get(), temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out.valid())
        return lastError();
    std::error_code ec = writeAll(out.get(), content);
    if (!ec && ::fsync(out.get()) != 0)
        ec = lastError();
    if (::close(out.release()) != 0 && !ec)
        ec = lastError();
    if (!ec && ::renameat(directory.get(), temp.c_str(), directory.get(), name.c_str()) != 0)
        ec = lastError();
    if (ec) {
        ::unlinkat(directory.get(), temp.c_str(), 0);
        return ec;
    }
    if (::fsync(directory.get()) != 0)
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
