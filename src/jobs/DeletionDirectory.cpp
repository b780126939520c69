#include "DeletionDirectory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace qx {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// The directory as the kernel sees it, or empty when it cannot be resolved (it does not exist).
fs::path resolved(const fs::path& directory) {
    std::error_code ec;
    fs::path path = fs::canonical(directory.empty() ? fs::path(".") : directory, ec);
    return ec ? fs::path() : path;
}

SysTime timeOf(const struct stat& st) {
    return SysTime(std::chrono::duration_cast<SysTime::duration>(
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
}

}  // namespace

DirectoryRefusal refusalOf(const fs::path& directory, const PathMap& paths) {
    const fs::path target = resolved(directory);
    if (target.empty())
        return DirectoryRefusal::None;
    if (target == target.root_path())
        return DirectoryRefusal::FileSystemRoot;
    if (target == resolved(paths.root()))
        return DirectoryRefusal::InstallationRoot;
    if (target == resolved(paths.windir()))
        return DirectoryRefusal::ProfileDirectory;
    if (target == resolved(fs::current_path()))
        return DirectoryRefusal::WorkingDirectory;
    return DirectoryRefusal::None;
}

const char* describe(DirectoryRefusal refusal) {
    switch (refusal) {
        case DirectoryRefusal::FileSystemRoot:
            return "the file-system root";
        case DirectoryRefusal::InstallationRoot:
            return "the installation root";
        case DirectoryRefusal::ProfileDirectory:
            return "the profile directory";
        case DirectoryRefusal::WorkingDirectory:
            return "the working directory";
        case DirectoryRefusal::None:
            break;
    }
    return "";
}

DeletionDirectory::DeletionDirectory(fs::path directory) : m_path(std::move(directory)) {
    const fs::path open = m_path.empty() ? fs::path(".") : m_path;
    // O_NOFOLLOW refuses a directory that is itself a link; the components above it are the
    // administrator's layout and are taken as they are.
    m_fd = ::open(open.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0)
        m_error = lastError();
}

DeletionDirectory::~DeletionDirectory() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::vector<FoundFile> DeletionDirectory::find(std::string_view pattern, std::stop_token stop) {
    std::vector<FoundFile> found;
    if (m_fd < 0)
        return found;
    if (!m_read) {
        m_read = true;
        // The names are read through a second handle of the same directory, so that the scan
        // position never belongs to the handle the removals go through.
        int scan = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = scan >= 0 ? ::fdopendir(scan) : nullptr;
        if (!dir) {
            if (scan >= 0)
                ::close(scan);
            return found;
        }
        while (const dirent* entry = ::readdir(dir)) {
            std::string_view name = entry->d_name;
            if (name != "." && name != "..")
                m_names.push_back({std::string(name), entry->d_type});
        }
        ::closedir(dir);
    }
    for (const Name& entry : m_names) {
        if (!matchesWildcard(entry.name, pattern))
            continue;
        // Each look costs a stat, which on a busy disk adds up to seconds for a large directory.
        if (stop.stop_requested())
            break;
        struct stat st {};
        if (::fstatat(m_fd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        FoundFile file;
        file.name = entry.name;
        file.isSymlink = S_ISLNK(st.st_mode);
        file.isDirectory = S_ISDIR(st.st_mode);
        file.isReadOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        file.lastWrite = timeOf(st);
        found.push_back(std::move(file));
    }
    return found;
}

bool DeletionDirectory::holds(std::string_view name) const {
    struct stat st {};
    return m_fd >= 0 && ::fstatat(m_fd, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::error_code Deleter::remove(const DeletionDirectory& directory, std::string_view name) {
    if (name.find('/') != std::string_view::npos || name.empty() || name == "." || name == "..")
        return std::make_error_code(std::errc::invalid_argument);
    if (!directory.isOpen())
        return directory.error() ? directory.error() : std::make_error_code(std::errc::bad_file_descriptor);
    // Without AT_REMOVEDIR a directory is never removed, and a link is removed as itself.
    if (::unlinkat(directory.handle(), std::string(name).c_str(), 0) != 0)
        return lastError();
    return {};
}

std::error_code DryRunDeleter::remove(const DeletionDirectory& directory, std::string_view name) {
    m_out << "delete " << (directory.path() / name).string() << '\n';
    return {};
}

std::unique_ptr<DeletionDirectory> openForDeletion(const Services& services, std::string_view directory,
                                                   HousekeepingResult& result) {
    const fs::path native = services.paths.native(directory);
    auto refuse = [&](const std::string& why) {
        const std::string line = "Refused to delete files in " + std::string(directory) + ": " + why;
        services.log.note(line);
        result.stepRefused(line);
        return nullptr;
    };
    const DirectoryRefusal refusal = refusalOf(native, services.paths);
    if (refusal != DirectoryRefusal::None)
        return refuse(std::string("it is ") + describe(refusal));
    auto opened = std::make_unique<DeletionDirectory>(native);
    if (opened->isOpen())
        return opened;
    const std::error_code error = opened->error();
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(native, ec)))
        return refuse("it is a symbolic link, which is never followed");
    if (error == std::errc::no_such_file_or_directory)
        return nullptr;
    const std::string line = "Cannot read directory " + std::string(directory) + ": " + error.message();
    services.log.note(line);
    result.stepRefused(line);
    return nullptr;
}

void deleteCounted(const Services& services, Deleter& deleter, DeletionDirectory& directory,
                   const std::string& name, std::string_view failure, std::string_view shown,
                   HousekeepingResult& result) {
    const std::error_code ec = deleter.remove(directory, name);
    if (!ec) {
        ++result.done;
        return;
    }
    if (ec == std::errc::no_such_file_or_directory)  // gone meanwhile: nothing to do
        return;
    const std::string line = std::string(failure) + std::string(shown) + ": " + ec.message();
    if (result.failedFiles == 0)
        services.log.note(line);
    result.fileFailed(line);
}

}  // namespace qx
