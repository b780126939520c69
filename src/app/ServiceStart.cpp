#include "ServiceStart.h"

#include "FileCheck.h"
#include "ProfileNames.h"

namespace qx {

namespace {

bool isDirectory(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

std::string absoluteText(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return (ec ? path : absolute).lexically_normal().string();
}

}  // namespace

std::optional<std::string> settingsProblem(const PathMap& paths, bool moverIniRequired) {
    if (!isDirectory(paths.root()))
        return "the installation root " + absoluteText(paths.root()) + " is not a directory (see --root)";
    if (!isDirectory(paths.windir()))
        return "the profile directory " + absoluteText(paths.windir()) + " is not a directory (see --windir)";
    const std::filesystem::path ini = paths.profileFile(ini::kMover);
    std::error_code error;
    if (auto problem = whyUnreadable(ini, error)) {
        // A link to a share that is not mounted is no first start: its settings are only out of reach.
        std::error_code ec;
        const bool missing = error == std::errc::no_such_file_or_directory;
        if (missing && std::filesystem::is_symlink(std::filesystem::symlink_status(ini, ec)))
            return absoluteText(ini) + " is a symbolic link to " +
                   std::filesystem::read_symlink(ini, ec).string() + ", which does not exist";
        if (missing && !moverIniRequired)
            return std::nullopt;
        if (missing)
            return "the profile directory " + absoluteText(paths.windir()) + " has no " + ini::kMover +
                   " (see --windir)";
        return "cannot read " + absoluteText(ini) + ": " + *problem;
    }
    return std::nullopt;
}

std::optional<std::string> missingServiceDirectory(const PathMap& paths, const ActivityLog& log,
                                                   SysTime now) {
    if (auto problem = settingsProblem(paths, false))
        return problem;
    std::filesystem::path logDirectory = log.fileFor(now).parent_path();
    if (!isDirectory(logDirectory))
        return "the log directory " + absoluteText(logDirectory) +
               " is not a directory (it lies below the working directory, see --workdir)";
    return std::nullopt;
}

std::string serviceStartLine(const PathMap& paths, const ActivityLog& log, SysTime now,
                             std::optional<SysTime> virtualUntil) {
    std::string clock = virtualUntil
                            ? "virtual " + formatLocalTime(now) + " until " + formatLocalTime(*virtualUntil)
                            : "system";
    return "qxmover: root " + absoluteText(paths.root()) + ", profile directory " +
           absoluteText(paths.windir()) + ", activity log " + absoluteText(log.fileFor(now)) + ", clock " +
           clock;
}

}  // namespace qx
