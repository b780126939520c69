#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "AsciiText.h"

namespace qx {

// Turns the installation's Windows-style paths (from profile values and formats) into native paths.
//
//  - `\` becomes `/`; a path that begins with `\` (or `/`) lies below the installation root, the
//    "current drive"; `X:` lies below the directory mapped to drive X (C: is the root);
//  - a trailing dot of a component is dropped and `.` components vanish, so the joints
//    "dir.\name" and "dir\.\name" both name dir/name;
//  - a path that does not exist as written is resolved component by component ignoring letter case;
//  - `..` never climbs above the root of its drive (`\..\x` is `\x`, `D:\..\x` is `D:\x`);
//  - relative paths stay relative: they are taken from the working directory, and their `..` stops at
//    the root of the drive that holds the working directory (the root or a mapped drive), or at the
//    working directory itself where it lies below no drive, so that no relative setting reaches out of
//    the installation.
class PathMap {
public:
    PathMap() = default;
    // `workdir` is the working directory that relative paths are taken from; empty: the current one.
    PathMap(std::filesystem::path root, std::filesystem::path windir,
            std::map<char, std::filesystem::path> drives = {}, std::filesystem::path workdir = {});

    std::filesystem::path native(std::string_view windowsPath) const;

    // The inverse of native(), for texts that the administrator reads beside the installation's own
    // (the activity log): a path below a mapped drive as "X:\dir\file" (the deepest drive that holds
    // it), one below the root as "\dir\file", the root itself as "\"; a relative path with
    // backslashes, still relative. The spelling is the file system's, so a text built from a profile
    // value should keep that value rather than go through here. A path outside the root and every
    // drive has no such form and is given as it is.
    std::string configured(const std::filesystem::path& nativePath) const;

    // A profile file: a bare name lies in the profile (Windows) directory; anything else is mapped.
    std::filesystem::path profileFile(std::string_view name) const;

    // The directory of drive `letter` (any case); nullopt when the drive is not mapped.
    std::optional<std::filesystem::path> drive(char letter) const;

    const std::filesystem::path& root() const { return m_root; }
    const std::filesystem::path& windir() const { return m_windir; }

private:
    std::filesystem::path m_root = "/";
    std::filesystem::path m_windir = "/windows";
    std::map<char, std::filesystem::path> m_drives;  // upper-case letters
    std::filesystem::path m_workdir;  // Windows: the working directory given, empty for the current one
    std::size_t m_workdirDepth = 0;   // how many `..` a relative path may climb from the working directory
};

// `name` in the installation directory `directory` as written in a profile value, joined the way
// the installation joins them ("%s.\%s"), valid whether or not the directory ends in a backslash.
std::string configuredJoin(std::string_view directory, std::string_view name);

// The system's Windows directory (usually C:\Windows) where the system has one; empty elsewhere.
std::filesystem::path systemWindowsDirectory();

// Resolves `path` against the file system ignoring letter case where the exact spelling does not
// exist. Components that match nothing are kept as written. Never fails.
std::filesystem::path resolveCaseInsensitive(const std::filesystem::path& path);

}  // namespace qx
