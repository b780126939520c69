#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "DirectoryHandle.h"
#include "DirectoryStreamPosix.h"
#include "FileHandle.h"

namespace fs = std::filesystem;

namespace qx {

std::vector<DirectoryEntry> readDirectory(int directory) {
    std::vector<DirectoryEntry> entries;
    FileHandle own(::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own.valid())
        return entries;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(own.get()), ::closedir);
    if (!dir)
        return entries;
    own.release();  // the stream owns it now
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

void DirectoryHandle::open() {
    const fs::path open = m_path.empty() ? fs::path(".") : m_path;
    // O_NOFOLLOW refuses a directory that is itself a link.
    const int fd = ::open(open.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        m_native = fd;
        m_error.clear();
        return;
    }
    m_error = lastError();
    struct stat st {};
    m_isLink = (errno == ELOOP || errno == ENOTDIR) && ::lstat(open.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

void DirectoryHandle::close() {
    if (m_native >= 0)
        closeDescriptor(static_cast<int>(m_native));
    m_native = -1;
}

std::vector<DirectoryEntry> DirectoryHandle::list() const {
    return isOpen() ? readDirectory(static_cast<int>(m_native)) : std::vector<DirectoryEntry>{};
}

std::optional<EntryStatus> DirectoryHandle::status(std::string_view name, std::error_code* error) const {
    struct stat st {};
    if (!isOpen() || !isEntryName(name)) {
        if (error)
            *error = isOpen() ? std::make_error_code(std::errc::invalid_argument) : m_error;
        return std::nullopt;
    }
    if (::fstatat(static_cast<int>(m_native), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (error)
            *error = lastError();
        return std::nullopt;
    }
    EntryStatus status;
    status.isSymlink = S_ISLNK(st.st_mode);
    status.isDirectory = S_ISDIR(st.st_mode);
    status.isReadOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    status.size = st.st_size;
    status.lastWrite = fromUnixTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    status.changed = fromUnixTime(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    if (error)
        error->clear();
    return status;
}

std::error_code DirectoryHandle::removeEntry(std::string_view name) {
    // Without AT_REMOVEDIR a directory is never removed, and a link is removed as itself.
    if (::unlinkat(static_cast<int>(m_native), std::string(name).c_str(), 0) != 0)
        return lastError();
    return {};
}

std::error_code DirectoryHandle::writeNewFile(std::string_view name, std::string_view content) {
    FileHandle out(::openat(static_cast<int>(m_native), std::string(name).c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out.valid())
        return lastError();
    std::error_code ec = writeAll(out.get(), content);
    const std::error_code closed = out.close();
    return ec ? ec : closed;
}

std::error_code DirectoryHandle::writeReplacement(std::string_view name, std::string_view content) {
    const int directory = static_cast<int>(m_native);
    const std::string file(name);
    const std::string temp = file + ".new";
    FileHandle out(
        ::openat(directory, temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out.valid())
        return lastError();
    std::error_code ec = writeAll(out.get(), content);
    if (!ec && ::fsync(out.get()) != 0)
        ec = lastError();
    if (const std::error_code closed = out.close(); closed && !ec)
        ec = closed;
    if (!ec && ::renameat(directory, temp.c_str(), directory, file.c_str()) != 0)
        ec = lastError();
    if (ec) {
        ::unlinkat(directory, temp.c_str(), 0);
        return ec;
    }
    if (::fsync(directory) != 0)
        return lastError();
    return {};
}

}  // namespace qx
