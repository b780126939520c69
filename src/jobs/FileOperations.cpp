#include "FileOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
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

// The process id of a partial copy's name ".NAME.qxcopy-PID-N"; 0 when the name is none.
pid_t partialCopyOwner(std::string_view name) {
    constexpr std::string_view marker = ".qxcopy-";
    std::size_t at = name.rfind(marker);
    if (name.size() < 2 || name[0] != '.' || at == std::string_view::npos || at == 0)
        return 0;
    std::string_view tail = name.substr(at + marker.size());
    std::size_t dash = tail.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == tail.size())
        return 0;
    for (char c : tail.substr(dash + 1))
        if (c < '0' || c > '9')
            return 0;
    pid_t pid = 0;
    auto [end, ec] = std::from_chars(tail.data(), tail.data() + dash, pid);
    if (ec != std::errc() || end != tail.data() + dash || pid <= 0)
        return 0;
    return pid;
}

}  // namespace

std::unique_ptr<DirectoryCleaner> openCleaner(int directory, const char* name) {
    return std::make_unique<PosixCleaner>(directory, name);
}

std::vector<std::string> deadPartialCopies(const std::vector<DirectoryEntry>& entries) {
    std::vector<std::string> dead;
    for (const DirectoryEntry& entry : entries) {
        pid_t owner = partialCopyOwner(entry.name);
        // Our own copies may be in the making on another thread; another process's only while it runs.
        if (entry.isDirectory || owner == 0 || owner == ::getpid())
            continue;
        if (::kill(owner, 0) != 0 && errno == ESRCH)
            dead.push_back(entry.name);
    }
    return dead;
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
