#pragma once

#include <filesystem>
#include <string>

#include "PathMap.h"

namespace qx {

// How the installation writes a native path that a picker returned: below a mapped drive "X:\dir",
// below the root "\dir" (the root itself "\"); anything else stays the native path.
std::string installationPath(const PathMap& paths, const std::filesystem::path& native);

// Whether the path typed or stored for a rule (an installation path, or a native absolute one)
// names `directory`, ignoring letter case.
bool namesDirectory(const PathMap& paths, const std::string& path, const std::filesystem::path& directory);

}  // namespace qx
