#include "InstallationPath.h"

#include "ListEntries.h"

#include <algorithm>
#include <optional>

namespace fs = std::filesystem;

namespace qx {

namespace {

// `path` below `base`, as the parts after it; nullopt when it does not lie below it.
std::optional<std::string> below(const fs::path& base, const fs::path& path) {
    std::error_code ec;
    fs::path b = fs::weakly_canonical(base, ec).lexically_normal();
    fs::path p = fs::weakly_canonical(path, ec).lexically_normal();
    auto [end, rest] = std::mismatch(b.begin(), b.end(), p.begin(), p.end());
    if (end != b.end() && !(std::next(end) == b.end() && end->empty()))
        return std::nullopt;
    std::string out;
    for (auto it = rest; it != p.end(); ++it)
        if (!it->empty())
            out += "\\" + it->string();
    return out;
}

}  // namespace

std::string installationPath(const PathMap& paths, const fs::path& native) {
    for (char letter = 'D'; letter <= 'Z'; ++letter)
        if (auto dir = paths.drive(letter))
            if (auto rest = below(*dir, native))
                return std::string(1, letter) + ":" + (rest->empty() ? "\\" : *rest);
    if (auto rest = below(paths.root(), native))
        return rest->empty() ? "\\" : *rest;
    return native.string();
}

bool namesDirectory(const PathMap& paths, const std::string& path, const fs::path& directory) {
    if (namesWorkingDirectory(paths.native(path), directory))
        return true;
    fs::path literal(path);
    return literal.is_absolute() && namesWorkingDirectory(literal, directory);
}

}  // namespace qx
