#include <fcntl.h>
#include <sys/stat.h>

#include "DirectoryStreamPosix.h"
#include "FileHandle.h"
#include "FileSearch.h"

namespace qx {

std::vector<FoundFile> findFiles(const std::filesystem::path& directory, std::string_view pattern) {
    std::vector<FoundFile> found;
    const FileHandle dir(openRetrying(directory.c_str(), O_RDONLY | O_DIRECTORY));
    if (!dir.valid())
        return found;
    for (const DirectoryEntry& entry : readDirectory(dir.get())) {
        if (!matchesWildcard(entry.name, pattern))
            continue;
        struct stat st {};
        if (::fstatat(dir.get(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        FoundFile file;
        file.name = entry.name;
        file.isSymlink = S_ISLNK(st.st_mode);
        file.isDirectory = S_ISDIR(st.st_mode);
        file.isReadOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        file.lastWrite = fromUnixTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        found.push_back(std::move(file));
    }
    return found;
}

}  // namespace qx
