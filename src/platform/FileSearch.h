#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Clock.h"

namespace qx {

// One entry of a directory search, as the Windows find-first/next functions report it.
struct FoundFile {
    std::string name;
    bool isDirectory = false;
    bool isReadOnly = false;
    bool isSymlink = false;  // reported as what it is; never followed by a deleting job
    SysTime lastWrite;
};

// Windows wildcard matching, ignoring letter case: `*` any run, `?` one character; "*.*" matches every
// name (also names without a dot), and a pattern ending in ".*" also matches the name without its
// extension.
bool matchesWildcard(std::string_view name, std::string_view pattern);

// The steps matchesWildcard(name, pattern) takes: its cost, which grows linearly with the name for a
// given pattern (names come from directories that others fill).
std::size_t wildcardSteps(std::string_view name, std::string_view pattern);

// Every entry of `directory` whose name matches `pattern`, without "." and "..". The directory is read
// once; a missing or unreadable directory gives an empty list. On Windows names are given in the
// installation's code page (see WideText.h) and a name it cannot spell is left out; junctions and
// symbolic links alike count as links.
std::vector<FoundFile> findFiles(const std::filesystem::path& directory, std::string_view pattern);

}  // namespace qx
