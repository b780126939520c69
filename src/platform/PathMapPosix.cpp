#include "PathMap.h"

#include <system_error>
#include <vector>

#include "Profile.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

// The path as the kernel walks it: `..` of a relative path climbs the physical parent.
fs::path physical(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec)
        return path.lexically_normal();
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    return (ec ? absolute : canonical).lexically_normal();
}

// How many components `inner` lies below `outer`; nullopt when it does not lie below it at all.
std::optional<std::size_t> depthBelow(const fs::path& inner, const fs::path& outer) {
    auto in = inner.begin(), out = outer.begin();
    for (; out != outer.end(); ++out) {
        if (out->empty())
            continue;  // the empty last component of "dir/"
        if (in == inner.end() || *in != *out)
            return std::nullopt;
        ++in;
    }
    std::size_t depth = 0;
    for (; in != inner.end(); ++in)
        depth += in->empty() ? 0 : 1;
    return depth;
}

}  // namespace

PathMap::PathMap(fs::path root, fs::path windir, std::map<char, fs::path> drives, fs::path workdir)
    : m_root(std::move(root)), m_windir(std::move(windir)) {
    for (auto& [letter, dir] : drives)
        m_drives[asciiUpper(std::string(1, letter))[0]] = dir;
    std::error_code ec;
    if (workdir.empty())
        workdir = fs::current_path(ec);
    // The drive that holds the working directory is the one whose directory lies deepest above it.
    const fs::path here = physical(workdir);
    std::optional<std::size_t> depth = depthBelow(here, physical(m_root));
    for (const auto& [letter, dir] : m_drives) {
        std::optional<std::size_t> below = depthBelow(here, physical(dir));
        if (below && (!depth || *below < *depth))
            depth = below;
    }
    m_workdirDepth = depth.value_or(0);
}

std::optional<fs::path> PathMap::drive(char letter) const {
    char upper = asciiUpper(std::string(1, letter))[0];
    if (auto it = m_drives.find(upper); it != m_drives.end())
        return it->second;
    if (upper == 'C')
        return m_root;
    return std::nullopt;
}

namespace {

// Splits on both separators and applies the Windows component rules. `..` takes back the component
// before it; in a path below a drive's root it stops at that root, as Windows does, so that no profile
// value can name a file above the directory of its drive. A relative path keeps at most `climb` leading
// `..` (the way up from the working directory to the root of its drive); further ones are dropped.
std::vector<std::string> components(std::string_view path, std::size_t climb) {
    std::vector<std::string> parts;
    std::string current;
    auto flush = [&] {
        if (current != "..") {
            // Windows drops the trailing dots of a name; a name of dots only ("...") is then ".".
            while (current.size() > 1 && current.back() == '.')
                current.pop_back();
        }
        if (current.empty() || current == ".") {
            current.clear();
            return;
        }
        if (current == "..") {
            current.clear();
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (parts.size() < climb)
                parts.push_back("..");
            return;
        }
        parts.push_back(std::move(current));
        current.clear();
    };
    for (char c : path) {
        if (c == '\\' || c == '/')
            flush();
        else
            current.push_back(c);
    }
    flush();
    return parts;
}

}  // namespace

fs::path PathMap::native(std::string_view windowsPath) const {
    fs::path base;
    std::string_view rest = windowsPath;
    bool absolute = false;
    if (rest.size() >= 2 && rest[1] == ':' &&
        ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'))) {
        // An unmapped drive lies nowhere we may touch; keep it recognisable below the root.
        base = drive(rest[0]).value_or(m_root / (std::string("drive_") + asciiLower(rest.substr(0, 1))));
        rest.remove_prefix(2);
        absolute = true;
    } else if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) {
        base = m_root;
        absolute = true;
    }
    fs::path out = base;
    for (auto& part : components(rest, absolute ? 0 : m_workdirDepth))
        out /= part;
    if (!absolute && out.empty())
        out = ".";
    if (absolute && out.empty())
        out = "/";
    return resolveCaseInsensitive(out);
}

std::string PathMap::configured(const fs::path& nativePath) const {
    auto backslashed = [](const fs::path& path) {
        std::string out;
        for (const auto& part : path) {
            if (part.empty() || part == ".")
                continue;
            if (!out.empty())
                out += '\\';
            out += part.string();
        }
        return out;
    };
    const fs::path normal = nativePath.lexically_normal();
    if (normal.is_relative())
        return backslashed(normal);
    // Lexically, without touching the file system: the path was made by native() from these very
    // directories, or it names something that no longer exists.
    auto below = [&normal](const fs::path& directory) -> std::optional<fs::path> {
        const fs::path base = fs::absolute(directory).lexically_normal();
        const fs::path rest = normal.lexically_relative(base);
        if (rest.empty() || *rest.begin() == "..")
            return std::nullopt;
        return rest;
    };
    std::optional<fs::path> best;
    std::string prefix;
    std::size_t bestDepth = 0;
    auto consider = [&](const fs::path& directory, std::string drivePrefix) {
        std::optional<fs::path> rest = below(directory);
        if (!rest)
            return;
        const fs::path base = fs::absolute(directory).lexically_normal();
        const std::size_t depth = static_cast<std::size_t>(std::distance(base.begin(), base.end()));
        if (best && depth <= bestDepth)
            return;
        best = std::move(rest);
        bestDepth = depth;
        prefix = std::move(drivePrefix);
    };
    consider(m_root, "");
    for (const auto& [letter, dir] : m_drives)
        consider(dir, std::string(1, letter) + ":");
    if (!best)
        return nativePath.string();
    return prefix + "\\" + backslashed(*best);
}

fs::path PathMap::profileFile(std::string_view name) const {
    if (isBareProfileName(name))
        return resolveCaseInsensitive(m_windir / std::string(name));
    return native(name);
}

fs::path systemWindowsDirectory() {
    return {};
}

fs::path resolveCaseInsensitive(const fs::path& path) {
    std::error_code ec;
    if (path.empty() || fs::symlink_status(path, ec).type() != fs::file_type::not_found)
        return path;
    fs::path resolved;
    bool stillMatching = true;
    for (const auto& part : path) {
        if (resolved.empty() && part == path.root_path()) {
            resolved = part;
            continue;
        }
        if (stillMatching) {
            fs::path exact = resolved / part;
            if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found) {
                resolved = std::move(exact);
                continue;
            }
            std::string wanted = part.string();
            bool found = false;
            fs::directory_iterator it(resolved.empty() ? fs::path(".") : resolved, ec);
            for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
                std::string name = it->path().filename().string();
                if (equalsIgnoreCase(name, wanted)) {
                    resolved /= name;
                    found = true;
                    break;
                }
            }
            if (found)
                continue;
            stillMatching = false;
        }
        resolved /= part;
    }
    return resolved;
}

}  // namespace qx
