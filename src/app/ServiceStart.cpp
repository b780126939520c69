#include "ServiceStart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "FileHandle.h"
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

// Why `file` cannot be read, or nullopt when it can (ENOENT when it is missing). Opened without
// blocking and checked for its type, so that a FIFO in its place cannot hang the start.
std::optional<std::string> unreadable(const std::filesystem::path& file, int& error) {
    error = 0;
    FileHandle fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        error = errno;
        return std::strerror(error);
    }
    struct stat status {};
    std::optional<std::string> problem;
    char byte;
    if (::fstat(fd.get(), &status) != 0)
        problem = std::strerror(error = errno);
    else if (!S_ISREG(status.st_mode))
        problem = "not a regular file";
    else if (::read(fd.get(), &byte, 1) < 0)
        problem = std::strerror(error = errno);
    return problem;
}

}  // namespace

std::optional<std::string> settingsProblem(const PathMap& paths, bool moverIniRequired) {
    if (!isDirectory(paths.root()))
        return "the installation root " + absoluteText(paths.root()) + " is not a directory (see --root)";
    if (!isDirectory(paths.windir()))
        return "the profile directory " + absoluteText(paths.windir()) + " is not a directory (see --windir)";
    const std::filesystem::path ini = paths.profileFile(ini::kMover);
    int error = 0;
    if (auto problem = unreadable(ini, error)) {
        // A link to a share that is not mounted is no first start: its settings are only out of reach.
        std::error_code ec;
        if (error == ENOENT && std::filesystem::is_symlink(std::filesystem::symlink_status(ini, ec)))
            return absoluteText(ini) + " is a symbolic link to " +
                   std::filesystem::read_symlink(ini, ec).string() + ", which does not exist";
        if (error == ENOENT && !moverIniRequired)
            return std::nullopt;
        if (error == ENOENT)
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
