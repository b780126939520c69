#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "FileSearch.h"

namespace qx {

std::vector<FoundFile> findFiles(const std::filesystem::path& directory, std::string_view pattern) {
    std::vector<FoundFile> found;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir)
        return found;
    int dirFd = ::dirfd(dir.get());
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !matchesWildcard(name, pattern))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        FoundFile file;
        file.name = std::string(name);
        file.isSymlink = S_ISLNK(st.st_mode);
        file.isDirectory = S_ISDIR(st.st_mode);
        file.isReadOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        file.lastWrite = fromUnixTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        found.push_back(std::move(file));
    }
    return found;
}

}  // namespace qx
