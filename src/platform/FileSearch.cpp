#include "FileSearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace qx {

namespace {

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool match(std::string_view name, std::string_view pattern, std::size_t* steps = nullptr) {
    // Iterative wildcard match with single backtracking point: linear for the patterns in use.
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (steps)
            ++*steps;
        if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace

bool matchesWildcard(std::string_view name, std::string_view pattern) {
    if (pattern == "*.*" || pattern == "*")
        return true;
    if (match(name, pattern))
        return true;
    // "name.*" also finds "name", as the Windows search does.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return match(name, pattern.substr(0, pattern.size() - 2));
    return false;
}

std::size_t wildcardSteps(std::string_view name, std::string_view pattern) {
    std::size_t steps = 0;
    match(name, pattern, &steps);
    return steps;
}

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
